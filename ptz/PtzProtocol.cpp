#include "ptz/PtzProtocol.h"

#include <algorithm>
#include <climits>
#include <cstdio>
#include <filesystem>
#include <optional>
#include <sstream>

#include "ptz/IniFile.h"
#include "ptz/PtzBytes.h"

namespace ambro::ptz {

namespace {

constexpr const char* kCapabilityNames[] = {
    "ZOOM", "FOCUS", "HOME", "AUTO FOCUS", "AUX", "POSITION", "OSD", "PT SPEED",
    "AUTO SPEED", "ZOOM SPEEDD", "PRESET", "AUTO", "TILT", "PAN", "MOVE_CON_CMD",
};

constexpr int kPresetSetType = 31;
constexpr int kPresetGoType = 47;
constexpr std::size_t kMaxFunctionName = 15;
constexpr std::size_t kMaxAddressString = 4;

struct MotionSection {
    const char* name;
    PtzAction action;
    int capability;  // index into the capability flags
    PtzActionType type;
};

// In loading order; the advanced functions come between home and the stops.
constexpr MotionSection kStartSections[] = {
    {"[Pan Right Start]", PtzAction::PanRight, 13, PtzActionType::PanRight},
    {"[Pan Left Start]", PtzAction::PanLeft, 13, PtzActionType::PanLeft},
    {"[Tilt Up Start]", PtzAction::TiltUp, 12, PtzActionType::TiltUp},
    {"[Tilt Down Start]", PtzAction::TiltDown, 12, PtzActionType::TiltDown},
    {"[Zoom In Start]", PtzAction::ZoomIn, 0, PtzActionType::ZoomIn},
    {"[Zoom Out Start]", PtzAction::ZoomOut, 0, PtzActionType::ZoomOut},
    {"[Focus Near Start]", PtzAction::FocusNear, 1, PtzActionType::FocusNear},
    {"[Focus Far Start]", PtzAction::FocusFar, 1, PtzActionType::FocusFar},
    {"[Auto Focus]", PtzAction::AutoFocus, 3, PtzActionType::AutoFocus},
    {"[Home]", PtzAction::Home, 2, PtzActionType::Home},
};
constexpr MotionSection kStopSections[] = {
    {"[Pan Stop]", PtzAction::PanStop, 13, PtzActionType::PanTiltStop},
    {"[Tilt Stop]", PtzAction::TiltStop, 12, PtzActionType::PanTiltStop},
    {"[Zoom Stop]", PtzAction::ZoomStop, 0, PtzActionType::ZoomStop},
    {"[Focus Stop]", PtzAction::FocusStop, 1, PtzActionType::FocusStop},
};

const MotionSection& sectionOf(PtzAction action) {
    for (const auto& section : kStartSections) {
        if (section.action == action) return section;
    }
    for (const auto& section : kStopSections) {
        if (section.action == action) return section;
    }
    return kStartSections[0];
}

std::string numbered(const char* format, int n) {
    char text[64];
    std::snprintf(text, sizeof text, format, n);
    return text;
}

// Opens a file of the PTZ folder; a name whose letter case differs from the
// file's is found too, as it would be on the system the files come from.
// A description file is a plain name in the folder: a name that would
// reach elsewhere (a path, "..") is not looked for.
std::optional<IniFile> openInFolder(const std::string& folder, const std::string& name) {
    if (name.empty() || name.find('/') != std::string::npos || name == "." || name == "..") {
        return std::nullopt;
    }
    if (auto file = IniFile::open(folder + "/" + name)) return file;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(folder, error)) {
        if (IniFile::sameKey(entry.path().filename().string(), name)) {
            return IniFile::open(entry.path().string());
        }
    }
    return std::nullopt;
}

// The description file named for a dome model in "Info.ini".
std::optional<std::string> descriptionFileFor(const std::string& folder,
                                              const std::string& model) {
    const auto info = openInFolder(folder, "Info.ini");
    if (!info) return std::nullopt;
    std::optional<std::string> shortName;
    for (const IniLine& line : info->lines()) {
        if (!line.hasPair || line.key.empty() || line.key[0] != 'D' ||
            !IniFile::sameKey(line.value, model)) {
            continue;
        }
        std::istringstream words(line.key);
        std::vector<std::string> parts;
        for (std::string word; words >> word;) parts.push_back(word);
        if (parts.size() > 2) {
            const bool marked = IniFile::sameKey(parts[2], "Short");
            if (!marked) shortName = parts[2];
            if (marked && parts.size() > 3) shortName = parts[3];
        }
        break;
    }
    if (!shortName) return std::nullopt;
    for (const IniLine& line : info->lines()) {
        if (line.hasPair && IniFile::sameKey(line.key, "Ini Name " + *shortName)) {
            return line.value + ".ini";
        }
    }
    return std::nullopt;
}

std::uint8_t byteOf(const std::string& hexadecimal) {
    return static_cast<std::uint8_t>(hexadecimalValue(hexadecimal));
}

struct DomePlan {
    PtzAction start;
    std::optional<PtzAction> stop;
};

DomePlan planOf(DomeAction action) {
    switch (action) {
        case DomeAction::PanLeft: return {PtzAction::PanLeft, PtzAction::PanStop};
        case DomeAction::PanRight: return {PtzAction::PanRight, PtzAction::PanStop};
        case DomeAction::TiltUp: return {PtzAction::TiltUp, PtzAction::TiltStop};
        case DomeAction::TiltDown: return {PtzAction::TiltDown, PtzAction::TiltStop};
        case DomeAction::ZoomOut: return {PtzAction::ZoomOut, PtzAction::ZoomStop};
        case DomeAction::ZoomIn: return {PtzAction::ZoomIn, PtzAction::ZoomStop};
        case DomeAction::FocusNear: return {PtzAction::FocusNear, PtzAction::FocusStop};
        case DomeAction::FocusFar: return {PtzAction::FocusFar, PtzAction::FocusStop};
        case DomeAction::Home: return {PtzAction::Home, std::nullopt};
        case DomeAction::AutoFocus: return {PtzAction::AutoFocus, std::nullopt};
        case DomeAction::AutoMove: break;  // an advanced function, not a section
    }
    return {PtzAction::Home, std::nullopt};
}

// Where the dialect's recall command carries the preset number, counted from
// the start of the packet with the entry header.
constexpr std::size_t kDialectHighNibble = 7;
constexpr std::size_t kDialectLowNibble = 8;

}  // namespace

