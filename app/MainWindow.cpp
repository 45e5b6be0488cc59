#include "app/MainWindow.h"

#include <QAction>
#include <QToolBar>

#include "app/WelcomeView.h"

namespace ambro::app {

MainWindow::MainWindow(QWidget* parent) : QMainWindow(parent) {
    setWindowTitle(QString::fromLatin1(kWelcomeTitle));
    setCentralWidget(new WelcomeView(this));

    auto* commandBar = addToolBar(QStringLiteral("Commands"));
    commandBar->setObjectName(QStringLiteral("commandBar"));
    commandBar->setMovable(false);
    liveView_ = commandBar->addAction(QStringLiteral("Live View"));
    playback_ = commandBar->addAction(QStringLiteral("Ambro Remote Play Back"));
    resize(480, 360);
}

}  // namespace ambro::app
