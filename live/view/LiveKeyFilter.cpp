#include "live/view/LiveKeyFilter.h"

#include <QApplication>
#include <QKeyEvent>
#include <QWidget>

#include "platform/DateTime.h"

namespace ambro::live {

LiveKeyFilter::LiveKeyFilter(QWidget& window, LiveKeys& keys, Handlers handlers)
    : QObject(&window), window_(window), keys_(keys), handlers_(std::move(handlers)) {
    QApplication::instance()->installEventFilter(this);
}

LiveKeyFilter::~LiveKeyFilter() { QApplication::instance()->removeEventFilter(this); }

void LiveKeyFilter::stop() {
    stopped_ = true;
    keys_.clear();
}

void LiveKeyFilter::timerTick() {
    if (!stopped_) keys_.timerTick(platform::tickCount());
}

LiveKey LiveKeyFilter::liveKeyOf(int qtKey) {
    switch (qtKey) {
        case Qt::Key_Left: return LiveKey::Left;
        case Qt::Key_Up: return LiveKey::Up;
        case Qt::Key_Right: return LiveKey::Right;
        case Qt::Key_Down: return LiveKey::Down;
        case Qt::Key_Return:
        case Qt::Key_Enter: return LiveKey::Enter;
        default: return LiveKey::Other;
    }
}

// Keys typed into the window's own controls count; those of a list that
// has dropped down, or of another window, do not.
bool LiveKeyFilter::forWindow(QObject* watched) const {
    const auto* widget = qobject_cast<const QWidget*>(watched);
    return widget && widget->window() == &window_ && !QApplication::activePopupWidget();
}

bool LiveKeyFilter::eventFilter(QObject* watched, QEvent* event) {
    const bool press = event->type() == QEvent::KeyPress;
    if (stopped_ || (!press && event->type() != QEvent::KeyRelease) || !forWindow(watched)) {
        return false;
    }
    const auto* keyEvent = static_cast<const QKeyEvent*>(event);
    const LiveKey key = liveKeyOf(keyEvent->key());
    const bool ours = key != LiveKey::Other;
    const std::uint32_t now = platform::tickCount();
    if (press) {
        const KeyDownResult result = keys_.keyDown(key, now, keyEvent->isAutoRepeat());
        if (result.navigate && handlers_.arrow) handlers_.arrow(static_cast<int>(*result.navigate));
        return result.consumed;
    }
    // A held key repeats as pairs of release and press: the key is still down.
    if (keyEvent->isAutoRepeat()) return ours;
    if (keys_.keyUp(key, now) && handlers_.shortEnter) handlers_.shortEnter();
    return ours;
}

}  // namespace ambro::live