PtzActionType presetSetType(int index) {
    return static_cast<PtzActionType>((kPresetSetType + index) & 0xFF);
}

PtzActionType presetGoType(int index) {
    return static_cast<PtzActionType>((kPresetGoType + index) & 0xFF);
}

std::vector<TypedPtzCommand> commandsOfPacket(const PtzPacket& packet) {
    std::vector<TypedPtzCommand> commands;
    const std::size_t length = std::min(packet.length, packet.bytes.size());
    std::size_t position = 0;
    while (position + 2 <= length) {
        const std::size_t count = packet.bytes[position + 1];
        if (count > PtzProtocol::kCommandRoom || position + 2 + count > length) break;
        TypedPtzCommand typed;
        typed.type = static_cast<PtzActionType>(packet.bytes[position]);
        typed.command.length = static_cast<int>(count);
        std::copy_n(packet.bytes.begin() + static_cast<long>(position + 2), count,
                    typed.command.bytes.begin());
        commands.push_back(typed);
        position += 2 + count;
    }
    return commands;
}

PtzProtocol::PtzProtocol(const std::string& directory, const std::string& modelName,
                         int addressNumber, int speedLevel)
    : addressNumber_(addressNumber), speedLevel_(std::clamp(speedLevel, 0, kMaxSpeedLevels)) {
    const auto name = descriptionFileFor(directory, modelName);
    if (!name) return;
    const auto file = openInFolder(directory, *name);
    if (!file) return;
    fileName_ = name->substr(0, 127);
    failed_ = false;
    load(*file);
}

PtzProtocol::~PtzProtocol() = default;

bool PtzProtocol::isVisca() const { return IniFile::sameKey(fileName_, "Brevantis_VISCA.ini"); }

bool PtzProtocol::isLilin() const { return IniFile::sameKey(fileName_, "Lilin.ini"); }

