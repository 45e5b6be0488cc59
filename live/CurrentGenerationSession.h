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
#include "net/LiveConnection.h"
#include "ptz/PtzProtocol.h"

namespace ambro::live {

// The camera commands of the live view.
enum class CameraAction {
    Left, Right, Up, Down, ZoomIn, ZoomOut, FocusNear, FocusFar, Home, AutoMove, AutoFocus,
    GoPreset,
};

enum class PtzResult {
    Sent,
    NoCamera,             // no camera is selected
    NoDome,               // the server says the camera has no dome
    ProtocolUnavailable,  // the dome's description file cannot be loaded
    Unsupported,          // the description has no command for the action
    Busy,                 // the command connection stayed busy, or the session closed
    Failed,               // a request failed
};

// A live session with a current-generation server: the handshake, the video
// and auxiliary reader threads, and the requests the user's actions make.
// Requests on the command connection are serialised by "ClientMutexPtz".
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

    CurrentGenerationSession(net::SessionEndpoint endpoint, std::string userName,
                             std::string password, LiveSessionObserver& observer,
                             std::string ptzDirectory);
    ~CurrentGenerationSession() override;

    CurrentGenerationSession(const CurrentGenerationSession&) = delete;
    CurrentGenerationSession& operator=(const CurrentGenerationSession&) = delete;

    // Runs the handshake; on success the first camera of the list becomes
    // the current camera and its dome is asked for.
    net::ConnectOutcome connect();
    net::LiveConnection& connection() { return connection_; }

    enum class SelectResult { Selected, NotInList, Busy, Failed };
    // Chooses an entry of the camera list (0-based), as the camera selector does.
    SelectResult selectCamera(std::size_t entry);
    int currentCamera() const { return currentCamera_.load(); }

    // A click on a camera button: start commands, then stop commands where
    // the action has them. `presetNumber` (1-based) is for GoPreset.
    PtzResult cameraAction(CameraAction action, int presetNumber = 0);
    // Pulses output 1..32: on, then off.
    bool pulseOutput(int output);

    // Makes a connect() or request in progress on another thread fail soon;
    // safe from any thread. The owner then joins that thread and calls close().
    void interrupt();
    // Stops the readers and closes the connections; returns promptly even
    // while a reader is blocked in a receive. Not while connect() runs.
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
    bool sendEntries(const ptz::PtzPacket& packet, int type);

    net::LiveConnection connection_;
    LiveSessionObserver& observer_;
    const std::string ptzDirectory_;

    std::timed_mutex clientMutexPtz_;  // "ClientMutexPtz"
    std::atomic<bool> closing_{false};
    std::atomic<bool> videoStop_{false};
    std::atomic<bool> auxiliaryStop_{false};
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
    std::unique_ptr<media::FrameDecoder> decoder_;
    media::PictureFormat inputFormat_;
    media::PictureFormat outputFormat_;
    std::vector<std::uint8_t> picture_;

    // Guarded by "ClientMutexPtz".
    bool ptzPresent_ = false;
    std::uint32_t ptzLine_ = 0;
    std::unique_ptr<ptz::PtzProtocol> protocol_;
    std::optional<net::PtzDescription> lastLoaded_;
};

}  // namespace ambro::live
