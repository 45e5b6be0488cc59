#include "live/CellSelection.h"

#include <bit>

namespace ambro::live {

void CellSelection::setView(std::optional<ViewKind> view) {
    std::lock_guard lock(writer_);
    view_ = view ? static_cast<int>(*view) : -1;
}

void CellSelection::setSelected(int cell) {
    std::lock_guard lock(writer_);
    selected_ = cell;
}

std::optional<ViewKind> CellSelection::view() const {
    const int view = view_.load();
    return view < 0 ? std::nullopt : std::optional<ViewKind>(static_cast<ViewKind>(view));
}

void CellSelection::onVideoHeader(const CameraStatusTable& status) {
    std::lock_guard lock(writer_);
    const std::uint32_t mask = videoPresentMask(status, view());
    mask_ = mask;
    if (selected_ == kNone) {
        if (mask == 0) return;
        const std::uint32_t low = mask & 0xFFFFu;
        selected_ = low == 0 ? 0 : std::countr_zero(low);
        return;
    }
    if (!firstSixteenSeen_ && view() == ViewKind::First16Channel) {
        selected_ = kNone;
        firstSixteenSeen_ = true;
        return;
    }
    if (firstSixteenSeen_) followSecondSixteen(status);
}

void CellSelection::followSecondSixteen(const CameraStatusTable& status) {
    if (view() != ViewKind::Second16Channel) {
        if (saved_ != kNone) {
            selected_ = saved_.load();
            saved_ = kNone;
        }
        return;
    }
    if (saved_ != kNone) return;
    saved_ = selected_.load();
    for (int camera = 16; camera < kStatusCameras; ++camera) {
        if (hasVideo(status[camera])) {
            selected_ = camera - 16;
            return;
        }
    }
}

}  // namespace ambro::live
