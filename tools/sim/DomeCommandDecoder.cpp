#include "tools/sim/DomeCommandDecoder.h"

#include <algorithm>

namespace ambro::sim {

namespace {

using Kind = DomeCommand::Kind;

DomeCommand commandOf(Kind kind, int preset = 0) {
    DomeCommand command;
    command.kind = kind;
    command.preset = preset;
    return command;
}

int direction(bool negative, bool positive) {
    return positive == negative ? 0 : (positive ? 1 : -1);
}

// Pelco extended commands: command 2 odd, data 2 (Pelco-D) or data 4
// (Pelco-P) the preset.
std::optional<DomeCommand> pelcoExtended(std::uint8_t command, std::uint8_t preset) {
    switch (command) {
        case 0x03: return commandOf(Kind::SetPreset, preset);
        case 0x05: return commandOf(Kind::ClearPreset, preset);
        case 0x07: return commandOf(Kind::GoPreset, preset);
        case 0x2B: return commandOf(Kind::AutoFocus);
        default: return std::nullopt;
    }
}

// Both Pelco protocols: right 0x02, left 0x04, up 0x08, down 0x10, zoom in
// 0x20, zoom out 0x40 in the second command byte.
DomeCommand pelcoMotion(std::uint8_t moves, bool focusNear, bool focusFar, std::uint8_t panSpeed,
                        std::uint8_t tiltSpeed) {
    DomeCommand command;
    command.pan = direction(moves & 0x04, moves & 0x02);
    command.tilt = direction(moves & 0x08, moves & 0x10);
    command.zoom = direction(moves & 0x40, moves & 0x20);
    command.focus = direction(focusNear, focusFar);
    command.panSpeed = panSpeed >= 0x40 ? 1.0 : panSpeed / 63.0;
    command.tiltSpeed = tiltSpeed >= 0x40 ? 1.0 : tiltSpeed / 63.0;
    return command;
}

DomeCommand autoScan(bool on) {
    DomeCommand command = commandOf(Kind::AutoScan);
    command.on = on;
    return command;
}

}  // namespace

std::optional<DomeCommand> DomeCommandDecoder::decode(DomeProtocol protocol, std::uint8_t address,
                                                      std::span<const std::uint8_t> bytes) {
    switch (protocol) {
        case DomeProtocol::PelcoD: return pelcoD(address, bytes);
        case DomeProtocol::PelcoP: return pelcoP(address, bytes);
        case DomeProtocol::Visca: return visca(address, bytes);
        case DomeProtocol::None: break;
    }
    return std::nullopt;
}

std::optional<DomeCommand> DomeCommandDecoder::pelcoD(std::uint8_t address,
                                                      std::span<const std::uint8_t> bytes) {
    if (bytes.size() != 7 || bytes[0] != 0xFF || bytes[1] != address) return std::nullopt;
    const std::uint8_t sum = static_cast<std::uint8_t>(bytes[1] + bytes[2] + bytes[3] + bytes[4] + bytes[5]);
    if (sum != bytes[6]) return std::nullopt;
    const std::uint8_t command1 = bytes[2];
    const std::uint8_t command2 = bytes[3];
    if (command2 & 0x01) return pelcoExtended(command2, bytes[5]);
    // Command 1 bit 4 is the scan; with the sense bit (7) it is the
    // automatic scan, without it the manual one.
    if (command1 & 0x10) return autoScan((command1 & 0x80) != 0);
    return pelcoMotion(command2, command1 & 0x01, command2 & 0x80, bytes[4], bytes[5]);
}

std::optional<DomeCommand> DomeCommandDecoder::pelcoP(std::uint8_t address,
                                                      std::span<const std::uint8_t> bytes) {
    if (bytes.size() != 8 || bytes[0] != 0xA0 || bytes[6] != 0xAF || bytes[1] != address) {
        return std::nullopt;
    }
    std::uint8_t check = 0;
    for (int i = 0; i < 7; ++i) check ^= bytes[static_cast<std::size_t>(i)];
    if (check != bytes[7]) return std::nullopt;
    const std::uint8_t data1 = bytes[2];
    const std::uint8_t data2 = bytes[3];
    if (data2 & 0x01) return pelcoExtended(data2, bytes[5]);
    if (data1 & 0x20) return autoScan(true);  // data 1 bit 5: auto scan
    return pelcoMotion(data2, data1 & 0x02, data1 & 0x01, bytes[4], bytes[5]);
}

std::optional<DomeCommand> DomeCommandDecoder::visca(std::uint8_t address,
                                                     std::span<const std::uint8_t> bytes) {
    if (bytes.size() < 4 || bytes[0] != address || bytes[1] != 0x01) return std::nullopt;
    const auto is = [&](std::initializer_list<std::uint8_t> expected) {
        if (bytes.size() != expected.size() + 2) return false;
        std::size_t i = 2;
        for (std::uint8_t byte : expected) {
            if (bytes[i++] != byte) return false;
        }
        return true;
    };
    const std::size_t n = bytes.size();
    // Pan-tilt drive: 06 01 VV WW 0p 0t FF; p and t are 1 (left, up),
    // 2 (right, down) or 3 (stop).
    if (n == 9 && bytes[2] == 0x06 && bytes[3] == 0x01 && bytes[8] == 0xFF) {
        DomeCommand command;
        command.pan = bytes[6] == 1 ? -1 : bytes[6] == 2 ? 1 : 0;
        command.tilt = bytes[7] == 1 ? -1 : bytes[7] == 2 ? 1 : 0;
        command.panSpeed = std::min(bytes[4], std::uint8_t{0x18}) / 24.0;
        command.tiltSpeed = std::min(bytes[5], std::uint8_t{0x14}) / 20.0;
        return command;
    }
    if (is({0x06, 0x04, 0xFF})) return commandOf(Kind::Home);
    if (n == 6 && bytes[2] == 0x04 && bytes[5] == 0xFF && (bytes[3] == 0x07 || bytes[3] == 0x08)) {
        // Zoom (07) and focus (08): 02 tele/far, 03 wide/near, 00 stop, and
        // the variable forms 2p / 3p.
        const int high = bytes[4] >> 4;
        const int value = bytes[4] == 0x02 || high == 2 ? 1 : bytes[4] == 0x03 || high == 3 ? -1 : 0;
        DomeCommand command;
        if (bytes[3] == 0x07) command.zoom = value;
        else command.focus = value;
        return command;
    }
    if (is({0x04, 0x38, 0x02, 0xFF})) return commandOf(Kind::AutoFocus);
    // Memory: 04 3F 0x pp FF with x 0 reset, 1 set, 2 recall; memory m is
    // preset m + 1. Some clients send a recall as 04 3F 02 hi lo, the memory
    // number in two nibble bytes and no terminator.
    if (n == 7 && bytes[2] == 0x04 && bytes[3] == 0x3F && bytes[6] == 0xFF && bytes[4] <= 2) {
        const Kind kinds[] = {Kind::ClearPreset, Kind::SetPreset, Kind::GoPreset};
        return commandOf(kinds[bytes[4]], bytes[5] + 1);
    }
    if (n == 7 && bytes[2] == 0x04 && bytes[3] == 0x3F && bytes[4] == 0x02 && bytes[5] < 16 &&
        bytes[6] < 16) {
        return commandOf(Kind::GoPreset, bytes[5] * 16 + bytes[6] + 1);
    }
    return std::nullopt;
}

std::optional<DomeCommand> DomeCommandDecoder::decodeCameraCommand(int code, int parameter,
                                                                   int speed) {
    DomeCommand command;
    command.panSpeed = command.tiltSpeed = std::clamp(speed, 1, 5) / 5.0;
    switch (code) {
        case 1: command.pan = -1; return command;
        case 2: command.pan = 1; return command;
        case 3: command.tilt = -1; return command;
        case 4: command.tilt = 1; return command;
        case 5: command.zoom = 1; return command;
        case 6: command.zoom = -1; return command;
        case 7: return commandOf(Kind::Home);
        case 8: return autoScan(true);
        case 9: command.focus = -1; return command;
        case 10: command.focus = 1; return command;
        case 14: return commandOf(Kind::GoPreset, parameter + 1);
        case 16: return commandOf(Kind::AutoFocus);
        default: break;
    }
    if (code >= 47 && code <= 62) return commandOf(Kind::GoPreset, code - 46);
    return std::nullopt;
}

}  // namespace ambro::sim
