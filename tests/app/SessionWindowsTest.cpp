#include <gtest/gtest.h>

#include <QStandardPaths>

#include "app/SessionWindows.h"

namespace ambro::app {
namespace {

TEST(SessionWindows, SnapshotFolderRelativeToThePicturesFolderOrAbsolute) {
    const std::filesystem::path pictures =
        QStandardPaths::writableLocation(QStandardPaths::PicturesLocation).toStdString();
    EXPECT_EQ(liveSnapshotFolder("SnapShot"), pictures / "SnapShot");
    EXPECT_EQ(liveSnapshotFolder("Cams/Gate"), pictures / "Cams/Gate");
    EXPECT_EQ(liveSnapshotFolder("/srv/shots"), std::filesystem::path("/srv/shots"));
}

TEST(SessionWindows, LiveSessionsGetTheLiveViewPlaybackNoWindowYet) {
    SessionWindows windows;
    SessionParameters parameters;
    parameters.address = "127.0.0.1";
    parameters.port = "1";
    EXPECT_NE(windows.create(SessionKind::Live, parameters, nullptr), nullptr);
    EXPECT_EQ(windows.create(SessionKind::Playback, parameters, nullptr), nullptr);
}

}  // namespace
}  // namespace ambro::app
