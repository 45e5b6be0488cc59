#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "platform/ByteOrder.h"
#include "tests/support/Mpeg4Fixtures.h"
#include "tests/support/PayloadBuilder.h"
#include "tests/support/TurboJpeg.h"
#include "tools/cli/DecodeCommand.h"

namespace ambro::cli {
namespace {

using test::Bytes;
namespace fs = std::filesystem;

class DecodeCommand : public testing::Test {
protected:
    void SetUp() override {
        folder = fs::temp_directory_path() /
                 ("ambro-decode-" + std::to_string(::getpid()) + "-" +
                  testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(folder);
        fs::create_directories(folder);
    }
    void TearDown() override { fs::remove_all(folder); }

    std::string write(const std::string& name, const Bytes& bytes) {
        const fs::path path = folder / name;
        std::ofstream(path, std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
        return path.string();
    }
    int run(std::vector<std::string> words) {
        out.str("");
        err.str("");
        return runDecode(words, out, err);
    }
    std::vector<Bytes> payloads() {
        std::vector<Bytes> result;
        for (const auto& picture : test::splitIntoPictures(
                 test::readFile(test::fixturePath("mpeg4/mpeg4_176x144_bf0.m4v")))) {
            result.push_back(
                test::PayloadBuilder(test::PayloadMarker::ChecksumF, picture.bytes).build());
        }
        return result;
    }

    fs::path folder;
    std::ostringstream out;
    std::ostringstream err;
};

TEST_F(DecodeCommand, WritesEveryPictureOfAStream) {
    Bytes stream;
    for (const Bytes& payload : payloads()) {
        std::uint8_t length[4];
        platform::storeLe32(length, static_cast<std::uint32_t>(payload.size()));
        stream.insert(stream.end(), length, length + 4);
        stream.insert(stream.end(), payload.begin(), payload.end());
    }
    const std::string input = write("stream.bin", stream);
    const std::string pictures = (folder / "pictures").string();
    ASSERT_EQ(run({"--width", "176", "--height", "144", "--out", pictures, "--stream", input}), 0)
        << err.str();
    EXPECT_EQ(out.str().substr(0, 34), "000000 0 picture\n000001 0 picture\n");
    EXPECT_EQ(fs::file_size(fs::path(pictures) / "000005.bgr"), 176u * 144 * 3);
}

TEST_F(DecodeCommand, OneFileAPayloadAndRejectedPayloadsAreListed) {
    const auto all = payloads();
    Bytes broken = all[1];
    broken.back() ^= 1;
    const std::string pictures = (folder / "pictures").string();
    ASSERT_EQ(run({"--width", "176", "--height", "144", "--out", pictures, write("a", all[0]),
                   write("b", broken)}),
              0);
    EXPECT_EQ(out.str(), "000000 0 picture\n000001 -1 none\n");
    EXPECT_FALSE(fs::exists(fs::path(pictures) / "000001.bgr"));
}

TEST_F(DecodeCommand, JpegIsTheSnapshotOfTheWrittenPicture) {
    const std::string pictures = (folder / "pictures").string();
    ASSERT_EQ(run({"--width", "176", "--height", "144", "--out", pictures, "--jpeg",
                   write("a", payloads()[0])}),
              0);
    const Bytes picture = test::readFile((fs::path(pictures) / "000000.bgr").string());
    int width = 0;
    int height = 0;
    const auto decoded =
        test::turboDecodeBgr(test::readFile((fs::path(pictures) / "000000.jpg").string()), width, height);
    ASSERT_TRUE(decoded.has_value());
    ASSERT_EQ(width, 176);
    ASSERT_EQ(height, 144);
    // The snapshot reads the picture bottom-up, so its top row is the last one.
    EXPECT_GT(test::psnr(*decoded, test::topDownUnpadded(picture, 176, 144)), 25.0);
}

TEST_F(DecodeCommand, UsageAndInputErrors) {
    const std::string input = write("p", payloads()[0]);
    const std::string pictures = (folder / "pictures").string();
    EXPECT_EQ(run({"--width", "176", "--out", pictures, input}), 1);
    EXPECT_EQ(run({"--width", "0", "--height", "144", "--out", pictures, input}), 1);
    EXPECT_EQ(run({"--width", "176", "--height", "144x", "--out", pictures, input}), 1);
    EXPECT_EQ(run({"--width", "176", "--height", "144", "--out", pictures}), 1);
    EXPECT_EQ(run({"--width", "176", "--height", "144", "--out"}), 1);
    for (const std::string& unreadable : {(folder / "missing").string(), folder.string()}) {
        EXPECT_EQ(run({"--width", "176", "--height", "144", "--out", pictures, unreadable}), 2);
        EXPECT_EQ(err.str(), "cannot read " + unreadable + "\n");
    }
    // A length prefix that runs past the file.
    const std::string truncated = write("t", {0xFF, 0x00, 0x00, 0x00, 1, 2, 3});
    EXPECT_EQ(run({"--width", "176", "--height", "144", "--out", pictures, "--stream", truncated}), 2);
    EXPECT_NE(err.str().find("malformed"), std::string::npos);
}

}  // namespace
}  // namespace ambro::cli
