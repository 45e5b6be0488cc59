#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

namespace ambro::live {

// The control thread of a live session: every 250 ms it runs its pass (the
// dome keep-alive, the I/O polls, held buttons and keys), and in between it
// runs the jobs the window posts, in order, so that no user action waits on
// the network on the window's thread.
class ControlWorker {
public:
    static constexpr std::chrono::milliseconds kPassInterval{250};

    ControlWorker() = default;
    ~ControlWorker() { stop(); }
    ControlWorker(const ControlWorker&) = delete;
    ControlWorker& operator=(const ControlWorker&) = delete;

    void start(std::function<void()> pass);
    // Jobs posted before start() run once it has started.
    void post(std::function<void()> job);
    // Ends the thread after its current job and joins it; posted jobs that
    // have not run are dropped.
    void stop();
    bool running() const { return thread_.joinable(); }

private:
    void run();

    std::function<void()> pass_;
    std::mutex mutex_;
    std::condition_variable wake_;
    std::deque<std::function<void()>> jobs_;
    bool stopping_ = false;
    std::thread thread_;
};

}  // namespace ambro::live
