#include "app/SessionWindows.h"

#include <QString>

#include "app/SnapshotFolder.h"
#include "net/SessionEndpoint.h"
#include "playback/view/PlaybackDialog.h"

namespace ambro::app {

namespace {

// The wire takes the low byte of each character the user typed.
std::string wireText(const std::string& utf8) {
    return net::lowByteText(QString::fromStdString(utf8).toStdU16String());
}

class PlaybackWindow : public SessionWindow {
public:
    PlaybackWindow(playback::PlaybackSettings settings, QWidget* parent)
        : dialog_(std::move(settings), parent) {}
    int run() override { return dialog_.exec(); }

private:
    playback::PlaybackDialog dialog_;
};

}  // namespace

playback::PlaybackSettings playbackSettingsOf(const SessionParameters& parameters) {
    playback::PlaybackSettings settings;
    settings.host = wireText(parameters.address);
    settings.port = wireText(parameters.port);
    settings.user = wireText(parameters.userName);
    settings.password = wireText(parameters.password);
    settings.databaseType = static_cast<std::uint8_t>(parameters.databaseType.value_or(0));
    settings.snapshotFolder = resolveSnapshotFolder(QStringLiteral("SnapShot"));
    return settings;
}

std::unique_ptr<SessionWindow> SessionWindows::create(SessionKind kind,
                                                      const SessionParameters& parameters,
                                                      QWidget* parent) {
    if (kind == SessionKind::Playback) {
        return std::make_unique<PlaybackWindow>(playbackSettingsOf(parameters), parent);
    }
    return nullptr;
}

}  // namespace ambro::app
