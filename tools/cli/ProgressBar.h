#pragma once

#include <chrono>
#include <ostream>

namespace ambro::cli {

// A one-line progress bar redrawn in place on a terminal, at most ten times
// a second; nothing at all when the stream is not a terminal.
class ProgressBar {
public:
    ProgressBar(std::ostream& terminal, bool isTerminal) : out_(terminal), shown_(isTerminal) {}
    ~ProgressBar() { finish(); }

    void update(long done, long total);
    // Ends the line, once.
    void finish();

private:
    std::ostream& out_;
    const bool shown_;
    bool drawn_ = false;
    std::chrono::steady_clock::time_point last_{};
};

}  // namespace ambro::cli
