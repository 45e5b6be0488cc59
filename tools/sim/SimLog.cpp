#include "tools/sim/SimLog.h"

#include <iostream>

namespace ambro::sim {

SimLog::SimLog()
    : SimLog([](const std::string& line) { std::cerr << line << std::endl; }) {}

SimLog::SimLog(Sink sink, bool verbose) : sink_(std::move(sink)), verbose_(verbose) {}

void SimLog::event(const std::string& text) {
    std::lock_guard lock(mutex_);
    sink_("ambro-sim: " + text);
}

void SimLog::detail(const std::string& text) {
    if (verbose_) event(text);
}

}  // namespace ambro::sim
