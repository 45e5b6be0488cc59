#pragma once

#include <array>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "live/ImageSizeCode.h"
#include "live/LiveSessionObserver.h"
#include "media/FrameDecoder.h"
#include "media/PictureDecoder.h"
#include "net/LiveConnection.h"
#include "ptz/PtzProtocol.h"

namespace ambro::live {

enum class [[nodiscard]] PtzResult {
    Sent,
    NoCamera,             // no camera is selected
    NoDome,               // the server says the camera has no dome
    ProtocolUnavailable,  // the dome's description file cannot be loaded
    Unsupported,          // the description has no command for the action
    Busy,                 // the command connection stayed busy, or the session closed
    Failed,               // a request failed
};

enum class [[nodiscard]] SelectResult { Selected, NotInList, Busy, Failed };

// A live session with a current-generation server on a LiveConnection that
// its owner keeps: the handshake, the video and auxiliary reader threads,
// and the requests the user's actions make. Requests on the command
// connection are serialised by "ClientMutexPtz", which is held only for one
// request and its reply; the readers never wait for it.
class CurrentGenerationSession : private net::LiveStreamReaders {
public:
    static constexpr std::size_t kStatusRecordSize = 1200;
    static constexpr int kStatusRecords = 32;
    static constexpr std::size_t kVideoHeadSize = 36;
    static constexpr std::uint32_t kMaxFrameLength = media::FrameDecoder::kMaxPayload;
    // "ClientMutexPtz" is tried this many times, this long each time.
    static constexpr int kLockTries = 1200;
    static constexpr std::chrono::milliseconds kLockTry{50};
    // The pause after the stop commands of a camera action.
    static constexpr std::chrono::milliseconds kFinalPtzPause{50};

    // What the session reports, from its reader threads or the thread of
    // the request; pictures are valid only during the call.
    class Listener {
    public:
        virtual ~Listener() = default;
        virtual void pictureSizeChanged(int /*width*/, int /*height*/) {}
        virtual void pictureDecoded(const PictureView& /*picture*/) {}
        virtual void videoLost() {}
        // The listener has video stopped (stopVideo) on a thread of its own.
        virtual void unsupportedImageSize(int /*code*/) {}
        // The video connection broke while the session was not closing.
        virtual void disconnected() {}
        // The video reader has ended, for whatever reason, while the session
        // was not closing.
        virtual void videoStopped() {}
        // The current camera's dome: whether it has one, the capability byte
        // (bit 0 home, 1 auto focus, 2 tilt, 3 pan, 4 zoom, 5 focus, 6 auto,
        // 7 preset) and its presets.
        virtual void ptzChanged(bool /*present*/, std::uint8_t /*capabilities*/,
                                int /*presetCount*/) {}
    };

    CurrentGenerationSession(net::LiveConnection& connection, Listener& listener,
                             std::string ptzDirectory);
    ~CurrentGenerationSession() override;

    CurrentGenerationSession(const CurrentGenerationSession&) = delete;
    CurrentGenerationSession& operator=(const CurrentGenerationSession&) = delete;

    // Runs the handshake; once accepted, the first camera of the list is the
    // current camera and its dome is asked for.
    net::ConnectOutcome connect();

    // Chooses a camera of the list by its index (0-based), as the camera
    // selector does; the camera already chosen is not asked for again.
    SelectResult selectCamera(int camera);
    int currentCamera() const { return currentCamera_.load(); }
    // Video channels with mask 0.
    [[nodiscard]] bool stopVideo();

    // A click on a camera button: its start commands, then its stop
    // commands where it has them.
    PtzResult cameraAction(ptz::DomeAction action);
    // Go Preset n (1-based) by the rules of the dome's description file.
    PtzResult goPreset(int presetNumber);
    // Pulses output 1..32: on, then off.
    [[nodiscard]] bool pulseOutput(int output);

    // Makes a connect() or request in progress on another thread fail soon;
    // safe from any thread. The owner then joins that thread and calls close().
    void interrupt();
    // Stops the readers; returns promptly even while a reader is blocked in
    // a receive. Not while connect() runs.
    void close();

    bool statusRecordReceived(int index) const;

private:
    void startAuxiliaryReader(net::LiveConnection& connection) override;
    void startVideoReader(net::LiveConnection& connection) override;
    void runAuxiliaryReader();
    void runVideoReader();
    void handleFrame(const std::uint8_t* head, std::size_t payloadLength);
    void configurePicture(const ImageSize& size);
    void storeStatusRecord(const std::uint8_t* record);

    // "ClientMutexPtz" within its tries; an empty lock when not taken.
    std::unique_lock<std::timed_mutex> lockCommandConnection();
    bool requestPtzDescriptionLocked(int camera);
    void setUpPtz(const net::PtzDescription& description);
    // Asks for the dome afresh; the protocol, or the reason there is none.
    PtzResult prepareDome();
    PtzResult send(const ptz::DomeCommands& commands);
    bool sendCommands(const std::vector<ptz::TypedPtzCommand>& commands, int interval);

    net::LiveConnection& connection_;
    Listener& listener_;
    const std::string ptzDirectory_;

    std::timed_mutex clientMutexPtz_;  // "ClientMutexPtz"
    std::atomic<bool> stopping_{false};
    std::thread videoReader_;
    std::thread auxiliaryReader_;
    std::atomic<int> currentCamera_{-1};

    mutable std::mutex statusMutex_;
    std::array<std::array<std::uint8_t, kStatusRecordSize>, kStatusRecords> statusRecords_{};
    std::array<bool, kStatusRecords> statusReceived_{};

    // Owned by the video reader.
    std::vector<std::uint8_t> frame_;
    std::uint32_t lastSequence_ = 0;
    int lastSizeCode_ = -1;
    ImageSize pictureSize_;
    std::unique_ptr<media::PictureDecoder> decoder_;
    std::vector<std::uint8_t> picture_;

    // Guarded by "ClientMutexPtz"; the protocol is kept alive by shared
    // ownership while commands built from it are sent outside the lock.
    bool ptzPresent_ = false;
    bool videoOn_ = false;  // the current camera's video was asked for
    std::uint32_t ptzLine_ = 0;
    std::shared_ptr<const ptz::PtzProtocol> protocol_;
    std::optional<net::PtzDescription> lastLoaded_;
};

}  // namespace ambro::live
