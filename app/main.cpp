#include <QApplication>
#include <QIcon>
#include <iostream>
#include <string_view>

#include "app/IniKeyValueStore.h"
#include "app/MainWindow.h"
#include "app/MessageBox.h"
#include "app/NetworkBringUp.h"
#include "app/SessionLauncher.h"
#include "app/SessionWindows.h"
#include "platform/NetworkStatus.h"
#include "platform/Version.h"

using namespace ambro;

int main(int argc, char* argv[]) {
    if (argc == 2 && std::string_view(argv[1]) == "--version") {
        std::cout << "ambro " << platform::kVersion << "\n";
        return 0;
    }
    QApplication application(argc, argv);
    // The icon of the desktop entry, drawn for this program.
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/app/ambro.svg")));
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