void PtzProtocol::load(const IniFile& file) {
    readCapabilities(file);
    readAddresses(file);
    readPanTiltSpeeds(file);
    readBaudRates(file);
    readChecksum(file);
    readZoomSpeeds(file);
    if (capability(kPreset)) {
        readPresetCodes(file);
        presetSet_ = readPresetSection(file, "[Preset Set]");
        presetGo_ = readPresetSection(file, "[Preset Go]");
    }
    for (const auto& section : kStartSections) {
        if (capabilities_[section.capability] == 1) {
            motion_[static_cast<int>(section.action)] = readMotionSection(file, section.name);
        }
    }
    if (capability(kAuto)) readAdvancedFunctions(file);
    for (const auto& section : kStopSections) {
        if (capabilities_[section.capability] == 1) {
            motion_[static_cast<int>(section.action)] = readMotionSection(file, section.name);
        }
    }
}

void PtzProtocol::readCapabilities(const IniFile& file) {
    const auto start = file.findSection("[IS SUPPLE]");
    if (!start) return;
    for (std::size_t i = *start; i < file.lines().size() && file.lines()[i].hasPair; ++i) {
        const IniLine& line = file.lines()[i];
        for (int c = 0; c < kCapabilityCount; ++c) {
            if (IniFile::sameKey(line.key, kCapabilityNames[c])) {
                capabilities_[c] = static_cast<int>(decimalValue(line.value));
            }
        }
    }
}

bool PtzProtocol::readAddresses(const IniFile& file) {
    const auto start = file.findSection("[ADDR]");
    if (!start || *start >= file.lines().size()) return false;
    const IniLine& first = file.lines()[*start];
    if (!first.hasPair || !IniFile::sameKey(first.key, "No")) return false;
    const int count = std::clamp(static_cast<int>(decimalValue(first.value)), 0, kMaxAddresses);
    for (int n = 1; n <= count; ++n) {
        const auto code = file.findKey(*start, numbered("ADDR VALUE %d", n));
        const auto text = file.findKey(*start, numbered("ADDR STRING %d", n));
        if (!code || !text) return false;
        addressCodes_.push_back(byteOf(*code));
        addressStrings_.push_back(text->size() <= kMaxAddressString ? *text : std::string());
    }
    return true;
}

bool PtzProtocol::readPanTiltSpeeds(const IniFile& file) {
    const auto start = file.findSection("[PT SPEED]");
    if (!start) return false;
    const auto levels = file.findKey(*start, "Speed No");
    const auto bytes = file.findKey(*start, "Cmd Byte No");
    if (!levels || !bytes || decimalValue(*bytes) == 0) return false;
    const int count = std::clamp(static_cast<int>(decimalValue(*levels)), 0, kMaxSpeedLevels);
    for (int n = 1; n <= count; ++n) {
        const auto pan = file.findKey(*start, numbered("PAN SPEED LOW %d CMD 1", n));
        const auto tilt = file.findKey(*start, numbered("TILT SPEED LOW %d CMD 1", n));
        const auto stop = file.findKey(*start, numbered("STOP TIME %d", n));
        if (!pan || !tilt || !stop) return false;
        panSpeeds_[n - 1] = byteOf(*pan);
        tiltSpeeds_[n - 1] = byteOf(*tilt);
        panTiltStopTimes_[n - 1] = static_cast<int>(decimalValue(*stop));
    }
    return true;
}

bool PtzProtocol::readZoomSpeeds(const IniFile& file) {
    const auto start = file.findSection("[ZOOM SPEED]");
    if (!start) return false;
    const auto levels = file.findKey(*start, "Speed No");
    if (!levels) return false;
    const int count = std::clamp(static_cast<int>(decimalValue(*levels)), 0, kMaxSpeedLevels);
    for (int n = 1; n <= count; ++n) {
        const auto zoom = file.findKey(*start, numbered("ZOOM SPEED LOW %d CMD 1", n));
        const auto stop = file.findKey(*start, numbered("STOP TIME %d", n));
        if (!zoom || !stop) return false;
        zoomSpeeds_[n - 1] = byteOf(*zoom);
        zoomStopTimes_[n - 1] = static_cast<int>(decimalValue(*stop));
    }
    return true;
}

bool PtzProtocol::readBaudRates(const IniFile& file) {
    const auto start = file.findSection("[BAUD RATE]");
    if (!start) return false;
    const auto count = file.findKey(*start, "No");
    if (!count) return false;
    for (long n = 1; n <= decimalValue(*count); ++n) {
        const auto rate = file.findKey(*start, numbered("BAUD %d", static_cast<int>(n)));
        if (!rate) return false;
        baudRates_.push_back(static_cast<int>(decimalValue(*rate)));
    }
    return true;
}

