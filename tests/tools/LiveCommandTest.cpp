#include <gtest/gtest.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <sstream>

#include "platform/ByteOrder.h"
#include "platform/Deadline.h"
#include "tests/support/FakeLiveServer.h"
#include "tests/support/FakeOlderServer.h"
#include "tests/support/Mpeg4Fixtures.h"
#include "tests/support/PayloadBuilder.h"
#include "tests/support/TurboJpeg.h"
#include "tools/cli/LiveCommand.h"

namespace ambro::cli {
namespace {

namespace fs = std::filesystem;
using test::Bytes;
using test::FakeLiveServer;
using test::FakeLiveServerScript;

FakeLiveServerScript namedServer() {
    FakeLiveServerScript script = FakeLiveServerScript::withCameras(51, 0b101);
    platform::storeLe32(script.information.data() + 4, 1);
    platform::storeLe32(script.information.data() + 8, 1);
    platform::storeLe16(script.description.data() + 14, 1);
    std::memcpy(script.description.data() + 1900, "Siren \"A\"", 9);
    return script;
}

class LiveCommand : public testing::Test {
protected:
    int run(const FakeLiveServer& server, std::vector<std::string> words) {
        words.insert(words.begin() + 1, {"--host", "127.0.0.1", "--port",
                                         std::to_string(server.port()), "--user", "admin",
                                         "--password", "pw"});
        out.str("");
        err.str("");
        return runLive(words, AMBRO_PTZ_SETUP_DIR, out, err);
    }
    std::vector<test::RecordedRequest> requestsOf(const FakeLiveServer& server,
                                                  std::uint32_t command) {
        std::vector<test::RecordedRequest> found;
        for (const auto& request : server.requests()) {
            if (request.connection == 0 && request.head.command == command) found.push_back(request);
        }
        return found;
    }

