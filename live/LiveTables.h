#pragma once

#include <array>
#include <cstdint>
#include <mutex>
#include <span>
#include <string>
#include <vector>

#include "live/CameraStatus.h"

namespace ambro::live {

// What the camera-select reply says of the chosen camera or view.
struct CameraSelectWords {
    std::int32_t camera = -1;        // 0-based, -1 for none
    std::int32_t ptzFlag = 0;        // non-zero: the camera has a dome
    // Payload words 2 and 3, kept as the server sent them; nothing here
    // reads them.
    std::array<std::int32_t, 2> furtherWords{-1, -1};
    std::int32_t audioWord = 0;      // non-zero: the camera sends sound
    std::uint32_t capabilityWord = 0;
    std::int32_t presetCount = 0;
};

// One I/O module of an older-generation server.
struct IoModule {
    static constexpr int kNames = 16;
    std::int32_t firstCount = 0;  // stored only
    std::int32_t inputCount = kNames;
    std::int32_t outputCount = 0;
    std::array<std::string, kNames> inputNames;
    std::array<std::string, kNames> outputNames;
};

// The tables the server's replies fill: written by the session thread, read
// by the window's side through copies. One lock guards them all.
class LiveTables {
public:
    static constexpr std::size_t kStatusAreaSize = 64;
    static constexpr int kMaxModules = 8;

    void setServer(std::int32_t version, std::uint32_t viewWord);
    std::int32_t serverVersion() const;
    std::uint32_t viewWord() const;

    // The camera list reply: cut to the table of the server's version.
    void setCameraTable(std::span<const std::uint8_t> payload);
    std::vector<std::uint8_t> cameraTable() const;

    // The first 64 bytes of the camera status reply.
    void setStatusArea(std::span<const std::uint8_t> payload);
    CameraStatusTable statusTable() const;

    void setModules(std::vector<IoModule> modules);
    std::vector<IoModule> modules() const;

    void setSelection(const CameraSelectWords& words);
    CameraSelectWords selection() const;

private:
    mutable std::mutex mutex_;
    std::int32_t serverVersion_ = 0;
    std::uint32_t viewWord_ = 0;
    std::vector<std::uint8_t> cameraTable_;
    std::array<std::uint8_t, kStatusAreaSize> statusArea_{};
    std::vector<IoModule> modules_;
    CameraSelectWords selection_;
};

}  // namespace ambro::live
