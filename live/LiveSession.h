#pragma once

#include <atomic>
#include <filesystem>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

#include "live/CameraListModel.h"
#include "live/ControlConnection.h"
#include "live/ControlWorker.h"
#include "live/CurrentGenerationSession.h"
#include "live/LiveDisplay.h"
#include "live/LiveKeys.h"
#include "live/LiveShared.h"
#include "live/OlderGenerationSession.h"
#include "net/LiveConnection.h"

namespace ambro::live {

struct LiveSessionSettings {
    net::SessionEndpoint endpoint;
    std::string userName;
    std::string password;
    // Absolute: where snapshots are written.
    std::filesystem::path snapshotFolder;
    // Where the dome description files are.
    std::string ptzDirectory;
};

// The states a window shows while connecting: the system's numbers.
enum class LiveState : int {
    Connecting = 0,
    OlderGenerationStarted = 1,
    CurrentGenerationConnected = 2,
    Failed = 3,
    TooManyUsers = 11,
    Rejected = 100,
};

// The I/O state of the window that the control thread polls by.
struct IoPage {
    bool ioMode = false;
    int module = 0;
};

// One live session with a server of either generation, without widgets: the
// connect thread, the current generation's readers or the older
// generation's session thread, the control thread, the mailbox, the frame
// ring, the tables and the pictures. A window owns one, implements its
// observer and calls displayTick from its 33 ms timer.
//
// The window's actions return at once: their network work runs on the
// control thread. The *Now functions do the same work on the caller's thread
// and report how it went, for tools without a window.
class LiveSession : private CurrentGenerationSession::Listener {
public:
    // Older generation: the camera selection waits this long after asking
    // for the camera list.
    static constexpr std::chrono::milliseconds kSelectPause{200};
    // The password field of the connect step is cut to 64 bytes.
    static constexpr std::size_t kTextField = 64;

    LiveSession(LiveSessionSettings settings, LiveSessionObserver& observer);
    ~LiveSession() override;

    LiveSession(const LiveSession&) = delete;
    LiveSession& operator=(const LiveSession&) = delete;

    // Where the session thread keeps the window's highlighted cell up to
    // date; set before start().
    void setCellSelection(CellSelection* cells) { shared_.cells = cells; }
    // Starts connecting on the connect thread.
    void start();
    // Stops every thread and joins it; the observer hears nothing more.
    // Returns promptly even when the server is silent.
    void close();

    LiveState state() const { return state_.load(); }
    Generation generation() const { return generation_.load(); }

    // --- What the window asks; the work runs on the control thread. ---
    // Older generation: asks for the camera list again.
    void refreshCameraList();
    // selectCurrent for a position of the camera list.
    void select(const CameraListModel& list, int position);
    void cameraAction(ptz::DomeAction action, int speed);
    // Go Preset n (1 to 16), or a preset of the preset list (17 and up).
    void goPreset(int presetNumber, int speed);
    void goListedPreset(int presetNumber);
    // Held: repeated by the control thread every 250 ms; none to release.
    void setHeldAction(std::optional<ptz::DomeAction> action, int speed);
    void forceOutput(int module, int output);
    void postCommand(const CommandBlock& block);
    void setImageSize(int sizeIndex, bool lowQualityFirst);
    void setRotation(bool rotated);
    void showCameraStatus(bool shown);
    void setIoPage(IoPage page);
    void setInputMonitor(bool open);
    void requestSnapshot() { display_.requestSnapshot(); }
    LiveKeys& keys() { return keys_; }

    // --- The same on the caller's thread, with a result (tools). ---
    // Older generation: the camera list asked for and its reply applied.
    [[nodiscard]] bool refreshCameraListNow();
    SelectResult selectCameraNow(int camera);
    PtzResult cameraActionNow(ptz::DomeAction action, int speed);
    PtzResult goPresetNow(int presetNumber, int speed);
    [[nodiscard]] bool forceOutputNow(int module, int output);

    // --- Pictures, on the window's thread. ---
    [[nodiscard]] bool displayTick(bool paced = true) { return display_.tick(generation(), paced); }
    std::unique_lock<std::recursive_timed_mutex> lockPaint(std::chrono::milliseconds wait) {
        return display_.lockPaint(wait);
    }
    PictureView picture() const { return display_.picture(); }

    // --- What is known of the server. ---
    CameraCatalogue catalogue() const;
    std::vector<IoModule> ioModules() const;
    CameraAbilities abilities() const;
    CameraStatusTable cameraStatus() const { return shared_.tables.statusTable(); }
    bool statusRecordReceived(int camera) const;

private:
    // CurrentGenerationSession::Listener, from the readers.
    void pictureSizeChanged(int width, int height) override;
    void pictureDecoded(const PictureView& picture) override;
    void videoLost() override;
    void unsupportedImageSize(int code) override;
    void disconnected() override;
    void videoStopped() override;
    void ptzChanged(bool present, std::uint8_t capabilities, int presetCount) override;

    void runConnect();
    void startCurrentGeneration();
    void startOlderGeneration();
    void fail(LiveState state, LiveFailure failure, const std::string& detail);
    void controlPass();
    PtzResult olderCameraCommand(int code, int parameter, int speed, bool askFirst);
    PtzResult presetNow(int presetNumber, int speed, bool askFirst);
    PtzResult actionNow(ptz::DomeAction action, int speed, bool askFirst);
    [[nodiscard]] bool postNow(const CommandBlock& block);
    [[nodiscard]] bool postAndWait(const CommandBlock& block);
    void queue(std::function<void()> job);

    const LiveSessionSettings settings_;
    LiveShared shared_;
    LiveDisplay display_;
    LiveKeys keys_;
    net::LiveConnection connection_;
    std::unique_ptr<CurrentGenerationSession> current_;
    std::unique_ptr<ControlConnection> control_;
    std::unique_ptr<OlderGenerationSession> older_;

    std::atomic<LiveState> state_{LiveState::Connecting};
    std::atomic<Generation> generation_{Generation::Unknown};
    std::atomic<bool> closed_{false};

    // Current generation: the dome of the current camera.
    std::atomic<bool> currentPtz_{false};
    std::atomic<std::uint32_t> currentCapabilities_{0};
    std::atomic<int> currentPresets_{0};

    // The window's state the control thread works by.
    std::mutex controlMutex_;
    std::optional<ptz::DomeAction> heldAction_;
    int heldSpeed_ = 1;
    IoPage ioPage_;
    bool pollsFailed_ = false;  // control thread only

    std::thread connectThread_;
    std::thread sessionThread_;
    ControlWorker worker_;
};

}  // namespace ambro::live
