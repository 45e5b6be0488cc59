#include <QApplication>

#include "app/IniKeyValueStore.h"
#include "app/MainWindow.h"
#include "app/MessageBox.h"
#include "app/NetworkBringUp.h"
#include "app/SessionLauncher.h"
#include "app/SessionWindows.h"
#include "platform/NetworkStatus.h"

using namespace ambro;

int main(int argc, char* argv[]) {
    QApplication application(argc, argv);
    if (!platform::socketsAvailable()) {
        app::showMessage(nullptr,
                         QStringLiteral("Fehler beim Initialisieren der Windows-Sockets."));
        return 1;
    }
    QCoreApplication::setOrganizationName(QStringLiteral("Local AppWizard-Generated Applications"));

    app::MainWindow window;
    app::IniKeyValueStore store(app::IniKeyValueStore::defaultPath());
    app::SessionWindows sessions;
    app::SessionLauncher launcher(window, store, sessions, app::NetworkBringUp::forThisMachine());
    QObject::connect(window.liveViewAction(), &QAction::triggered,
                     [&] { launcher.run(app::SessionKind::Live); });
    QObject::connect(window.playbackAction(), &QAction::triggered,
                     [&] { launcher.run(app::SessionKind::Playback); });
    window.show();
    return application.exec();
}
