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

TEST(SessionWindows, EachKindGetsItsWindow) {
    const SessionParameters parameters{.address = "127.0.0.1", .port = "1", .userName = "admin",
                                       .password = "pw", .snapshotFolder = "SnapShot",
                                       .databaseType = std::nullopt};
    SessionWindows windows;
    EXPECT_TRUE(windows.create(SessionKind::Playback, parameters, nullptr));
    EXPECT_TRUE(windows.create(SessionKind::Live, parameters, nullptr));
}

TEST(SessionWindows, LiveIsHandedWireTextAndItsOwnSnapshotFolder) {
    SessionParameters parameters;
    parameters.address = "dvr";
    parameters.port = "17860";
    parameters.userName = "Jos\xC3\xA9";
    parameters.password = "pw";
    parameters.snapshotFolder = "Cams/Gate";
    const auto settings = liveSettingsOf(parameters);
    EXPECT_EQ(settings.endpoint.host, "dvr");
    EXPECT_EQ(settings.userName, "Jos\xE9");
    EXPECT_EQ(settings.snapshotFolder, picturesFolder() / "Cams/Gate");
    EXPECT_TRUE(settings.ptzDirectory.ends_with("PTZSetup_New"));
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
