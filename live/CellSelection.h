#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>
#include <optional>

#include "live/CameraStatus.h"
#include "live/ViewKind.h"

namespace ambro::live {

// The highlighted cell of a multi-camera view and the video-present mask
// behind it.
//
// Threads: the session thread calls onVideoHeader() for every picture; the
// user-interface thread sets the view and moves the cell by keys and
// selections. Every field is an atomic, so a reader on any thread (the
// drawing, taps, keys) reads a whole value without a lock; the writers take
// one short internal lock so that a rule's read-modify-write sees no
// half-done change of the other thread.
class CellSelection {
public:
    static constexpr int kNone = -1;

    // Session thread, per video header: recompute the mask of the current
    // view from the status table and update the selected cell.
    void onVideoHeader(const CameraStatusTable& status);

    // User-interface thread.
    void setView(std::optional<ViewKind> view);
    void setSelected(int cell);

    std::optional<ViewKind> view() const;
    int selected() const { return selected_.load(); }
    int saved() const { return saved_.load(); }
    std::uint32_t mask() const { return mask_.load(); }

private:
    void followSecondSixteen(const CameraStatusTable& status);

    std::mutex writer_;
    std::atomic<int> view_{-1};
    std::atomic<int> selected_{kNone};
    std::atomic<int> saved_{kNone};
    std::atomic<std::uint32_t> mask_{0};
    // Set the first time a selected cell is seen in the "1~16" view; from
    // then on "17~32" keeps the cell of the other views aside and gives it
    // back when the view changes. One flag per live session.
    std::atomic<bool> firstSixteenSeen_{false};
};

}  // namespace ambro::live