// First and Subtract only ever pick positions within a command, so values
// beyond its room are kept just beyond it: they select the same bytes, and
// the position arithmetic cannot overflow.
void PtzProtocol::readChecksum(const IniFile& file) {
    const auto start = file.findSection("[CHECKSUM]");
    if (!start) return;
    constexpr long kBeyondRoom = kCommandRoom + 1;
    for (std::size_t i = *start; i < file.lines().size() && file.lines()[i].hasPair; ++i) {
        const IniLine& line = file.lines()[i];
        const long value = decimalValue(line.value);
        const int position = static_cast<int>(std::clamp(value, -kBeyondRoom, kBeyondRoom));
        if (IniFile::sameKey(line.key, "Sel")) {
            checksumKind_ = static_cast<int>(std::clamp<long>(value, INT_MIN, INT_MAX));
        }
        if (IniFile::sameKey(line.key, "First")) checksumFirst_ = position;
        if (IniFile::sameKey(line.key, "Subtract")) checksumSubtract_ = position;
    }
}

bool PtzProtocol::readPresetCodes(const IniFile& file) {
    const auto start = file.findSection("[PRESET]");
    if (!start) return false;
    const auto count = file.findKey(*start, "No");
    if (!count) return false;
    const int presets = std::clamp(static_cast<int>(decimalValue(*count)), 0, kMaxPresets);
    for (int n = 1; n <= presets; ++n) {
        const auto code = file.findKey(*start, numbered("PRESET %d", n));
        if (!code) return false;
        presetCodes_[n - 1] = byteOf(*code);
        presetCount_ = n;
    }
    return true;
}

// Reads the byte tokens of a command section. More than 5 commands, or a
// command longer than the 20 bytes a command holds, reject the section;
// commands read before a missing key are kept.
bool PtzProtocol::readCommands(const IniFile& file, const std::string& name,
                               bool hexadecimalCount,
                               std::vector<std::vector<std::string>>& tokens) const {
    const auto start = file.findSection(name);
    if (!start) return false;
    const auto countText = file.findKey(*start, "Cmd No");
    if (!countText) return false;
    const long count = hexadecimalCount ? hexadecimalValue(*countText) : decimalValue(*countText);
    if (count < 0 || count > kMaxCommands) return false;
    for (int n = 1; n <= count; ++n) {
        const std::string lengthKey = numbered("CMD %d", n);
        const auto lengthText = file.findKey(*start, lengthKey);
        if (!lengthText) return false;
        const long length = decimalValue(*lengthText);
        if (length < 0 || length > kCommandRoom) return false;
        std::vector<std::string> command;
        for (int m = 1; m <= length; ++m) {
            const auto token = file.findKey(*start, lengthKey + "_" + std::to_string(m));
            if (!token) return false;
            command.push_back(*token);
        }
        tokens.push_back(std::move(command));
    }
    return true;
}

PtzProtocol::Section PtzProtocol::readMotionSection(const IniFile& file,
                                                    const std::string& name) const {
    std::vector<std::vector<std::string>> tokens;
    readCommands(file, name, true, tokens);
    Section section;
    for (const auto& command : tokens) {
        std::uint32_t presetPositions = 0;
        std::uint32_t sumPositions = 0;
        section.commands.push_back(resolve(command, presetPositions, sumPositions, -1));
    }
    return section;
}

PtzProtocol::PresetSection PtzProtocol::readPresetSection(const IniFile& file,
                                                          const std::string& name) const {
    std::vector<std::vector<std::string>> tokens;
    readCommands(file, name, false, tokens);
    PresetSection section;
    for (const auto& command : tokens) {
        std::vector<PtzCommand> perPreset;
        std::uint32_t presetPositions = 0;
        std::uint32_t sumPositions = 0;
        const PtzCommand first = resolve(command, presetPositions, sumPositions, presetCodes_[0]);
        for (int k = 0; k < presetCount_; ++k) {
            PtzCommand copy = first;
            for (int i = 0; i < copy.length; ++i) {
                if (presetPositions & (1u << i)) copy.bytes[i] = presetCodes_[k];
            }
            if (k > 0 && sumPositions != 0 && checksumKind_ != 0) computeSums(copy, sumPositions);
            perPreset.push_back(copy);
        }
        section.commands.push_back(std::move(perPreset));
    }
    return section;
}

