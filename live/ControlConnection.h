#pragma once

#include <atomic>
#include <memory>
#include <mutex>

#include "live/CurrentGenerationSession.h"
#include "live/LiveSessionObserver.h"
#include "net/TwoPortConnection.h"

namespace ambro::live {

// What the control thread's poll needs to know of the window's state.
struct ControlPoll {
    int camera = -1;
    bool cameraHasPtz = false;
    bool ioMode = false;  // the I/O pages are shown
    int module = 0;       // the selected I/O module, 1 to 8, 0 for none
};

// How one pass of the control thread's polls ended.
enum class [[nodiscard]] ControlPollResult{
    Done,      // nothing the window shows was answered (or the lock was busy)
    Answered,  // a module answered the I/O poll: the window shows its answer
    Failed,    // a request failed; the polls stop
};

// The byte-coded control connection of an older-generation server, one
// request and its answer at a time under "ClientMutexPtz": the dome's
// keep-alive, the I/O polls, camera commands and forced outputs. It keeps
// the answers of the dome and of the selected module, which tell whether
// they may be commanded.
class ControlConnection {
public:
    static constexpr int kLockTries = 1200;
    static constexpr std::chrono::milliseconds kLockTry{50};
    static constexpr std::chrono::milliseconds kPollLockTry{5};

    explicit ControlConnection(std::unique_ptr<net::TwoPortConnection> connection);

    // Connects as client type 2 and logs in with the password coded for the
    // control connection; false when either fails. May be interrupted.
    [[nodiscard]] bool open(const std::string& password, const std::string& userName);

    // One pass of the control thread.
    ControlPollResult poll(const ControlPoll& state);

    // A camera button: code, parameter and speed for the current camera;
    // dropped unless the dome has answered. With `askFirst` the dome is
    // asked once first when it has not answered yet (for tools that do not
    // wait for the poll).
    PtzResult cameraCommand(int code, int parameter, int camera, bool cameraHasPtz, int speed,
                            bool askFirst);
    // Force Output n of module m; dropped unless the module has answered,
    // or, with `askFirst`, after asking the module once.
    [[nodiscard]] bool forceOutput(int module, int output, bool askFirst);

    ControlAnswers answers() const { return {ptzAnswer_.load(), ioAnswer_.load()}; }
    std::int32_t serverVersion() const { return connection_->serverVersion(); }
    void interrupt() {
        stopping_ = true;
        connection_->shutdownSockets();
    }

private:
    std::unique_lock<std::timed_mutex> lock(int tries, std::chrono::milliseconds each);
    [[nodiscard]] bool keepAlive(int camera);
    [[nodiscard]] bool askModule(int module);

    std::unique_ptr<net::TwoPortConnection> connection_;
    std::timed_mutex mutex_;  // "ClientMutexPtz"
    std::atomic<bool> stopping_{false};
    std::atomic<std::uint8_t> ptzAnswer_{0};
    std::atomic<std::uint8_t> ioAnswer_{0};
};

}  // namespace ambro::live
