#include "app/SessionLauncher.h"

#include <QAction>
#include <QApplication>
#include <QEventLoop>
#include <QStatusBar>
#include <thread>

#include "app/ConnectDialog.h"
#include "app/MainWindow.h"
#include "app/MessageBox.h"

namespace ambro::app {

namespace {

const QString kWaitingForNetwork = QStringLiteral("Waiting for the network...");

}  // namespace

SessionLauncher::SessionLauncher(MainWindow& window, KeyValueStore& store,
                                 SessionWindowFactory& factory, NetworkBringUp network)
    : window_(window), store_(store), factory_(factory), network_(std::move(network)) {}

SessionLauncher::~SessionLauncher() { closeSessions(); }

void SessionLauncher::closeSessions() {
    playbackSession_.reset();
    liveSession_.reset();
}

// Runs the network bring-up on a thread of its own while the window goes on
// painting and answering, and says that it is waiting. The session commands
// are off meanwhile, so a second click cannot start a second bring-up.
bool SessionLauncher::waitForNetwork() {
    window_.statusBar()->showMessage(kWaitingForNetwork);
    window_.liveViewAction()->setEnabled(false);
    window_.playbackAction()->setEnabled(false);
    QApplication::setOverrideCursor(Qt::WaitCursor);

    QEventLoop waiting;
    std::atomic<bool> up{false};
    std::thread worker([&] {
        up = network_.bringUp();
        QMetaObject::invokeMethod(&waiting, &QEventLoop::quit, Qt::QueuedConnection);
    });
    waiting.exec();
    // The loop also ends when the application quits; the bring-up then stops
    // at its next round.
    network_.cancel();
    worker.join();

    QApplication::restoreOverrideCursor();
    window_.liveViewAction()->setEnabled(true);
    window_.playbackAction()->setEnabled(true);
    window_.statusBar()->clearMessage();
    return up;
}

void SessionLauncher::run(SessionKind kind) {
    if (!waitForNetwork()) {
        showMessage(&window_, QStringLiteral("Cannot StartUp the Network"));
        return;
    }
    closeSessions();
    const bool live = kind == SessionKind::Live;
    window_.setWindowTitle(live ? QStringLiteral("Ambro Live") : QStringLiteral("Ambro Rpb"));

    bool confirmed = false;
    {
        ConnectDialog dialog(kind, store_, parameters_, &window_);
        confirmed = dialog.exec() == QDialog::Accepted;
    }
    if (!confirmed) return;
    if (parameters_.address.empty()) {
        showMessage(&window_, QStringLiteral("IP Cannot be empty"));
        showMessage(&window_, QStringLiteral("IP Check is empty"));
        return;
    }

    auto& session = live ? liveSession_ : playbackSession_;
    session = factory_.create(kind, parameters_, &window_);
    if (!session) {
        showMessage(&window_, QStringLiteral("Init ImgViewDlg Instance Error"));
        return;
    }
    session->run();
}

}  // namespace ambro::app
