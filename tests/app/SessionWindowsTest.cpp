#include <gtest/gtest.h>

#include <QDir>
#include <QStandardPaths>

#include "app/SessionWindows.h"
#include "app/SnapshotFolder.h"

namespace ambro::app {
namespace {

std::filesystem::path picturesFolder() {
    QString pictures = QStandardPaths::writableLocation(QStandardPaths::PicturesLocation);
    if (pictures.isEmpty()) pictures = QDir::homePath();
    return std::filesystem::path(pictures.toStdString());
}

TEST(SnapshotFolder, RelativePathsGoUnderThePicturesFolderAbsoluteOnesStay) {
    EXPECT_EQ(resolveSnapshotFolder(QStringLiteral("SnapShot")), picturesFolder() / "SnapShot");
    EXPECT_EQ(resolveSnapshotFolder(QStringLiteral("cams/front")), picturesFolder() / "cams/front");
    EXPECT_EQ(resolveSnapshotFolder(QString()), picturesFolder() / "SnapShot");
    EXPECT_EQ(resolveSnapshotFolder(QStringLiteral("/var/tmp/shots")),
              std::filesystem::path("/var/tmp/shots"));
}

TEST(SessionWindows, PlaybackGetsItsWindowAndTheLiveWindowIsNotThereYet) {
    SessionParameters parameters;
    parameters.address = "127.0.0.1";
    parameters.port = "1";
    parameters.userName = "admin";
    parameters.password = "pw";
    SessionWindows windows;
    EXPECT_TRUE(windows.create(SessionKind::Playback, parameters, nullptr));
    EXPECT_FALSE(windows.create(SessionKind::Live, parameters, nullptr));
}

TEST(SessionWindows, PlaybackIsHandedWireTextTheDatabaseAndTheSnapshotFolder) {
    SessionParameters parameters;
    parameters.address = "recorder.local";
    parameters.port = "7000";
    parameters.userName = "Jos\xC3\xA9";  // UTF-8 e acute
    parameters.password = "pw";
    parameters.snapshotFolder = "/elsewhere";  // the live session's folder
    parameters.databaseType = 1;
    const auto settings = playbackSettingsOf(parameters);
    EXPECT_EQ(settings.host, "recorder.local");
    EXPECT_EQ(settings.port, "7000");
    EXPECT_EQ(settings.user, "Jos\xE9");
    EXPECT_EQ(settings.databaseType, 1);
    EXPECT_EQ(settings.snapshotFolder, picturesFolder() / "SnapShot");
    parameters.databaseType.reset();
    EXPECT_EQ(playbackSettingsOf(parameters).databaseType, 0);
}

}  // namespace
}  // namespace ambro::app
