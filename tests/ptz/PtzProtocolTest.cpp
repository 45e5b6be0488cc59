#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "ptz/IniFile.h"
#include "ptz/PtzBytes.h"
#include "ptz/PtzProtocol.h"

namespace ambro::ptz {
namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;

Bytes packetBytes(const PtzPacket& packet) {
    return Bytes(packet.bytes.begin(), packet.bytes.begin() + static_cast<long>(packet.length));
}

// A PTZ folder of its own with an "Info.ini" naming one description file.
class PtzFolder {
public:
    PtzFolder() {
        folder_ = fs::temp_directory_path() /
                  ("ambro-ptz-" + std::to_string(::getpid()) + "-" + std::to_string(counter_++));
        fs::create_directories(folder_);
        write("Info.ini",
              "[DOME]\nD1 Dome Short TD=Test Dome\nD2 Other TX=Other Dome\n"
              "[FILES]\nIni Name TD=Test_Dome\nIni Name TX=Other\n");
    }
    ~PtzFolder() { fs::remove_all(folder_); }

    void write(const std::string& name, const std::string& text) const {
        std::ofstream(folder_ / name, std::ios::binary) << text;
    }
    PtzProtocol load(const std::string& description, int address = 1, int speed = 3) const {
        write("Test_Dome.ini", description);
        return PtzProtocol(folder_.string(), "Test Dome", address, speed);
    }
    // Loads a description kept under a file name of its own ("Lilin" for
    // "Lilin.ini"), as a user installs it.
    PtzProtocol loadAs(const std::string& baseName, const std::string& description) const {
        write("Info.ini", "[DOME]\nD1 Dome Short ND=Named Dome\n[FILES]\nIni Name ND=" + baseName +
                              "\n");
        write(baseName + ".ini", description);
        return PtzProtocol(folder_.string(), "Named Dome", 1, 3);
    }
    std::string path() const { return folder_.string(); }

private:
    fs::path folder_;
    static inline int counter_ = 0;
};

// The sections every test description shares: Pelco-D-like addressing,
// speeds and checksum.
std::string baseDescription(const std::string& capabilities = "PAN=1\nTILT=1\nPRESET=1\n") {
    return "[IS SUPPLE]\n" + capabilities +
           "\n[ADDR]\nNo=2\nADDR VALUE 1=01\nADDR STRING 1=1\nADDR VALUE 2=7B\nADDR STRING 2=2\n"
           "\n[PT SPEED]\nSpeed No=5\nCmd Byte No=1\n"
           "PAN SPEED LOW 1 CMD 1=08\nTILT SPEED LOW 1 CMD 1=09\nSTOP TIME 1=0\n"
           "PAN SPEED LOW 2 CMD 1=10\nTILT SPEED LOW 2 CMD 1=11\nSTOP TIME 2=0\n"
           "PAN SPEED LOW 3 CMD 1=20\nTILT SPEED LOW 3 CMD 1=21\nSTOP TIME 3=0\n"
           "PAN SPEED LOW 4 CMD 1=30\nTILT SPEED LOW 4 CMD 1=31\nSTOP TIME 4=0\n"
           "PAN SPEED LOW 5 CMD 1=3F\nTILT SPEED LOW 5 CMD 1=3E\nSTOP TIME 5=0\n"
           "\n[CHECKSUM]\nSel=6\nFirst=2\nSubtract=1\n\n";
}

std::string command(const std::string& section, const std::vector<std::string>& tokens,
                    const std::string& count = "1") {
    std::string text = "[" + section + "]\nCmd No=" + count + "\nCMD 1=" +
                       std::to_string(tokens.size()) + "\n";
    for (std::size_t m = 0; m < tokens.size(); ++m) {
        text += "CMD 1_" + std::to_string(m + 1) + "=" + tokens[m] + "\n";
    }
    return text + "\n";
}

const std::vector<std::string> kPanLeft = {"FF", "Addr", "0", "4", "PS1", "0", "Sum"};

TEST(PtzProtocol, WorkedExamplePelcoPanLeft) {
    PtzFolder folder;
    const PtzProtocol protocol =
        folder.load(baseDescription() + command("Pan Left Start", kPanLeft));
    ASSERT_FALSE(protocol.failed());
    auto packet = protocol.packet(PtzAction::PanLeft);
    ASSERT_TRUE(packet);
    EXPECT_EQ(packetBytes(*packet), (Bytes{0x01, 0x07, 0xFF, 0x01, 0x00, 0x04, 0x20, 0x00, 0x25}));
    EXPECT_EQ(packet->interval, 50);
    // An action without commands gives an empty packet and success.
    packet = protocol.packet(PtzAction::ZoomIn);
    ASSERT_TRUE(packet);
    EXPECT_EQ(packet->length, 0u);
}

TEST(PtzProtocol, SpeedLevelZeroLetsTheTokenChoose) {
    PtzFolder folder;
    const std::string text = baseDescription() +
                             command("Pan Left Start", {"PS2", "TS5", "Addr"}) +
                             command("Tilt Up Start", {"PS4"});
    std::optional<PtzPacket> packet;
    const PtzProtocol levelZero = folder.load(text, 2, 0);
    packet = levelZero.packet(PtzAction::PanLeft);
    ASSERT_TRUE(packet);
    EXPECT_EQ(packetBytes(*packet), (Bytes{1, 3, 0x10, 0x3E, 0x7B}));
    const PtzProtocol levelFour = folder.load(text, 1, 4);
    packet = levelFour.packet(PtzAction::PanLeft);
    ASSERT_TRUE(packet);
    EXPECT_EQ(packetBytes(*packet), (Bytes{1, 3, 0x30, 0x31, 0x01}));
    // No address number: the action fails and sends nothing.
    const PtzProtocol noAddress = folder.load(text, 0, 3);
    EXPECT_FALSE(noAddress.packet(PtzAction::PanLeft));
}

struct ChecksumCase {
    int kind;
    Bytes run;
    std::uint8_t expected;
    friend void PrintTo(const ChecksumCase& c, std::ostream* out) { *out << "kind" << c.kind; }
};

class ChecksumKinds : public testing::TestWithParam<ChecksumCase> {};

TEST_P(ChecksumKinds, GiveTheirByte) {
    EXPECT_EQ(checksumOf(GetParam().kind, GetParam().run), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Kinds, ChecksumKinds,
    testing::Values(ChecksumCase{1, {0x01, 0x02}, 0xFC}, ChecksumCase{2, {0xFF, 0x02}, 0xFE},
                    ChecksumCase{10, {0x80, 0x80}, 0xFF}, ChecksumCase{3, {0x01, 0x02}, 0xFD},
                    ChecksumCase{4, {0x0F, 0xF0, 0x01}, 0xFE}, ChecksumCase{5, {0xFF, 0x02}, 0x01},
                    ChecksumCase{6, {0x01, 0x04, 0x20}, 0x25}, ChecksumCase{7, {0x7F, 0x02}, 0x01},
                    ChecksumCase{8, {0x0F, 0xF0}, 0x00}, ChecksumCase{9, {0x10, 0x20}, 0xF0},
                    ChecksumCase{11, {0x01, 0x03}, 0xFD}, ChecksumCase{12, {0x01}, 0xA4},
                    ChecksumCase{13, {0x01}, 0x00}, ChecksumCase{1, {}, 0xFF}));

TEST(PtzBytes, ValueFunctions) {
    struct Case {
        long number;
        std::uint8_t expected;
    };
    // Address code 123 and preset code 37.
    for (const Case& c : {Case{1, '1'}, Case{2, '2'}, Case{3, '3'}, Case{4, 243}, Case{5, 0x12},
                          Case{6, '3'}, Case{7, '7'}, Case{8, '0' + 12}, Case{9, '8'},
                          Case{10, '9'}, Case{11, 73}, Case{12, 9}, Case{13, 1}, Case{14, '2'},
                          Case{15, '5'}, Case{16, 128}, Case{19, 128}, Case{20, 101},
                          Case{21, 216}, Case{22, 7}, Case{23, 64}, Case{25, 40}, Case{26, 187},
                          Case{27, 251}, Case{28, 69}, Case{40, 0xFF}, Case{0, 0xFF}}) {
        EXPECT_EQ(valueFunction(c.number, true, 123, 37), c.expected) << "ADV" << c.number;
    }
    EXPECT_EQ(valueFunction(25, true, 1, 2), 14);
    EXPECT_EQ(valueFunction(14, true, 1, 0xAF), 'A');
    EXPECT_EQ(valueFunction(3, false, 123, 37), 0xFF);
}

TEST(PtzProtocol, ValueTokensUseAddressAndFirstPreset) {
    PtzFolder folder;
    const PtzProtocol protocol = folder.load(
        baseDescription() + "[PRESET]\nNo=1\nPRESET 1=25\n\n" +
        command("Pan Left Start", {"ADV3", "ADV5", "ADV40", "ADV7", "ADV", "Addr"}), 2);
    auto packet = protocol.packet(PtzAction::PanLeft);
    ASSERT_TRUE(packet);
    // "ADV" alone is shorter than 4 characters, so it is read as hexadecimal
    // like any other token: its leading "AD".
    EXPECT_EQ(packetBytes(*packet), (Bytes{1, 6, '3', 0x12, 0xFF, '7', 0xAD, 0x7B}));
}

std::string presetDescription(int presets) {
    std::string text = baseDescription() + "[PRESET]\nNo=" + std::to_string(presets) + "\n";
    for (int n = 1; n <= std::min(presets, 300); ++n) {
        char line[32];
        std::snprintf(line, sizeof line, "PRESET %d=%02X\n", n, (n * 3) % 256);
        text += line;
    }
    const std::vector<std::string> go = {"FF", "Addr", "00", "07", "00", "P", "Sum"};
    std::string goSection = command("Preset Go", go);
    std::string setSection = command("Preset Set", {"FF", "Addr", "00", "03", "00", "P", "Sum"});
    return text + "\n" + setSection + goSection;
}

TEST(PtzProtocol, PresetsAreExpandedWithTheirOwnChecksums) {
    PtzFolder folder;
    const PtzProtocol protocol = folder.load(presetDescription(4));
    ASSERT_EQ(protocol.presetCount(), 4);
    EXPECT_EQ(packetBytes(protocol.presetGo(0)),
              (Bytes{47, 7, 0xFF, 0x01, 0x00, 0x07, 0x00, 0x03, 0x0B}));
    EXPECT_EQ(packetBytes(protocol.presetGo(3)),
              (Bytes{50, 7, 0xFF, 0x01, 0x00, 0x07, 0x00, 0x0C, 0x14}));
    EXPECT_EQ(packetBytes(protocol.presetSet(2)),
              (Bytes{33, 7, 0xFF, 0x01, 0x00, 0x03, 0x00, 0x09, 0x0D}));
    // Beyond the file's presets, or outside 0..256: an empty packet.
    for (int index : {4, 5, 256, 257, -1}) {
        EXPECT_EQ(protocol.presetGo(index).length, 0u) << index;
    }
}

TEST(PtzProtocol, ThreeHundredPresetsAreKeptAs256) {
    PtzFolder folder;
    const PtzProtocol protocol = folder.load(presetDescription(300));
    EXPECT_EQ(protocol.presetCount(), 256);
    const PtzPacket packet = protocol.presetGo(255);
    EXPECT_EQ(packet.bytes[0], (47 + 255) % 256);
    EXPECT_EQ(packet.bytes[7], (256 * 3) % 256);
}

TEST(PtzProtocol, CommandBounds) {
    PtzFolder folder;
    const std::vector<std::string> twenty(20, "01");
    const std::vector<std::string> twentyOne(21, "01");
    const PtzProtocol protocol =
        folder.load(baseDescription() + command("Pan Left Start", twenty) +
                    command("Pan Right Start", twentyOne) + command("Tilt Up Start", {"01"}, "10") +
                    command("Tilt Down Start", {"02"}, "1"));
    std::optional<PtzPacket> packet;
    // A command filling all 20 bytes is stored but its accessor fails.
    EXPECT_FALSE(protocol.packet(PtzAction::PanLeft));
    // Longer than a command holds, or more than 5 commands ("10" is sixteen):
    // the section is refused and the action has nothing to send.
    packet = protocol.packet(PtzAction::PanRight);
    ASSERT_TRUE(packet);
    EXPECT_EQ(packet->length, 0u);
    packet = protocol.packet(PtzAction::TiltUp);
    ASSERT_TRUE(packet);
    EXPECT_EQ(packet->length, 0u);
    packet = protocol.packet(PtzAction::TiltDown);
    ASSERT_TRUE(packet);
    EXPECT_EQ(packet->length, 3u);
}

TEST(PtzProtocol, AdvancedFunctionsAndTheirIndexes) {
    PtzFolder folder;
    const PtzProtocol protocol = folder.load(baseDescription("PAN=1\nAUTO=1\n") +
                                             "[AUTO GO]\nNo=3\nStr 1=Scan\nStrMap 1=ONE\n\nStr "
                                             "2=-\nStrMap 2=TWO\nStr 3=Patrol tour name\n"
                                             "StrMap 3=THREE\n\n" +
                                             command("Advance ONE", {"FF", "Addr", "90", "Sum"}) +
                                             command("Advance THREE", {"FF", "Addr", "91", "Sum"}));
    ASSERT_EQ(protocol.advancedFunctionCount(), 2);
    EXPECT_EQ(protocol.advancedFunctionName(0), "SCAN");
    EXPECT_EQ(protocol.advancedFunctionName(1), "PATROL TOUR NAM");
    auto packet = protocol.advancedFunction(1);
    ASSERT_TRUE(packet);
    EXPECT_EQ(packetBytes(*packet), (Bytes{8, 4, 0xFF, 0x01, 0x91, 0x92}));
    packet = protocol.advancedFunction(2);
    ASSERT_TRUE(packet);
    EXPECT_EQ(packet->length, 0u);
    EXPECT_FALSE(protocol.advancedFunction(3));
}

TEST(PtzProtocol, InfoLookup) {
    PtzFolder folder;
    folder.write("Test_Dome.ini", baseDescription() + command("Pan Left Start", kPanLeft));
    folder.write("Other.ini", baseDescription());
    for (const char* model : {"Test Dome", "TEST DOME", "test dome"}) {
        const PtzProtocol protocol(folder.path(), model, 1, 3);
        EXPECT_FALSE(protocol.failed()) << model;
        EXPECT_EQ(protocol.fileName(), "Test_Dome.ini");
    }
    // The third word is the short name unless it is "Short".
    EXPECT_EQ(PtzProtocol(folder.path(), "Other Dome", 1, 3).fileName(), "Other.ini");
    EXPECT_TRUE(PtzProtocol(folder.path(), "Unknown", 1, 3).failed());
    EXPECT_TRUE(PtzProtocol(folder.path() + "/missing", "Test Dome", 1, 3).failed());
    folder.write("Info.ini", "D1 Dome Short TD=Test Dome\nIni Name XX=Test_Dome\n");
    EXPECT_TRUE(PtzProtocol(folder.path(), "Test Dome", 1, 3).failed());
    // A description named by a folder, or by a path out of the folder, is
    // no description: nothing is read from there and nothing throws.
    fs::create_directories(fs::path(folder.path()) / "Sub.ini");
    folder.write("Outside.ini", baseDescription() + command("Pan Left Start", kPanLeft));
    for (const char* name : {"Sub", "../" , "/etc/hostname", "../ambro-ptz-x/Outside"}) {
        folder.write("Info.ini", std::string("D1 Dome Short TD=Test Dome\nIni Name TD=") + name + "\n");
        EXPECT_TRUE(PtzProtocol(folder.path(), "Test Dome", 1, 3).failed()) << name;
    }
    EXPECT_FALSE(IniFile::open(folder.path()));
}

TEST(PtzProtocol, FailedProtocolHasNothing) {
    const PtzProtocol protocol("/nonexistent", "Pelco-D", 1, 3);
    EXPECT_TRUE(protocol.failed());
    EXPECT_FALSE(protocol.hasPan() || protocol.hasZoom() || protocol.hasPreset());
    auto packet = protocol.packet(PtzAction::PanLeft);
    ASSERT_TRUE(packet);
    EXPECT_EQ(packet->length, 0u);
    EXPECT_EQ(protocol.presetGo(0).length, 0u);
}

TEST(PtzProtocol, SectionGrammar) {
    PtzFolder folder;
    // "[ADDR]" must start with "No"; "[BAUD RATE]" need not. An empty line
    // ends a key search, so the pan-right command after one is not found.
    std::string text = baseDescription();
    text.replace(text.find("[ADDR]\nNo=2"), 11, "[ADDR]\nX=1\nNo=2");
    text += "[BAUD RATE]\nX=1\nNo=1\nBAUD 1=9600\n\n";
    text += command("Pan Left Start", kPanLeft);
    text += "[Pan Right Start]\nCmd No=1\n\nCMD 1=1\nCMD 1_1=01\n";
    const PtzProtocol protocol = folder.load(text);
    auto packet = protocol.packet(PtzAction::PanLeft);
    ASSERT_TRUE(packet);
    EXPECT_EQ(packet->bytes[3], 0x00);  // no address codes were read
    packet = protocol.packet(PtzAction::PanRight);
    ASSERT_TRUE(packet);
    EXPECT_EQ(packet->length, 0u);
}

TEST(IniFile, LineGrammar) {
    const IniFile file(std::string("[Sec]\r\nkey = Value=extra\r\nIni Name Ab=Mixed_Case\nnovalue\n"
                                   "=skipped=Later\nKey2=") +
                       std::string(90, 'v') + "\n");
    const auto& lines = file.lines();
    ASSERT_GE(lines.size(), 7u);
    EXPECT_EQ(lines[0].key, "[SEC]");
    EXPECT_FALSE(lines[0].hasPair);
    EXPECT_EQ(lines[1].key, "KEY ");
    EXPECT_EQ(lines[1].value, " VALUE");
    EXPECT_EQ(lines[2].key, "Ini Name Ab");
    EXPECT_EQ(lines[2].value, "Mixed_Case");
    EXPECT_FALSE(lines[3].hasPair);
    EXPECT_EQ(lines[4].key, "SKIPPED");
    EXPECT_EQ(lines[4].value, "LATER");
    // 79 characters at most: the long value goes on in a piece of its own.
    EXPECT_EQ(lines[5].value.size(), 79u - 5u);
    EXPECT_EQ(lines[6].key, std::string(16, 'V'));
    EXPECT_TRUE(IniFile::sameKey("Cmd No", "CMD NO"));
    EXPECT_FALSE(IniFile::sameKey("CMD", "CMD NO"));
}

// The shipped description files, against the bytes the public protocol
// documents give, at address 1 and speed level 3.
struct ShippedCase {
    const char* name;
    const char* model;
    const char* file;
    PtzAction action;
    Bytes command;
    friend void PrintTo(const ShippedCase& c, std::ostream* out) { *out << c.name; }
};

class ShippedFiles : public testing::TestWithParam<ShippedCase> {};

TEST_P(ShippedFiles, MatchTheProtocolDocuments) {
    const ShippedCase& c = GetParam();
    const PtzProtocol protocol(AMBRO_PTZ_SETUP_DIR, c.model, 1, 3);
    ASSERT_FALSE(protocol.failed());
    EXPECT_EQ(protocol.fileName(), c.file);
    EXPECT_TRUE(protocol.hasPan() && protocol.hasTilt() && protocol.hasZoom() &&
                protocol.hasFocus() && protocol.hasPreset() && protocol.hasAutoFocus());
    auto packet = protocol.packet(c.action);
    ASSERT_TRUE(packet);
    ASSERT_GE(packet->length, 2u);
    EXPECT_EQ(
        Bytes(packet->bytes.begin() + 2, packet->bytes.begin() + static_cast<long>(packet->length)),
        c.command);
}

INSTANTIATE_TEST_SUITE_P(
    Protocols, ShippedFiles,
    testing::Values(
        ShippedCase{"PelcoD_PanRight", "Pelco-D", "Dome_PelcoD.ini", PtzAction::PanRight,
                    {0xFF, 0x01, 0x00, 0x02, 0x20, 0x00, 0x23}},
        ShippedCase{"PelcoD_ZoomIn", "Pelco-D", "Dome_PelcoD.ini", PtzAction::ZoomIn,
                    {0xFF, 0x01, 0x00, 0x20, 0x00, 0x00, 0x21}},
        ShippedCase{"PelcoD_PanStop", "Pelco-D", "Dome_PelcoD.ini", PtzAction::PanStop,
                    {0xFF, 0x01, 0x00, 0x00, 0x00, 0x00, 0x01}},
        ShippedCase{"PelcoP_PanRight", "Pelco-P", "Dome_PelcoP.ini", PtzAction::PanRight,
                    {0xA0, 0x00, 0x00, 0x02, 0x20, 0x00, 0xAF, 0x2D}},
        ShippedCase{"PelcoP_ZoomIn", "Pelco-P", "Dome_PelcoP.ini", PtzAction::ZoomIn,
                    {0xA0, 0x00, 0x00, 0x20, 0x00, 0x00, 0xAF, 0x2F}},
        ShippedCase{"PelcoP_ZoomStop", "Pelco-P", "Dome_PelcoP.ini", PtzAction::ZoomStop,
                    {0xA0, 0x00, 0x00, 0x00, 0x00, 0x00, 0xAF, 0x0F}},
        ShippedCase{"SonyVisca_PanLeft", "Sony VISCA", "Sony_VISCA.ini", PtzAction::PanLeft,
                    {0x81, 0x01, 0x06, 0x01, 0x0C, 0x0A, 0x01, 0x03, 0xFF}},
        ShippedCase{"SonyVisca_PanStop", "Sony VISCA", "Sony_VISCA.ini", PtzAction::PanStop,
                    {0x81, 0x01, 0x06, 0x01, 0x0C, 0x0A, 0x03, 0x03, 0xFF}},
        ShippedCase{"Visca_ZoomIn", "VISCA", "Sony_VISCA.ini", PtzAction::ZoomIn,
                    {0x81, 0x01, 0x04, 0x07, 0x02, 0xFF}},
        ShippedCase{"SonyVisca_ZoomStop", "Sony VISCA", "Sony_VISCA.ini", PtzAction::ZoomStop,
                    {0x81, 0x01, 0x04, 0x07, 0x00, 0xFF}}),
    [](const testing::TestParamInfo<ShippedCase>& info) { return std::string(info.param.name); });

TEST(ShippedFiles, PresetsHomeAndTheProtocolTests) {
    std::optional<PtzPacket> packet;
    const PtzProtocol pelcoD(AMBRO_PTZ_SETUP_DIR, "Pelco-D", 1, 3);
    EXPECT_EQ(packetBytes(pelcoD.presetGo(0)),
              (Bytes{47, 7, 0xFF, 0x01, 0x00, 0x07, 0x00, 0x01, 0x09}));
    EXPECT_EQ(pelcoD.advancedFunctionCount(), 2);
    EXPECT_FALSE(pelcoD.isVisca());
    const PtzProtocol pelcoP(AMBRO_PTZ_SETUP_DIR, "pelco-p", 1, 3);
    EXPECT_EQ(packetBytes(pelcoP.presetGo(0)),
              (Bytes{47, 8, 0xA0, 0x00, 0x00, 0x07, 0x00, 0x01, 0xAF, 0x09}));
    const PtzProtocol visca(AMBRO_PTZ_SETUP_DIR, "Sony VISCA", 2, 3);
    // The standard VISCA file is not the nibble dialect.
    EXPECT_FALSE(visca.isVisca());
    EXPECT_TRUE(visca.hasHome());
    packet = visca.packet(PtzAction::Home);
    ASSERT_TRUE(packet);
    EXPECT_EQ(packetBytes(*packet), (Bytes{7, 5, 0x82, 0x01, 0x06, 0x04, 0xFF}));
    EXPECT_EQ(packetBytes(visca.presetSet(5)),
              (Bytes{36, 7, 0x82, 0x01, 0x04, 0x3F, 0x01, 0x05, 0xFF}));
    // Every address of the files builds commands.
    for (int address : {1, 255}) {
        const PtzProtocol wide(AMBRO_PTZ_SETUP_DIR, "Pelco-D", address, 5);
        packet = wide.packet(PtzAction::TiltUp);
        ASSERT_TRUE(packet);
        EXPECT_EQ(packet->bytes[3], address);
        EXPECT_EQ(packet->bytes[7], 0x3F);
    }
}

using Types = std::vector<PtzActionType>;

Types typesOf(const std::vector<TypedPtzCommand>& commands) {
    Types types;
    for (const auto& typed : commands) types.push_back(typed.type);
    return types;
}

std::vector<Bytes> bytesOf(const std::vector<TypedPtzCommand>& commands) {
    std::vector<Bytes> all;
    for (const auto& typed : commands) {
        all.emplace_back(typed.command.bytes.begin(),
                         typed.command.bytes.begin() + typed.command.length);
    }
    return all;
}

TEST(DomeCommands, PelcoDPanLeftGivesStartThenStop) {
    const PtzProtocol pelcoD(AMBRO_PTZ_SETUP_DIR, "Pelco-D", 1, 3);
    const auto commands = pelcoD.commands(DomeAction::PanLeft);
    ASSERT_TRUE(commands);
    EXPECT_EQ(typesOf(commands->start), Types{PtzActionType::PanLeft});
    EXPECT_EQ(bytesOf(commands->start),
              (std::vector<Bytes>{Bytes{0xFF, 0x01, 0x00, 0x04, 0x20, 0x00, 0x25}}));
    EXPECT_EQ(typesOf(commands->stop), Types{PtzActionType::PanTiltStop});
    EXPECT_EQ(bytesOf(commands->stop),
              (std::vector<Bytes>{Bytes{0xFF, 0x01, 0x00, 0x00, 0x00, 0x00, 0x01}}));
    EXPECT_EQ(static_cast<int>(commands->start[0].type), 1);
    EXPECT_EQ(static_cast<int>(commands->stop[0].type), 11);
    EXPECT_EQ(commands->interval, 50);
}

TEST(DomeCommands, EveryButtonTravelsWithItsTypes) {
    struct Case {
        const char* model;
        DomeAction action;
        int startType;
        int stopType;  // 0: no stop commands
    };
    for (const Case& c : {Case{"Pelco-D", DomeAction::PanRight, 2, 11},
                          Case{"Pelco-D", DomeAction::TiltUp, 3, 11},
                          Case{"Pelco-D", DomeAction::TiltDown, 4, 11},
                          Case{"Pelco-D", DomeAction::ZoomOut, 5, 12},
                          Case{"Pelco-D", DomeAction::ZoomIn, 6, 12},
                          Case{"Pelco-D", DomeAction::FocusNear, 9, 13},
                          Case{"Pelco-D", DomeAction::FocusFar, 10, 13},
                          Case{"Pelco-D", DomeAction::AutoFocus, 16, 0},
                          Case{"Pelco-D", DomeAction::AutoMove, 8, 0},
                          Case{"Sony VISCA", DomeAction::Home, 7, 0}}) {
        const PtzProtocol protocol(AMBRO_PTZ_SETUP_DIR, c.model, 1, 3);
        const auto commands = protocol.commands(c.action);
        ASSERT_TRUE(commands) << static_cast<int>(c.action);
        ASSERT_EQ(commands->start.size(), 1u) << static_cast<int>(c.action);
        EXPECT_EQ(static_cast<int>(commands->start[0].type), c.startType);
        if (c.stopType == 0) {
            EXPECT_TRUE(commands->stop.empty()) << static_cast<int>(c.action);
        } else {
            ASSERT_EQ(commands->stop.size(), 1u) << static_cast<int>(c.action);
            EXPECT_EQ(static_cast<int>(commands->stop[0].type), c.stopType);
        }
    }
    // Pelco-D has no home command: an action without commands is empty, not
    // a failure.
    const PtzProtocol pelcoD(AMBRO_PTZ_SETUP_DIR, "Pelco-D", 1, 3);
    const auto home = pelcoD.commands(DomeAction::Home);
    ASSERT_TRUE(home);
    EXPECT_TRUE(home->empty());
}

TEST(DomeCommands, AMoveWhoseStopCannotBeBuiltIsNotStarted) {
    PtzFolder folder;
    const std::vector<std::string> twenty(20, "01");
    const PtzProtocol protocol =
        folder.load(baseDescription() + command("Pan Left Start", kPanLeft) +
                    command("Pan Stop", twenty) + command("Tilt Up Start", kPanLeft));
    EXPECT_FALSE(protocol.commands(DomeAction::PanLeft));
    // Tilt has no stop section: the start alone goes out.
    const auto tilt = protocol.commands(DomeAction::TiltUp);
    ASSERT_TRUE(tilt);
    EXPECT_EQ(tilt->start.size(), 1u);
    EXPECT_TRUE(tilt->stop.empty());
    // Without an address number nothing can be built.
    const PtzProtocol noAddress =
        folder.load(baseDescription() + command("Pan Left Start", kPanLeft), 0);
    EXPECT_FALSE(noAddress.commands(DomeAction::PanLeft));
}

TEST(DomeCommands, PacketEntriesCutShortAreLeftOut) {
    PtzPacket packet;
    const Bytes bytes = {1, 2, 0xAA, 0xBB, 11, 5, 0xCC};
    std::copy(bytes.begin(), bytes.end(), packet.bytes.begin());
    packet.length = bytes.size();
    const auto commands = commandsOfPacket(packet);
    ASSERT_EQ(commands.size(), 1u);
    EXPECT_EQ(bytesOf(commands), (std::vector<Bytes>{Bytes{0xAA, 0xBB}}));
}

// A VISCA recall whose preset number sits in two nibble bytes at command
// bytes 5 and 6 (packet bytes 7 and 8).
std::string nibbleRecallDescription() {
    return baseDescription() + "[PRESET]\nNo=1\nPRESET 1=00\n\n" +
           command("Preset Go", {"81", "01", "04", "3F", "02", "00", "00", "FF"});
}

// A standard VISCA recall: the preset code in command byte 5, FF after it.
std::string standardRecallDescription() {
    std::string text = baseDescription() + "[PRESET]\nNo=16\n";
    for (int n = 1; n <= 16; ++n) {
        char line[32];
        std::snprintf(line, sizeof line, "PRESET %d=%02X\n", n, n - 1);
        text += line;
    }
    return text + "\n" + command("Preset Go", {"81", "01", "04", "3F", "02", "P", "FF"});
}

// Lilin keeps the two digits of a preset the other way round in bytes 13
// and 14 of the packet (command bytes 11 and 12).
std::string lilinDescription() {
    return baseDescription() +
           "[PRESET]\nNo=4\nPRESET 1=03\nPRESET 2=06\nPRESET 3=09\nPRESET 4=0C\n\n" +
           command("Preset Go", {"AA", "01", "02", "03", "04", "05", "06", "07", "08", "09", "0A",
                                 "0B", "0C", "P"});
}

struct GoPresetCase {
    const char* name;
    const char* file;            // base name of the description file, "" for the shipped ones
    std::string (*description)();
    const char* model;           // shipped model when file is ""
    int preset;
    int type;                    // expected type of every command
    Bytes command;               // empty: nothing to send
    friend void PrintTo(const GoPresetCase& c, std::ostream* out) { *out << c.name; }
};

class GoPresetRules : public testing::TestWithParam<GoPresetCase> {};

TEST_P(GoPresetRules, BuildTheRecallCommand) {
    const GoPresetCase& c = GetParam();
    PtzFolder folder;
    const PtzProtocol protocol = *c.file ? folder.loadAs(c.file, c.description())
                                         : PtzProtocol(AMBRO_PTZ_SETUP_DIR, c.model, 1, 3);
    ASSERT_FALSE(protocol.failed());
    const DomeCommands commands = protocol.goPreset(c.preset);
    EXPECT_TRUE(commands.stop.empty());
    if (c.command.empty()) {
        EXPECT_TRUE(commands.empty());
        return;
    }
    ASSERT_EQ(commands.start.size(), 1u);
    EXPECT_EQ(static_cast<int>(commands.start[0].type), c.type);
    EXPECT_EQ(bytesOf(commands.start), std::vector<Bytes>{c.command});
}

std::string noDescription() { return {}; }

INSTANTIATE_TEST_SUITE_P(
    Files, GoPresetRules,
    testing::Values(
        GoPresetCase{"SonyVisca_Preset3", "", noDescription, "Sony VISCA", 3, 49,
                     {0x81, 0x01, 0x04, 0x3F, 0x02, 0x02, 0xFF}},
        GoPresetCase{"SonyVisca_Preset17_BeyondFile", "", noDescription, "Sony VISCA", 17, 0, {}},
        GoPresetCase{"PelcoD_Preset5", "", noDescription, "Pelco-D", 5, 51,
                     {0xFF, 0x01, 0x00, 0x07, 0x00, 0x05, 0x0D}},
        GoPresetCase{"PelcoD_Preset0", "", noDescription, "Pelco-D", 0, 0, {}},
        GoPresetCase{"Dialect_Preset18", "Brevantis_VISCA", nibbleRecallDescription, "", 18, 47,
                     {0x81, 0x01, 0x04, 0x3F, 0x02, 0x01, 0x01, 0xFF}},
        GoPresetCase{"Dialect_Preset1", "Brevantis_VISCA", nibbleRecallDescription, "", 1, 47,
                     {0x81, 0x01, 0x04, 0x3F, 0x02, 0x00, 0x00, 0xFF}},
        GoPresetCase{"Dialect_Preset64", "Brevantis_VISCA", nibbleRecallDescription, "", 64, 47,
                     {0x81, 0x01, 0x04, 0x3F, 0x02, 0x03, 0x0F, 0xFF}},
        // Byte 8 is the closing FF of a standard recall: the dialect rule
        // would damage it, so preset n's own command goes out.
        GoPresetCase{"DialectNameOnStandardFile_Preset3", "Brevantis_VISCA",
                     standardRecallDescription, "", 3, 49,
                     {0x81, 0x01, 0x04, 0x3F, 0x02, 0x02, 0xFF}},
        GoPresetCase{"DialectNameOnStandardFile_Preset18", "Brevantis_VISCA",
                     standardRecallDescription, "", 18, 0, {}},
        GoPresetCase{"Lilin_Preset2", "Lilin", lilinDescription, "", 2, 48,
                     {0xAA, 0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07, 0x08, 0x09, 0x0A, 0x0C,
                      0x0B, 0x06}},
        GoPresetCase{"OtherName_Preset2", "Lilin_Copy", lilinDescription, "", 2, 48,
                     {0xAA, 0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07, 0x08, 0x09, 0x0A, 0x0B,
                      0x0C, 0x06}}),
    [](const testing::TestParamInfo<GoPresetCase>& info) { return std::string(info.param.name); });

TEST(DialectFiles, AreKnownByTheirNameOnly) {
    PtzFolder folder;
    EXPECT_TRUE(folder.loadAs("Brevantis_VISCA", nibbleRecallDescription()).isVisca());
    EXPECT_TRUE(folder.loadAs("brevantis_visca", nibbleRecallDescription()).isVisca());
    EXPECT_FALSE(folder.loadAs("Sony_VISCA", nibbleRecallDescription()).isVisca());
    EXPECT_TRUE(folder.loadAs("Lilin", lilinDescription()).isLilin());
}

}  // namespace
}  // namespace ambro::ptz
