#pragma once

#include <QObject>
#include <functional>

#include "live/LiveKeys.h"

class QWidget;

namespace ambro::live {

// The hardware keys of the live view, taken before any control of its
// window sees them: the arrow keys move the highlight and hold a dome move,
// Enter pressed briefly opens or leaves a camera, Enter held sends home.
class LiveKeyFilter : public QObject {
public:
    struct Handlers {
        std::function<void(int virtualKey)> arrow;
        std::function<void()> shortEnter;
    };

    // Watches the application's key events for `window` and its controls.
    LiveKeyFilter(QWidget& window, LiveKeys& keys, Handlers handlers);
    ~LiveKeyFilter() override;

    // Closing: keys are left alone.
    void stop();
    // Every timer of the window: a long Enter press turns into home.
    void timerTick();

    static LiveKey liveKeyOf(int qtKey);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    bool forWindow(QObject* watched) const;

    QWidget& window_;
    LiveKeys& keys_;
    Handlers handlers_;
    bool stopped_ = false;
};

}  // namespace ambro::live