    std::ostringstream out;
    std::ostringstream err;
};

TEST_F(LiveCommand, InfoListsCamerasAndIoNames) {
    FakeLiveServer server(namedServer());
    ASSERT_EQ(run(server, {"info"}), 0) << err.str();
    EXPECT_EQ(out.str(),
              "generation: current\nserver kind: 51\n"
              "camera 1: Cam 1 (status record received)\ncamera 3: Cam 3\n"
              "input: \noutput: Siren \"A\"\n");
    ASSERT_EQ(run(server, {"info", "--json"}), 0);
    EXPECT_EQ(out.str(),
              "{\"generation\":\"current\",\"server_kind\":51,\"cameras\":[{\"number\":1,"
              "\"name\":\"Cam 1\"},{\"number\":3,\"name\":\"Cam 3\"}],\"io_inputs\":[\"\"],"
              "\"io_outputs\":[\"Siren \\\"A\\\"\"]}\n");
}

TEST_F(LiveCommand, ConnectionFailuresUseTheClientsMessages) {
    FakeLiveServerScript refused = namedServer();
    refused.loginStatus = 0xF0000002;
    FakeLiveServer refusing(refused);
    EXPECT_EQ(run(refusing, {"info"}), 2);
    EXPECT_EQ(err.str(), "Connected Failed: the server refused the user name or password\n");

    FakeLiveServerScript busy;
    busy.greeting = {net::kRefusingGreeting, 0, 0, 0};
    FakeLiveServer full(busy);
    EXPECT_EQ(run(full, {"output", "--output", "1"}), 2);
    EXPECT_EQ(err.str(), "Too Many Users\n");

    // An older-generation greeting whose control ports nobody answers on.
    FakeLiveServerScript older;
    older.greeting = {net::kOlderGenerationGreeting, 0, 1, 1};
    FakeLiveServer old(older);
    EXPECT_EQ(run(old, {"info"}), 2);
    EXPECT_EQ(err.str(),
              "Connected Failed: the server's control connection did not accept the log-in\n");
}

TEST_F(LiveCommand, SnapshotWritesTheFirstPictureOfTheCamera) {
    FakeLiveServerScript script = namedServer();
    std::uint32_t sequence = 1;
    for (const auto& picture : test::splitIntoPictures(
             test::readFile(test::fixturePath("mpeg4/mpeg4_352x240_bf0.m4v")))) {
        script.videoFrames.push_back(
            {sequence++, 23, static_cast<std::uint8_t>(sequence == 2 ? 0 : 1),
             test::PayloadBuilder(test::PayloadMarker::ChecksumF, picture.bytes).build(), 0,
             false});
    }
    script.repeatVideo = true;
    FakeLiveServer server(script);
    const fs::path file = fs::temp_directory_path() / ("ambro-snapshot-" + std::to_string(::getpid()) + ".jpg");
    ASSERT_EQ(run(server, {"snapshot", "--camera", "3", "--out", file.string()}), 0) << err.str();
    int width = 0;
    int height = 0;
    EXPECT_TRUE(test::turboDecodeBgr(test::readFile(file.string()), width, height).has_value());
    EXPECT_EQ(width, 352);
    EXPECT_EQ(height, 240);
    fs::remove(file);
    // Camera 3 is asked for by its own bit, mask 4.
    const auto channels = requestsOf(server, 32);
    ASSERT_EQ(channels.size(), 2u);
    EXPECT_EQ(platform::loadLe32(channels[1].bytes.data() + 16), 4u);
    EXPECT_EQ(run(server, {"snapshot", "--camera", "3", "--out", "/nonexistent/x.jpg"}), 4);
}

TEST_F(LiveCommand, SnapshotWithoutPicturesTimesOut) {
    FakeLiveServer server(namedServer());
    EXPECT_EQ(run(server, {"snapshot", "--camera", "1", "--out", "/tmp/never.jpg", "--timeout", "1"}),
              3);
    EXPECT_EQ(run(server, {"snapshot", "--camera", "5", "--out", "/tmp/never.jpg"}), 3);
}

TEST_F(LiveCommand, PtzClickAndMissingDome) {
    FakeLiveServerScript script = namedServer();
    script.ptzRecord = FakeLiveServerScript::ptzRecordFor(true, 3, 0, 3, "Pelco-D");
    FakeLiveServer server(script);
    ASSERT_EQ(run(server, {"ptz", "--camera", "1", "zoom-in"}), 0) << err.str();
    const auto passThrough = requestsOf(server, 50);
    ASSERT_EQ(passThrough.size(), 2u);
    EXPECT_EQ(Bytes(passThrough[0].bytes.begin() + 20, passThrough[0].bytes.end()),
              (Bytes{0xFF, 0x01, 0x00, 0x20, 0x00, 0x00, 0x21}));
    EXPECT_EQ(run(server, {"ptz", "--camera", "1", "home"}), 3);  // Pelco-D has no home
    EXPECT_EQ(run(server, {"ptz", "--camera", "1", "spin"}), 1);

    FakeLiveServer plain(namedServer());
    EXPECT_EQ(run(plain, {"ptz", "--camera", "1", "left"}), 3);
    EXPECT_EQ(err.str(), "camera 1 has no dome\n");
}

TEST_F(LiveCommand, ASilentServerEndsInTimeWithASayingMessage) {
    platform::setReplyTimeout(std::chrono::milliseconds(200));
    FakeLiveServerScript script = namedServer();
    script.silence = FakeLiveServerScript::Silence::AfterAccept;
    FakeLiveServer silent(script);
    EXPECT_EQ(run(silent, {"info"}), 2);
    EXPECT_NE(err.str().find("timed out"), std::string::npos) << err.str();
    platform::setReplyTimeout(platform::kDefaultReplyTimeout);
}

// Every option is checked before a connection is made: a bad one is named
// and the silent server below is never even contacted.
TEST_F(LiveCommand, BadOptionsAreRefusedBeforeConnecting) {
    FakeLiveServerScript script = namedServer();
    script.silence = FakeLiveServerScript::Silence::AfterAccept;
    FakeLiveServer silent(script);
    const std::string port = std::to_string(silent.port());
    struct Case {
        std::vector<std::string> words;
        int status;
        const char* named;
    };
    const Case cases[] = {
        {{"info", "--host", "127.0.0.1", "--port", "0"}, 1, "--port"},
        {{"info", "--host", "127.0.0.1", "--port", "70000"}, 1, "--port"},
        {{"info", "--host", "127.0.0.1", "--port", "abc"}, 1, "--port"},
        {{"info", "--host", "127.0.0.1", "--port", "-1"}, 1, "--port"},
        {{"info", "--host", "127.0.0.1", "--port", "12abc"}, 1, "--port"},
        {{"info", "--host", "127.0.0.1"}, 1, "--port"},
        {{"info", "--port", port}, 1, "--host"},
        {{"snapshot", "--host", "127.0.0.1", "--port", port, "--camera", "0", "--out", "x.jpg"}, 1, "--camera"},
        {{"snapshot", "--host", "127.0.0.1", "--port", port, "--camera", "1"}, 1, "--out"},
        {{"snapshot", "--host", "127.0.0.1", "--port", port, "--camera", "1", "--out",
          "/nonexistent/x.jpg"}, 4, "/nonexistent/x.jpg"},
        {{"output", "--host", "127.0.0.1", "--port", port}, 1, "--output"},
        {{"output", "--host", "127.0.0.1", "--port", port, "--output", "33"}, 1, "--output"},
        {{"ptz", "--host", "127.0.0.1", "--port", port, "--camera", "1", "left", "--preset", "0"}, 1, "--preset"},
        {{"ptz", "--host", "127.0.0.1", "--port", port, "--camera", "1", "spin"}, 1, "spin"},
        {{"info", "--host", "127.0.0.1", "--port", port, "--camera", "1"}, 1, "--camera"},
        {{"dance", "--host", "127.0.0.1", "--port", port}, 1, "dance"},
    };
    for (const Case& c : cases) {
        err.str("");
        EXPECT_EQ(runLive(c.words, AMBRO_PTZ_SETUP_DIR, out, err), c.status) << c.words[0];
        EXPECT_NE(err.str().find(c.named), std::string::npos) << err.str();
    }
    EXPECT_EQ(silent.acceptedCount(), 0);
}

TEST_F(LiveCommand, ServerTextsCannotControlTheTerminal) {
    FakeLiveServerScript script = FakeLiveServerScript::withCameras(51, 0b1);
    std::memcpy(script.description.data() + 28 + 12, "\x1b]0;owned\x07\x9b" "31m\xe9", 16);
    FakeLiveServer server(script);
    ASSERT_EQ(run(server, {"info"}), 0) << err.str();
    EXPECT_NE(out.str().find("camera 1: ?]0;owned??31m\xc3\xa9 "), std::string::npos) << out.str();
}

TEST_F(LiveCommand, SnapshotEndsAtOnceWhenVideoStops) {
    FakeLiveServerScript script = namedServer();
    script.videoFrames.push_back({1, 21, 0, {}, 716801, false});  // longer than any frame
    FakeLiveServer server(script);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(run(server, {"snapshot", "--camera", "1", "--out", "/tmp/never.jpg"}), 3);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
    EXPECT_NE(err.str().find("no picture:"), std::string::npos) << err.str();
}

TEST_F(LiveCommand, AFailedRequestIsNotAMissingCamera) {
    FakeLiveServerScript script = namedServer();
    script.closeOn.push_back(56);  // the command connection dies on the dome request
    FakeLiveServer server(script);
    EXPECT_EQ(run(server, {"ptz", "--camera", "1", "left"}), 3);
    EXPECT_EQ(err.str().find("not in the camera list"), std::string::npos) << err.str();
}

class OlderLiveCommand : public testing::Test {
protected:
    int run(const test::FakeOlderServer& server, std::vector<std::string> words) {
        words.insert(words.begin() + 1, {"--host", "127.0.0.1", "--port", server.endpoint().port,
                                         "--user", "admin", "--password", "pw"});
        out.str("");
        err.str("");
        return runLive(words, AMBRO_PTZ_SETUP_DIR, out, err);
    }
    static test::FakeOlderServerScript installation() {
        test::FakeOlderServerScript script;
        script.viewWord = 0b0101;
        script.modules = {{4, 2, {"Door\x1b[2J"}, {"Siren", "Lamp"}}};
        std::int64_t at = 0;
        for (const auto& picture : test::splitIntoPictures(
                 test::readFile(test::fixturePath("mpeg4/mpeg4_176x144_bf0.m4v")))) {
            script.frames.push_back(
                {test::PayloadBuilder(test::PayloadMarker::NoChecksum, picture.bytes).build(),
                 test::fakeFrameTime(at += 40)});
        }
        return script;
    }

