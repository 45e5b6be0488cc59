#include "live/ControlWorker.h"

namespace ambro::live {

void ControlWorker::start(std::function<void()> pass) {
    std::lock_guard lock(mutex_);
    if (thread_.joinable() || stopping_) return;
    pass_ = std::move(pass);
    thread_ = std::thread([this] { run(); });
}

void ControlWorker::post(std::function<void()> job) {
    {
        std::lock_guard lock(mutex_);
        if (stopping_) return;
        jobs_.push_back(std::move(job));
    }
    wake_.notify_all();
}

void ControlWorker::stop() {
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
        jobs_.clear();
    }
    wake_.notify_all();
    if (thread_.joinable() && thread_.get_id() != std::this_thread::get_id()) thread_.join();
}

void ControlWorker::run() {
    auto nextPass = std::chrono::steady_clock::now();
    std::unique_lock lock(mutex_);
    while (!stopping_) {
        if (!jobs_.empty()) {
            auto job = std::move(jobs_.front());
            jobs_.pop_front();
            lock.unlock();
            job();
            lock.lock();
            continue;
        }
        if (std::chrono::steady_clock::now() >= nextPass) {
            lock.unlock();
            pass_();
            lock.lock();
            nextPass = std::chrono::steady_clock::now() + kPassInterval;
            continue;
        }
        wake_.wait_until(lock, nextPass, [this] { return stopping_ || !jobs_.empty(); });
    }
}

}  // namespace ambro::live
