#pragma once

#include <QWidget>
#include <array>
#include <functional>
#include <vector>

#include "live/ToolbarModel.h"

class QAction;
class QToolBar;

namespace ambro::live {

// The toolbars of the live view as Qt toolbars of 16 x 16 buttons, one
// visible at a time as the toolbar model says. A click and a button held
// down or let go are handed to the window by toolbar and button index.
class LiveToolbarStrip : public QWidget {
public:
    using ClickHandler = std::function<void(ToolbarId toolbar, int index)>;
    using HoldHandler = std::function<void(ToolbarId toolbar, int index, bool down)>;

    explicit LiveToolbarStrip(QWidget* parent = nullptr);

    void setHandlers(ClickHandler clicked, HoldHandler held);
    // Shows the model's toolbar with its visible and enabled buttons.
    void apply(const ToolbarModel& model);

    QToolBar* toolbar(ToolbarId id) const;
    QAction* action(ToolbarId id, int index) const;

private:
    void build(ToolbarId id);

    std::array<QToolBar*, kToolbarIds.size()> toolbars_{};
    std::array<std::vector<QAction*>, kToolbarIds.size()> actions_;
    ClickHandler clicked_;
    HoldHandler held_;
};

}  // namespace ambro::live
