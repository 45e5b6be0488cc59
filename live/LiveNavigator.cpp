#include "live/LiveNavigator.h"

#include "live/CellGrid.h"

namespace ambro::live {

void LiveNavigator::setCameraList(CameraListModel list) {
    list_ = std::move(list);
    position_ = -1;
    tapReturn_ = -1;
    keyReturn_ = -1;
    cells_.setView(std::nullopt);
    cells_.setSelected(CellSelection::kNone);
}

void LiveNavigator::selected(int position) {
    position_ = list_.valid(position) ? position : -1;
    cells_.setView(currentView());
    cells_.setSelected(CellSelection::kNone);
}

std::optional<int> LiveNavigator::returnTo(int& returnPosition) {
    const int view = returnPosition;
    returnPosition = -1;
    return view;
}

NavigatorAction LiveNavigator::tap(int x, int y, const PixelRect& picture, bool rotated) {
    NavigatorAction action;
    action.repaint = true;
    if (fullScreen_) {
        fullScreen_ = false;
        action.showBottomControls = true;
        action.selectPosition = handleTap(x, y, picture, rotated).position;
        return action;
    }
    action.waitCursor = true;
    fullScreen_ = true;
    action.showBottomControls = false;
    const TapResult result = handleTap(x, y, picture, rotated);
    action.selectPosition = result.position;
    // A camera opened from a view is shown with its controls at once.
    if (result.openedCamera) {
        fullScreen_ = false;
        action.showBottomControls = true;
    }
    return action;
}

LiveNavigator::TapResult LiveNavigator::handleTap(int x, int y, const PixelRect& picture,
                                                  bool rotated) {
    if (list_.isView(tapReturn_)) return {returnTo(tapReturn_), false};
    const auto view = currentView();
    if (!view) return {};
    const auto cell = cell_grid::cellAt(picture, gridSize(*view), x, y, rotated);
    if (!cell || !((cells_.mask() >> *cell) & 1u)) return {};
    const auto camera = list_.positionOfCell(*view, *cell);
    if (!camera) return {};
    tapReturn_ = position_;
    return {camera, true};
}

NavigatorAction LiveNavigator::arrowKey(int virtualKey) {
    NavigatorAction action;
    const auto view = currentView();
    if (!view) {
        cells_.setSelected(CellSelection::kNone);
        return action;
    }
    const int n = gridSize(*view);
    const int selected = cells_.selected();
    const std::uint32_t mask = cells_.mask();
    int next = selected;
    switch (virtualKey) {
        case kKeyRight: next = cell_grid::nextRight(selected, mask); break;
        case kKeyLeft: next = cell_grid::nextLeft(selected, mask); break;
        case kKeyDown: next = cell_grid::nextDown(n, selected, mask); break;
        case kKeyUp: next = cell_grid::nextUp(n, selected, mask); break;
        default: return action;
    }
    cells_.setSelected(next);
    action.repaint = next != selected;
    return action;
}

NavigatorAction LiveNavigator::shortEnter() {
    NavigatorAction action;
    if (list_.valid(keyReturn_)) {
        action.selectPosition = returnTo(keyReturn_);
        return action;
    }
    const auto view = currentView();
    if (!view) return action;
    const auto camera = list_.positionOfCell(*view, cells_.selected());
    if (!camera) return action;
    keyReturn_ = position_;
    action.selectPosition = camera;
    return action;
}

}  // namespace ambro::live