    std::ostringstream out;
    std::ostringstream err;
};

TEST_F(OlderLiveCommand, InfoSnapshotPtzAndOutput) {
    test::FakeOlderServer server(installation());
    ASSERT_EQ(run(server, {"info"}), 0) << err.str();
    std::string expected =
        "generation: older\nserver version: 8300\nview: 4 Channel\nview: 1~16 Channel\n"
        "camera 1: Gate\ncamera 3: Yard\nmodule 1 input: Door?[2J\n";
    for (int i = 1; i < 16; ++i) expected += "module 1 input: \n";
    expected += "module 1 output: Siren\nmodule 1 output: Lamp\n";
    EXPECT_EQ(out.str(), expected);
    ASSERT_EQ(run(server, {"info", "--json"}), 0) << err.str();
    EXPECT_NE(out.str().find("\"cameras\":[{\"number\":1,\"name\":\"Gate\"},{\"number\":3,"
                             "\"name\":\"Yard\"}]"),
              std::string::npos)
        << out.str();

    const fs::path file =
        fs::temp_directory_path() / ("ambro-older-" + std::to_string(::getpid()) + ".jpg");
    ASSERT_EQ(run(server, {"snapshot", "--camera", "3", "--out", file.string()}), 0) << err.str();
    int width = 0;
    int height = 0;
    EXPECT_TRUE(test::turboDecodeBgr(test::readFile(file.string()), width, height).has_value());
    EXPECT_EQ(width, 176);
    EXPECT_EQ(height, 144);
    fs::remove(file);
    EXPECT_EQ(run(server, {"snapshot", "--camera", "2", "--out", file.string()}), 3);
    EXPECT_EQ(err.str(), "camera 2 is not in the camera list\n");

    ASSERT_EQ(run(server, {"ptz", "--camera", "1", "up", "--speed", "2"}), 0) << err.str();
    ASSERT_EQ(run(server, {"output", "--module", "1", "--output", "2"}), 0) << err.str();
    const auto control = server.control().recorded();
    EXPECT_NE(std::find(control.begin(), control.end(), Bytes{54, 3, 0, 0, 2}), control.end());
    EXPECT_NE(std::find(control.begin(), control.end(), Bytes{100, 0, 32}), control.end());
}

TEST_F(LiveCommand, OutputPulseAndUsage) {
    FakeLiveServer server(namedServer());
    ASSERT_EQ(run(server, {"output", "--output", "4"}), 0);
    EXPECT_EQ(requestsOf(server, 68).size(), 2u);
    EXPECT_EQ(run(server, {"output", "--output", "33"}), 1);
    EXPECT_EQ(runLive({"info"}, AMBRO_PTZ_SETUP_DIR, out, err), 1);
    EXPECT_EQ(runLive({"dance", "--host", "h", "--port", "1"}, AMBRO_PTZ_SETUP_DIR, out, err), 1);
}

}  // namespace
}  // namespace ambro::cli
