#pragma once

#include <QApplication>
#include <chrono>
#include <functional>
#include <thread>

namespace ambro::test {

// Runs a window's events until the condition holds or the time is up; false
// when the time ran out.
inline bool processUntil(const std::function<bool()>& condition,
                         std::chrono::milliseconds timeout = std::chrono::seconds(5)) {
    const auto end = std::chrono::steady_clock::now() + timeout;
    while (!condition()) {
        if (std::chrono::steady_clock::now() >= end) return false;
        QApplication::processEvents(QEventLoop::AllEvents, 5);
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

}  // namespace ambro::test
