#include "app/SessionLauncher.h"

#include "app/ConnectDialog.h"
#include "app/MainWindow.h"
#include "app/MessageBox.h"

namespace ambro::app {

SessionLauncher::SessionLauncher(MainWindow& window, KeyValueStore& store,
                                 SessionWindowFactory& factory, NetworkBringUp network)
    : window_(window), store_(store), factory_(factory), network_(std::move(network)) {}

SessionLauncher::~SessionLauncher() { closeSessions(); }

void SessionLauncher::closeSessions() {
    playbackSession_.reset();
    liveSession_.reset();
}

void SessionLauncher::run(SessionKind kind) {
    if (!network_.bringUp()) {
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
