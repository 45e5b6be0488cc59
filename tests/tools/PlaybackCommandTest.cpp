#include <gtest/gtest.h>

#include <cstdlib>
#include <sstream>

#include "platform/Deadline.h"
#include "tests/support/FakePlaybackServer.h"
#include "tools/cli/PlaybackCommand.h"

namespace ambro::cli {
namespace {

using namespace std::chrono_literals;
using test::FakePlaybackScript;
using test::FakePlaybackServer;

class PlaybackCommand : public testing::Test {
protected:
    void SetUp() override { ::unsetenv("AMBRO_PASSWORD"); }
    void TearDown() override { platform::setReplyTimeout(platform::kDefaultReplyTimeout); }

    // The command with the connection options of `server` after its name.
    int run(const FakePlaybackServer& server, std::vector<std::string> words) {
        words.insert(words.begin() + 1, {"--host", "127.0.0.1", "--port", server.portText(),
                                         "--user", "admin", "--password", "pw"});
        return runRaw(words);
    }
    int runRaw(const std::vector<std::string>& words) {
        out.str("");
        err.str("");
        return runPlayback(words, out, err);
    }

    std::ostringstream out;
    std::ostringstream err;
};

TEST_F(PlaybackCommand, CamerasListsTheNamedCameras) {
    FakePlaybackScript script;
    script.cameraNames = {"Gate", "", "Yard \"B\"\x1b"};
    FakePlaybackServer server(script);
    ASSERT_EQ(run(server, {"cameras"}), 0) << err.str();
    EXPECT_EQ(out.str(), "camera 1: Gate\ncamera 3: Yard \"B\"?\n");
    ASSERT_EQ(run(server, {"cameras", "--json", "--db", "video-server"}), 0) << err.str();
    EXPECT_EQ(out.str(),
              "{\"cameras\":[{\"number\":1,\"name\":\"Gate\"},"
              "{\"number\":3,\"name\":\"Yard \\\"B\\\"\\u001b\"}]}\n");
    EXPECT_EQ(server.messagesOf(5, 17).back().bytes[66], 1) << "database type";
}

TEST_F(PlaybackCommand, DaysListsTheRecordingDaysUpToTheFirstZero) {
    FakePlaybackScript script;
    script.recordingDays = {20240101, 20240105, 0, 20240109};
    FakePlaybackServer server(script);
    ASSERT_EQ(run(server, {"days", "--camera", "3"}), 0) << err.str();
    EXPECT_EQ(out.str(), "20240101\n20240105\n");
    EXPECT_EQ(server.messagesOf(5, 17).back().bytes[64], 3);
    ASSERT_EQ(run(server, {"days", "--camera", "1", "--json"}), 0);
    EXPECT_EQ(out.str(), "{\"camera\":1,\"days\":[\"20240101\",\"20240105\"]}\n");
}

TEST_F(PlaybackCommand, FilesListsTheRowsOfTheDay) {
    FakePlaybackScript script;
    script.timeCodes = {105083000, 205123456, 0, 23000};
    FakePlaybackServer server(script);
    ASSERT_EQ(run(server, {"files", "--camera", "1", "--day", "20240105"}), 0) << err.str();
    EXPECT_EQ(out.str(),
              "08:30:00\n12:34:56DST\n00:00:00(Day Light Save)\n02:30:00(Day Light Save)\n");
    ASSERT_EQ(run(server, {"files", "--camera", "1", "--day", "20240105", "--json"}), 0);
    EXPECT_EQ(out.str(),
              "{\"camera\":1,\"day\":\"20240105\",\"files\":["
              "{\"text\":\"08:30:00\",\"daylight\":false},"
              "{\"text\":\"12:34:56DST\",\"daylight\":true},"
              "{\"text\":\"00:00:00(Day Light Save)\",\"daylight\":false},"
              "{\"text\":\"02:30:00(Day Light Save)\",\"daylight\":false}]}\n");
}

TEST_F(PlaybackCommand, ThePasswordMayComeFromTheEnvironment) {
    FakePlaybackServer server;
    ::setenv("AMBRO_PASSWORD", "pw", 1);
    EXPECT_EQ(runRaw({"cameras", "--host", "127.0.0.1", "--port", server.portText(), "--user", "a"}),
              0)
        << err.str();
}

TEST_F(PlaybackCommand, BadOptionsExitOneNamingTheOptionBeforeAnyConnection) {
    FakePlaybackServer server;
    const std::string port = server.portText();
    struct Case {
        std::vector<std::string> words;
        const char* named;
    };
    const std::vector<std::string> connection = {"--host", "127.0.0.1", "--port", port,
                                                 "--user", "u", "--password", "p"};
    const auto with = [&](std::vector<std::string> words) {
        words.insert(words.begin() + 1, connection.begin(), connection.end());
        return words;
    };
    const Case cases[] = {
        {{}, "a command is required"},
        {{"recordings"}, "unknown command 'recordings'"},
        {{"cameras", "--port", port, "--user", "u", "--password", "p"}, "--host"},
        {{"cameras", "--host", "127.0.0.1", "--port", "0", "--user", "u", "--password", "p"},
         "--port"},
        {{"cameras", "--host", "127.0.0.1", "--port", port, "--password", "p"}, "--user"},
        {{"cameras", "--host", "127.0.0.1", "--port", port, "--user", "u"}, "--password"},
        {with({"cameras", "--db", "nvr"}), "--db"},
        {with({"cameras", "--camera", "1"}), "unknown option --camera"},
        {with({"days"}), "--camera"},
        {with({"days", "--camera", "33"}), "--camera"},
        {with({"days", "--camera", "x"}), "--camera"},
        {with({"files", "--camera", "1"}), "--day"},
        {with({"files", "--camera", "1", "--day", "2024015"}), "--day"},
        {with({"files", "--camera", "1", "--day", "20241301"}), "--day"},
        {with({"files", "--camera", "1", "--day", "2024-1-5"}), "--day"},
        {with({"cameras", "extra"}), "unexpected argument 'extra'"},
        {with({"cameras", "--json", "--host"}), "--host needs a value"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(runRaw(c.words), 1) << c.named;
        EXPECT_NE(err.str().find(c.named), std::string::npos) << err.str();
    }
    EXPECT_TRUE(server.messages().empty());
}

TEST_F(PlaybackCommand, OpeningFailuresExitTwoAndAFailedDatabaseThree) {
    platform::setReplyTimeout(300ms);
    std::uint16_t closedPort = 0;
    {
        FakePlaybackServer probe;
        closedPort = probe.port();
    }
    EXPECT_EQ(runRaw({"cameras", "--host", "127.0.0.1", "--port", std::to_string(closedPort),
                      "--user", "u", "--password", "p"}),
              2);
    EXPECT_EQ(err.str(), "Connect Failed: cannot connect to 127.0.0.1:" +
                             std::to_string(closedPort) + "\n");

    struct Case {
        std::function<void(FakePlaybackScript&)> change;
        int status;
        std::string message;
    };
    const Case cases[] = {
        {[](auto& s) { s.loginAccepted = false; }, 2,
         "Login Failed: the server refused the user name or password\n"},
        {[](auto& s) { s.version = 4; }, 2,
         "Server Version Error: the server's protocol version is older than 5\n"},
        {[](auto& s) { s.unanswered = {{5, 17}}; }, 3,
         "Open DB Failed: the server did not answer the camera requests (timed out after 300 "
         "ms)\n"},
        {[](auto& s) { s.cameraNames = {"Gate"}; }, 3, "camera 2 is not in the camera list\n"},
        {[](auto& s) { s.unanswered = {{5, 2}}; }, 3, ""},
    };
    for (const auto& c : cases) {
        FakePlaybackScript script;
        c.change(script);
        FakePlaybackServer server(script);
        const bool files = script.unanswered == std::vector<FakePlaybackScript::Key>{{5, 2}};
        const int status = files ? run(server, {"files", "--camera", "1", "--day", "20240105"})
                                  : run(server, {"days", "--camera", "2"});
        EXPECT_EQ(status, c.status) << err.str();
        if (!c.message.empty()) {
            EXPECT_EQ(err.str(), c.message);
        }
    }
    EXPECT_NE(err.str().find("Disconnected"), std::string::npos) << err.str();
}

}  // namespace
}  // namespace ambro::cli
