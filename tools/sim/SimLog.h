#pragma once

#include <functional>
#include <mutex>
#include <string>

namespace ambro::sim {

// One line per event on standard error ("ambro-sim: ..."), written whole even
// when several connection threads log at once. Tests replace the sink to read
// what the simulator reported.
class SimLog {
public:
    using Sink = std::function<void(const std::string& line)>;

    SimLog();
    explicit SimLog(Sink sink, bool verbose = false);

    // Events a user wants to see: forced outputs, refused log-ins, faults.
    void event(const std::string& text);
    // Protocol detail, only with --verbose.
    void detail(const std::string& text);

private:
    std::mutex mutex_;
    Sink sink_;
    bool verbose_;
};

}  // namespace ambro::sim