void PtzProtocol::readAdvancedFunctions(const IniFile& file) {
    const auto start = file.findSection("[AUTO GO]");
    if (!start) return;
    const auto count = file.findKey(*start, "No");
    if (!count) return;
    const long functions = std::min<long>(decimalValue(*count), 256);
    for (int n = 1; n <= functions; ++n) {
        const auto name = file.findKeyBeforeNextSection(*start, numbered("Str %d", n));
        const auto map = file.findKeyBeforeNextSection(*start, numbered("StrMap %d", n));
        if (!name || !map || name->rfind('-', 0) == 0) continue;
        std::vector<std::vector<std::string>> tokens;
        if (!readCommands(file, "[Advance " + *map + "]", true, tokens)) continue;
        AdvancedFunction function;
        function.name = name->substr(0, kMaxFunctionName);
        for (const auto& command : tokens) {
            std::uint32_t presetPositions = 0;
            std::uint32_t sumPositions = 0;
            function.section.commands.push_back(
                resolve(command, presetPositions, sumPositions, -1));
        }
        advanced_.push_back(std::move(function));
    }
}

int PtzProtocol::addressCode() const {
    if (!addressValid() || addressNumber_ > static_cast<int>(addressCodes_.size())) return 0;
    return addressCodes_[addressNumber_ - 1];
}

std::uint8_t PtzProtocol::speedCode(const std::array<std::uint8_t, 5>& codes, int digit) const {
    const int level = speedLevel_ > 0 ? speedLevel_ : digit;
    return codes[level - 1];
}

// Resolves the tokens of one command. `presetCode` is the code the "P" token
// stands for in preset sections, or -1 elsewhere.
PtzCommand PtzProtocol::resolve(const std::vector<std::string>& tokens,
                                std::uint32_t& presetPositions, std::uint32_t& sumPositions,
                                int presetCode) const {
    PtzCommand command;
    command.length = static_cast<int>(tokens.size());
    const auto speedDigit = [](const std::string& token, char first) {
        return token.size() == 3 && token[0] == first && token[1] == 'S' && token[2] >= '1' &&
                       token[2] <= '5'
                   ? token[2] - '0'
                   : 0;
    };
    for (std::size_t i = 0; i < tokens.size(); ++i) {
        const std::string& token = tokens[i];
        std::uint8_t& byte = command.bytes[i];
        if (IniFile::sameKey(token, "Addr")) {
            byte = static_cast<std::uint8_t>(addressCode());
        } else if (int digit = speedDigit(token, 'P')) {
            byte = speedCode(panSpeeds_, digit);
        } else if (int tilt = speedDigit(token, 'T')) {
            byte = speedCode(tiltSpeeds_, tilt);
        } else if (int zoom = speedDigit(token, 'Z')) {
            byte = speedCode(zoomSpeeds_, zoom);
        } else if (IniFile::sameKey(token, "Sum")) {
            if (checksumKind_ != 0) {
                sumPositions |= 1u << i;
                computeSums(command, 1u << i);
            }
        } else if (presetCode >= 0 && IniFile::sameKey(token, "P")) {
            byte = static_cast<std::uint8_t>(presetCode);
            presetPositions |= 1u << i;
        } else if (token.size() >= 4 && token.compare(0, 3, "ADV") == 0) {
            byte = valueFunction(decimalValue(token.substr(3)), addressValid(), addressCode(),
                                 presetCodes_[0]);
        } else {
            byte = byteOf(token);
        }
    }
    return command;
}

// Each "Sum" byte covers the 1-based positions First .. (its own - Subtract);
// a First of 0 or a run past the command is kept within the command's bytes.
void PtzProtocol::computeSums(PtzCommand& command, std::uint32_t sumPositions) const {
    for (int i = 0; i < kCommandRoom; ++i) {
        if (sumPositions & (1u << i)) command.bytes[i] = 0;
    }
    for (int i = 0; i < kCommandRoom; ++i) {
        if (!(sumPositions & (1u << i))) continue;
        const int first = std::max(checksumFirst_, 1);
        const int last = std::min(i + 1 - checksumSubtract_, kCommandRoom);
        const std::span<const std::uint8_t> run =
            last >= first ? std::span<const std::uint8_t>(command.bytes.data() + first - 1,
                                                         static_cast<std::size_t>(last - first + 1))
                          : std::span<const std::uint8_t>();
        command.bytes[i] = checksumOf(checksumKind_, run);
    }
}

