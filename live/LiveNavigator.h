#pragma once

#include <optional>

#include "live/CameraListModel.h"
#include "live/CellSelection.h"
#include "live/PixelRect.h"

namespace ambro::live {

// What the window does after a tap or a key.
struct NavigatorAction {
    // Select this camera list position and run selectCurrent for it.
    std::optional<int> selectPosition;
    bool repaint = false;
    // Show (true) or hide (false) the bottom controls.
    std::optional<bool> showBottomControls;
    bool waitCursor = false;

    friend bool operator==(const NavigatorAction&, const NavigatorAction&) = default;
};

// Moves between the multi-camera views and single cameras by taps and keys.
// Holds the current list position, the cell selection shared with the
// session thread, the positions to go back to, and full-screen mode.
// User-interface thread only, except cells(), whose object is thread-safe.
class LiveNavigator {
public:
    // Virtual-key codes of the keys that move the highlight.
    static constexpr int kKeyLeft = 37;
    static constexpr int kKeyUp = 38;
    static constexpr int kKeyRight = 39;
    static constexpr int kKeyDown = 40;

    // A new list has no selection and nothing to go back to.
    void setCameraList(CameraListModel list);
    const CameraListModel& cameraList() const { return list_; }

    // The window selected `position` (from the selector or from an action)
    // and runs selectCurrent: it becomes current and the cell is cleared.
    void selected(int position);

    int position() const { return position_; }
    std::optional<ViewKind> currentView() const { return list_.viewAt(position_); }
    CellSelection& cells() { return cells_; }
    const CellSelection& cells() const { return cells_; }
    bool fullScreen() const { return fullScreen_; }
    int tapReturnPosition() const { return tapReturn_; }
    int keyReturnPosition() const { return keyReturn_; }

    // A tap at (x, y) on the client area; `picture` is where the picture was
    // last drawn. A tap enters or leaves full-screen mode and then goes back
    // to a view, or opens the camera of a cell that has video.
    NavigatorAction tap(int x, int y, const PixelRect& picture, bool rotated);
    // An arrow key: moves the highlight of a view; with one camera shown
    // the highlight is cleared.
    NavigatorAction arrowKey(int virtualKey);
    // A short press of Enter: opens the highlighted cell's camera, or goes
    // back to the view it was opened from.
    NavigatorAction shortEnter();

private:
    struct TapResult {
        std::optional<int> position;
        bool openedCamera = false;
    };
    TapResult handleTap(int x, int y, const PixelRect& picture, bool rotated);
    std::optional<int> returnTo(int& returnPosition);

    CameraListModel list_;
    CellSelection cells_;
    int position_ = -1;
    int tapReturn_ = -1;
    int keyReturn_ = -1;
    bool fullScreen_ = false;
};

}  // namespace ambro::live
