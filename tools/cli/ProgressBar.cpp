#include "tools/cli/ProgressBar.h"

#include <algorithm>
#include <string>

namespace ambro::cli {

namespace {

constexpr int kWidth = 40;
constexpr auto kRedraw = std::chrono::milliseconds(100);

}  // namespace

void ProgressBar::update(long done, long total) {
    if (!shown_ || total <= 0) return;
    const auto now = std::chrono::steady_clock::now();
    if (drawn_ && done < total && now - last_ < kRedraw) return;
    last_ = now;
    drawn_ = true;
    const long clamped = std::clamp(done, 0L, total);
    const int filled = static_cast<int>(clamped * kWidth / total);
    out_ << "\r[" << std::string(static_cast<std::size_t>(filled), '#')
         << std::string(static_cast<std::size_t>(kWidth - filled), ' ') << "] "
         << clamped * 100 / total << "% " << clamped << "/" << total << std::flush;
}

void ProgressBar::finish() {
    if (!drawn_) return;
    out_ << "\n" << std::flush;
    drawn_ = false;
}

}  // namespace ambro::cli