std::optional<PtzPacket> PtzProtocol::sectionPacket(const Section& section, int type, bool usable) {
    PtzPacket packet;
    if (section.commands.empty()) return packet;
    if (!usable) return std::nullopt;
    for (const PtzCommand& command : section.commands) {
        if (command.length >= kCommandRoom) return std::nullopt;
        packet.bytes[packet.length++] = static_cast<std::uint8_t>(type);
        packet.bytes[packet.length++] = static_cast<std::uint8_t>(command.length);
        std::copy_n(command.bytes.begin(), command.length, packet.bytes.begin() + packet.length);
        packet.length += static_cast<std::size_t>(command.length);
    }
    return packet;
}

PtzPacket PtzProtocol::presetPacket(const PresetSection& section, int type, int index) {
    PtzPacket packet;
    for (const auto& perPreset : section.commands) {
        if (index < 0 || index >= static_cast<int>(perPreset.size())) return PtzPacket{};
        const PtzCommand& command = perPreset[index];
        packet.bytes[packet.length++] = static_cast<std::uint8_t>((type + index) % 256);
        packet.bytes[packet.length++] = static_cast<std::uint8_t>(command.length);
        std::copy_n(command.bytes.begin(), command.length, packet.bytes.begin() + packet.length);
        packet.length += static_cast<std::size_t>(command.length);
    }
    return packet;
}

std::optional<PtzPacket> PtzProtocol::packet(PtzAction action) const {
    const int type = static_cast<int>(sectionOf(action).type);
    return sectionPacket(motion_[static_cast<int>(action)], type, !failed_ && addressValid());
}

std::optional<PtzPacket> PtzProtocol::advancedFunction(int index) const {
    if (index < 0 || index > advancedFunctionCount()) return std::nullopt;
    if (index == advancedFunctionCount()) return PtzPacket{};
    const int type = static_cast<int>(PtzActionType::Advanced);
    return sectionPacket(advanced_[index].section, type, !failed_ && addressValid());
}

PtzPacket PtzProtocol::presetSet(int index) const {
    return presetPacket(presetSet_, kPresetSetType, index);
}

PtzPacket PtzProtocol::presetGo(int index) const {
    return presetPacket(presetGo_, kPresetGoType, index);
}

// Start and stop are taken together: a move whose stop cannot be built is
// never started, so a dome is not left turning.
std::optional<DomeCommands> PtzProtocol::commands(DomeAction action) const {
    DomeCommands result;
    if (action == DomeAction::AutoMove) {
        const auto start = advancedFunction(0);
        if (!start) return std::nullopt;
        result.start = commandsOfPacket(*start);
        return result;
    }
    const DomePlan plan = planOf(action);
    const auto start = packet(plan.start);
    if (!start) return std::nullopt;
    result.start = commandsOfPacket(*start);
    if (plan.stop) {
        const auto stop = packet(*plan.stop);
        if (!stop) return std::nullopt;
        result.stop = commandsOfPacket(*stop);
    }
    return result;
}

DomeCommands PtzProtocol::goPreset(int presetNumber) const {
    DomeCommands result;
    if (presetNumber < 1 || presetNumber > kMaxPresets) return result;
    PtzPacket packet;
    if (isVisca()) {
        packet = dialectPreset(presetNumber);
    } else {
        packet = presetGo(presetNumber - 1);
        if (isLilin() && packet.length > 14) std::swap(packet.bytes[13], packet.bytes[14]);
    }
    result.start = commandsOfPacket(packet);
    return result;
}

// The dialect recalls every preset with preset 1's command, the number
// written as two nibbles. A file whose first command is too short to hold
// them there gets the common rule instead of a damaged command.
PtzPacket PtzProtocol::dialectPreset(int presetNumber) const {
    PtzPacket packet = presetGo(0);
    const std::size_t firstEntryEnd = packet.length >= 2 ? 2 + packet.bytes[1] : 0;
    const bool nibblesFit =
        firstEntryEnd <= packet.length && kDialectLowNibble + 1 < firstEntryEnd;
    if (!nibblesFit) return presetGo(presetNumber - 1);
    const int index = presetNumber - 1;
    packet.bytes[kDialectHighNibble] = static_cast<std::uint8_t>(index / 16);
    packet.bytes[kDialectLowNibble] = static_cast<std::uint8_t>(index % 16);
    return packet;
}

}  // namespace ambro::ptz
