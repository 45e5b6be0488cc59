#include "live/view/LiveToolbarStrip.h"

#include <QAction>
#include <QHBoxLayout>
#include <QToolBar>
#include <QToolButton>

#include "live/view/ToolbarIcons.h"

namespace ambro::live {

namespace {

constexpr int kButtonSize = 16;

std::size_t slot(ToolbarId id) { return static_cast<std::size_t>(id); }

}  // namespace

LiveToolbarStrip::LiveToolbarStrip(QWidget* parent) : QWidget(parent) {
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    for (ToolbarId id : kToolbarIds) {
        build(id);
        layout->addWidget(toolbars_[slot(id)]);
    }
    layout->addStretch(1);
}

void LiveToolbarStrip::build(ToolbarId id) {
    auto* bar = new QToolBar(this);
    bar->setIconSize(QSize(kButtonSize, kButtonSize));
    bar->setMovable(false);
    bar->setFloatable(false);
    bar->setToolButtonStyle(Qt::ToolButtonIconOnly);
    bar->setVisible(false);
    const auto buttons = toolbarButtons(id);
    for (int index = 0; index < static_cast<int>(buttons.size()); ++index) {
        const ToolbarButton& button = buttons[static_cast<std::size_t>(index)];
        const QString tip = QString::fromStdString(button.tooltip);
        QAction* action = bar->addAction(toolbarIcon(button), tip);
        action->setToolTip(tip);
        connect(action, &QAction::triggered, this, [this, id, index] {
            if (clicked_) clicked_(id, index);
        });
        if (button.action) {
            if (auto* tool = qobject_cast<QToolButton*>(bar->widgetForAction(action))) {
                connect(tool, &QToolButton::pressed, this, [this, id, index] {
                    if (held_) held_(id, index, true);
                });
                connect(tool, &QToolButton::released, this, [this, id, index] {
                    if (held_) held_(id, index, false);
                });
            }
        }
        actions_[slot(id)].push_back(action);
    }
    toolbars_[slot(id)] = bar;
}

void LiveToolbarStrip::setHandlers(ClickHandler clicked, HoldHandler held) {
    clicked_ = std::move(clicked);
    held_ = std::move(held);
}

void LiveToolbarStrip::apply(const ToolbarModel& model) {
    const auto shown = model.visibleToolbar();
    for (ToolbarId id : kToolbarIds) {
        const bool visible = shown == id;
        if (visible) {
            const auto& actions = actions_[slot(id)];
            for (int index = 0; index < static_cast<int>(actions.size()); ++index) {
                QAction* action = actions[static_cast<std::size_t>(index)];
                action->setVisible(model.buttonVisible(id, index));
                action->setEnabled(model.buttonEnabled(id, index));
            }
        }
        toolbars_[slot(id)]->setVisible(visible);
    }
}

QToolBar* LiveToolbarStrip::toolbar(ToolbarId id) const { return toolbars_[slot(id)]; }

QAction* LiveToolbarStrip::action(ToolbarId id, int index) const {
    const auto& actions = actions_[slot(id)];
    if (index < 0 || index >= static_cast<int>(actions.size())) return nullptr;
    return actions[static_cast<std::size_t>(index)];
}

}  // namespace ambro::live
