#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "ptz/PtzProtocol.h"

namespace ambro::ptz {
namespace {

namespace fs = std::filesystem;

// The checksum byte of "FF 01 02 Sum 03" (sum kind 1: 255 - sum) for First
// and Subtract values from a file, sensible or not. The sum is taken when
// its token is reached, over the bytes built so far (its own counts 0).
struct RangeCase {
    const char* first;
    const char* subtract;
    std::uint8_t checksum;
};

std::uint8_t checksumByte(const RangeCase& c) {
    const fs::path folder = fs::temp_directory_path() /
                            ("ambro-ptz-range-" + std::to_string(::getpid()));
    fs::create_directories(folder);
    std::ofstream(folder / "Info.ini") << "[DOME]\nD1 Dome Short RD=Range Dome\n"
                                          "[FILES]\nIni Name RD=Range_Dome\n";
    std::ofstream(folder / "Range_Dome.ini")
        << "[IS SUPPLE]\nPAN=1\n\n[CHECKSUM]\nSel=1\nFirst=" << c.first
        << "\nSubtract=" << c.subtract
        << "\n\n[Pan Left Start]\nCmd No=1\nCMD 1=5\nCMD 1_1=FF\nCMD 1_2=01\nCMD 1_3=02\n"
           "CMD 1_4=Sum\nCMD 1_5=03\n";
    const PtzProtocol protocol(folder.string(), "Range Dome", 1, 1);
    fs::remove_all(folder);
    const auto packet = protocol.packet(PtzAction::PanLeft);
    if (!packet || packet->length != 7) return 0;
    return packet->bytes[2 + 3];
}

TEST(PtzChecksumRange, FirstAndSubtractOfAnySizePickBytesOfTheCommand) {
    const RangeCase cases[] = {
        {"2", "1", 255 - 3},                       // bytes 2 and 3
        {"2", "-2147483648", 255 - 3},             // to the command's end
        {"2", "-9999999999", 255 - 3},             // beyond a 32-bit number too
        {"2", "2147483647", 255},                  // nothing
        {"2", "9999999999", 255},
        {"-2147483648", "1", 255 - (0x102 & 0xFF)},  // from byte 1
        {"2147483647", "1", 255},                  // nothing
        {"0", "0", 255 - (0x102 & 0xFF)},          // bytes 1 to 4, the sum's own 0 among them
    };
    for (const RangeCase& c : cases) {
        SCOPED_TRACE(std::string("First=") + c.first + " Subtract=" + c.subtract);
        EXPECT_EQ(checksumByte(c), c.checksum);
    }
}

}  // namespace
}  // namespace ambro::ptz
