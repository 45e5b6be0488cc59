#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "live/CameraStatus.h"
#include "live/LiveTables.h"
#include "platform/DateTime.h"

namespace ambro::live {

enum class Generation { Unknown, Current, Older };

// Why a session could not be opened, with the system's text to show.
enum class LiveFailure {
    ConnectedFailed,         // "Connected Failed"
    TooManyUsers,            // "Too Many Users"
    Rejected,                // "Server Reject Ambro Client"
    MemoryAllocationFailed,  // "Memory Allocation Failed"
};
const char* liveFailureText(LiveFailure failure);

// The cameras and views a session offers, for the camera selector.
struct CameraCatalogue {
    Generation generation = Generation::Unknown;
    // Older generation: the camera list reply as received (32 or 64
    // entries by version) and the hello reply's view word.
    std::vector<std::uint8_t> cameraTable;
    std::int32_t serverVersion = 0;
    std::uint32_t viewWord = 0;
    // Current generation: camera numbers (1-based) and names in list order,
    // and the raw kind of the server description.
    std::vector<int> cameraNumbers;
    std::vector<std::string> cameraNames;
    std::int32_t serverKind = 0;
};

// The chosen camera's abilities, for the toolbars.
struct CameraAbilities {
    int camera = -1;
    bool hasPtz = false;
    std::uint32_t capabilityWord = 0;
    int presetCount = 0;
    bool hasAudio = false;
};

// The answers of the older generation's control connection: the current
// camera's dome and the selected I/O module (non-zero when they answered).
struct ControlAnswers {
    std::uint8_t ptz = 0;
    std::uint8_t io = 0;
};

// One alarm poll: the eight modules' input masks (bit i: input i + 1) and
// the alarm time. Only polls whose year is not 0 are reported.
struct AlarmInputs {
    std::array<std::uint16_t, 8> masks{};
    platform::DateTime time;
};

// A decoded picture: bottom-up BGR, `stride` bytes from row to row, and its
// time in milliseconds: the stream's own time stamp where the server sends
// one (older generation), else when it arrived (on a steady clock). Only
// differences between the times of one stream mean anything.
struct PictureView {
    const std::uint8_t* pixels = nullptr;
    int width = 0;
    int height = 0;
    std::size_t stride = 0;
    std::int64_t timeMs = 0;
};

// Milliseconds on the steady clock, for pictures without a time stamp.
std::int64_t arrivalTimeMs();

// Everything a live session reports to its window or tool, for both server
// generations. Calls come from the session's threads unless noted; an
// implementation marshals them to its own thread. Data is handed over as
// copies, except pictures, which are valid only during the call.
class LiveSessionObserver {
public:
    virtual ~LiveSessionObserver() = default;

    // The session could not be opened; `detail` says why in plain words.
    virtual void connectFailed(LiveFailure /*failure*/, const std::string& /*detail*/) {}
    // The session is logged in and usable.
    virtual void sessionReady(Generation /*generation*/) {}
    // A running session ended: "Disconnect" and what ended it.
    virtual void disconnected(const std::string& /*headline*/, const std::string& /*detail*/) {}

    virtual void cameraListChanged(const CameraCatalogue& /*catalogue*/) {}
    virtual void cameraSelected(const CameraAbilities& /*abilities*/) {}
    virtual void cameraStatusChanged(const CameraStatusTable& /*status*/) {}
    virtual void ioModulesChanged(const std::vector<IoModule>& /*modules*/) {}
    virtual void controlAnswersChanged(const ControlAnswers& /*answers*/) {}
    virtual void alarmRaised(const AlarmInputs& /*alarm*/) {}

    virtual void streamStarted() {}
    virtual void streamStopped() {}
    virtual void pictureSizeChanged(int /*width*/, int /*height*/) {}
    // Every picture as it is decoded, on the decoding thread (the video
    // reader, or the thread running displayTick): for tools that keep all.
    virtual void pictureDecoded(const PictureView& /*picture*/) {}
    // The picture to draw, on the thread running displayTick, while the
    // session holds "PaintMutex".
    virtual void pictureReady(const PictureView& /*picture*/) {}
    // A frame without payload: draw "Video Lost".
    virtual void videoLost() {}
    // A size the client cannot show: draw "Error!! Please Setup
    // Resolution"; video has been stopped.
    virtual void unsupportedImageSize(int /*code*/) {}
    // No more pictures will come (the video connection ended).
    virtual void videoStopped() {}

    // On the thread running displayTick.
    virtual void snapshotSaved(const std::filesystem::path& /*file*/) {}
    virtual void snapshotFailed(const std::string& /*reason*/) {}
};

}  // namespace ambro::live
