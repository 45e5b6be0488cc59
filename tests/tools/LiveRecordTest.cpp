#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <sstream>

#include "tests/support/FakeLiveServer.h"
#include "tests/support/FakeOlderServer.h"
#include "tests/support/Mpeg4Fixtures.h"
#include "tests/support/PayloadBuilder.h"
#include "tests/support/VideoFileReader.h"
#include "tools/cli/LiveCommand.h"

namespace ambro::cli {
namespace {

namespace fs = std::filesystem;
using test::Bytes;
using test::FakeLiveServer;
using test::FakeLiveServerScript;

// A CIF camera whose first picture carries a privacy mask over the upper
// left quarter of the 360 x 240 grid.
FakeLiveServerScript maskedCamera() {
    FakeLiveServerScript script = FakeLiveServerScript::withCameras(51, 0b1);
    std::uint32_t sequence = 1;
    for (const auto& picture : test::splitIntoPictures(
             test::readFile(test::fixturePath("mpeg4/mpeg4_352x288_bf0.m4v")))) {
        test::PayloadBuilder builder(test::PayloadMarker::ChecksumF, picture.bytes);
        if (sequence == 1) {
            builder.scrambledMaskBlock(test::PayloadBuilder::rectangleList({{0, 0, 180, 120}}));
        }
        script.videoFrames.push_back({sequence, 24, static_cast<std::uint8_t>(sequence == 1 ? 0 : 1),
                                      builder.build(), 0, false});
        ++sequence;
    }
    script.repeatVideo = true;
    return script;
}

class LiveRecord : public testing::Test {
protected:
    int run(const FakeLiveServer& server, std::vector<std::string> words) {
        words.insert(words.begin() + 1, "127.0.0.1:" + std::to_string(server.port()));
        out.str("");
        err.str("");
        return runLive(words, AMBRO_PTZ_SETUP_DIR, out, err);
    }
    void TearDown() override { fs::remove_all(folder); }

    const fs::path folder = [] {
        const fs::path path = fs::temp_directory_path() /
                              ("ambro-record-" + std::to_string(::getpid()) + "-" +
                               testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::create_directories(path);
        return path;
    }();
    std::ostringstream out;
    std::ostringstream err;
};

TEST_F(LiveRecord, PicturesAsShownWithTheirTimesInEachContainer) {
    FakeLiveServer server(maskedCamera());
    struct Case {
        const char* file;
        const char* container;
    };
    for (const Case& c : {Case{"clip.mkv", "matroska,webm"}, Case{"clip.mp4", "mov,mp4,m4a,3gp,3g2,mj2"},
                          Case{"clip.avi", "avi"}}) {
        const fs::path file = folder / c.file;
        ASSERT_EQ(run(server, {"record", "--camera", "1", "--frames", "12", "--out", file.string()}),
                  0)
            << err.str();
        const auto contents = test::readVideoFile(file.string());
        ASSERT_TRUE(contents.has_value()) << c.file;
        EXPECT_EQ(contents->container, c.container);
        EXPECT_EQ(contents->codec, "mpeg4");
        EXPECT_EQ(contents->width, 352);
        EXPECT_EQ(contents->height, 288);
        ASSERT_EQ(contents->timesMs.size(), 12u) << c.file;
        auto times = contents->timesMs;
        std::sort(times.begin(), times.end());
        EXPECT_EQ(times.front(), 0);
        for (std::size_t i = 1; i < times.size(); ++i) EXPECT_GT(times[i], times[i - 1]);
        // The masked quarter (352/360 x 288/240 of it: columns 0-175 of
        // picture rows 0-143) is black in the file. Picture rows count from
        // the bottom of the shown picture, which the file holds top-down.
        const auto& picture = contents->firstPicture;
        ASSERT_EQ(picture.size(), 352u * 288 * 3);
        for (const auto& [x, y] : {std::pair{10, 280}, std::pair{150, 200}, std::pair{170, 150}}) {
            const std::size_t at = (static_cast<std::size_t>(y) * 352 + x) * 3;
            EXPECT_LT(picture[at] + picture[at + 1] + picture[at + 2], 3 * 24) << x << "," << y;
        }
        const std::size_t outside = (20 * 352 + 300) * 3;
        EXPECT_GT(picture[outside] + picture[outside + 1] + picture[outside + 2], 3 * 24);
        EXPECT_FALSE(fs::exists(file.string() + ".part"));
    }
}

TEST_F(LiveRecord, ABrokenConnectionLeavesNoFileAndOtherFailures) {
    FakeLiveServerScript script = maskedCamera();
    script.repeatVideo = false;
    script.videoFrames.resize(6);
    script.videoFrames[5].breakHalfway = true;
    FakeLiveServer broken(script);
    const fs::path file = folder / "broken.mkv";
    EXPECT_EQ(run(broken, {"record", "--camera", "1", "--frames", "50", "--out", file.string()}), 3);
    EXPECT_NE(err.str().find("nothing was written"), std::string::npos) << err.str();
    EXPECT_TRUE(fs::is_empty(folder));

    FakeLiveServer server(maskedCamera());
    EXPECT_EQ(run(server, {"record", "--camera", "1", "--seconds", "1", "--out",
                           "/nonexistent/folder/x.mkv"}),
              4);
    EXPECT_EQ(run(server, {"record", "--camera", "9", "--seconds", "1", "--out",
                           (folder / "x.mkv").string()}),
              3);
    EXPECT_EQ(err.str(), "camera 9 is not in the camera list\n");
    EXPECT_EQ(run(server, {"record", "--camera", "1", "--out", (folder / "x.mkv").string()}), 1);
    EXPECT_EQ(run(server, {"record", "--camera", "1", "--frames", "3", "--out",
                           (folder / "x.nothing-knows-this").string()}),
              1);
    EXPECT_EQ(run(server, {"record", "--camera", "1", "--frames", "3", "--codec", "no-such-codec",
                           "--out", (folder / "x.mkv").string()}),
              1);
    EXPECT_NE(err.str().find("--codec"), std::string::npos);
    EXPECT_TRUE(fs::is_empty(folder));
}

TEST_F(LiveRecord, SnapshotOfEveryCamera) {
    FakeLiveServerScript script = maskedCamera();
    script = FakeLiveServerScript::withCameras(51, 0b101);
    script.videoFrames = maskedCamera().videoFrames;
    script.repeatVideo = true;
    FakeLiveServer server(script);
    ASSERT_EQ(run(server, {"snapshot", "--all", "--out", folder.string()}), 0) << err.str();
    EXPECT_EQ(out.str(), (folder / "camera-01.jpg").string() + "\n" +
                             (folder / "camera-03.jpg").string() + "\n");
    EXPECT_GT(fs::file_size(folder / "camera-03.jpg"), 1000u);
}

}  // namespace
}  // namespace ambro::cli
