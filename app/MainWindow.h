#pragma once

#include <QMainWindow>

class QAction;

namespace ambro::app {

// The program's one main window: the welcome view and the two session
// commands on its command bar.
class MainWindow : public QMainWindow {
    Q_OBJECT
public:
    static constexpr const char* kWelcomeTitle = "Welcome Ambro";

    explicit MainWindow(QWidget* parent = nullptr);

    QAction* liveViewAction() const { return liveView_; }
    QAction* playbackAction() const { return playback_; }

private:
    QAction* liveView_;
    QAction* playback_;
};

}  // namespace ambro::app
