#include "app/SessionWindows.h"

#include <QStandardPaths>
#include <QString>

#include "app/MessageBox.h"
#include "live/view/LiveViewDialog.h"
#include "net/SessionEndpoint.h"
#include "platform/ProgramFolder.h"

namespace ambro::app {

namespace {

// Texts from the dialog go on the wire as the low bytes of their characters.
std::string wireText(const std::string& text) {
    return net::lowByteText(QString::fromStdString(text).toStdU16String());
}

class LiveSessionWindow : public SessionWindow {
public:
    LiveSessionWindow(const SessionParameters& parameters, QWidget* parent)
        : dialog_(settingsOf(parameters), showMessage, parent) {}

    int run() override { return dialog_.exec(); }

private:
    static live::LiveSessionSettings settingsOf(const SessionParameters& parameters) {
        live::LiveSessionSettings settings;
        settings.endpoint = {wireText(parameters.address), wireText(parameters.port)};
        settings.userName = wireText(parameters.userName);
        settings.password = wireText(parameters.password);
        settings.snapshotFolder = liveSnapshotFolder(parameters.snapshotFolder);
        settings.ptzDirectory = (platform::programFolder() / "PTZSetup_New").string();
        return settings;
    }

    live::LiveViewDialog dialog_;
};

}  // namespace

// For the merge: the app's own snapshot-folder function replaces this one.
std::filesystem::path liveSnapshotFolder(const std::string& snapshotPath) {
    const std::filesystem::path path(snapshotPath);
    if (path.is_absolute()) return path;
    const QString pictures = QStandardPaths::writableLocation(QStandardPaths::PicturesLocation);
    return std::filesystem::path(pictures.toStdString()) / path;
}

std::unique_ptr<SessionWindow> SessionWindows::create(SessionKind kind,
                                                      const SessionParameters& parameters,
                                                      QWidget* parent) {
    if (kind != SessionKind::Live) return nullptr;
    return std::make_unique<LiveSessionWindow>(parameters, parent);
}

}  // namespace ambro::app
