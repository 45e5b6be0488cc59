#include <gtest/gtest.h>

#include <QString>
#include <chrono>
#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <unistd.h>

#include "platform/Deadline.h"
#include "tests/live/view/WindowHarness.h"

// The live window against servers that lie, break off, fall silent and send
// garbage: each ends with the session's message, and the window is gone
// within a second of it.
namespace ambro::live {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

constexpr auto kReplyTimeout = 1s;
// From the window's opening to its message: the reply time-out, the
// session's way to its end, an event loop slowed down by other tests.
constexpr auto kMessageBound = 8s;
constexpr auto kCloseBound = 1s;

const std::string kConnectedFailed = "Connected Failed";
const std::string kDisconnected = "Disconnect\nDisconnected";

struct CurrentCase {
    std::string name;
    std::function<void(test::FakeLiveServerScript&)> fault;
    std::string message;
};

struct OlderCase {
    std::string name;
    std::function<void(test::FakeOlderServerScript&)> fault;
    std::string message;
};

class HostileWindow : public testing::Test {
protected:
    void SetUp() override { platform::setReplyTimeout(kReplyTimeout); }
    void TearDown() override {
        dialog.reset();
        platform::setReplyTimeout(savedTimeout);
        std::filesystem::remove_all(snapshots);
    }

    // Opens the window on the server and waits for its one message and its
    // close; false when either did not come in time.
    void expectMessageAndPromptClose(const net::SessionEndpoint& endpoint,
                                     const std::string& expected) {
        std::vector<std::string> messages;
        std::optional<Clock::time_point> messageAt;
        const auto opened = Clock::now();
        dialog = std::make_unique<LiveViewDialog>(
            test::windowSettings(endpoint, snapshots), [&](QWidget*, const QString& text) {
                messages.push_back(text.toStdString());
                messageAt = Clock::now();
            });
        dialog->show();
        ASSERT_TRUE(test::processUntil([&] { return messageAt.has_value(); }, kMessageBound))
            << "no message within " << kMessageBound.count() << " s";
        EXPECT_LT(*messageAt - opened, kMessageBound);
        ASSERT_TRUE(test::processUntil([&] { return !dialog->isVisible(); }, kCloseBound));
        EXPECT_LT(Clock::now() - *messageAt, kCloseBound);
        // The window outlives its session: destroying it joins every thread.
        const auto destroying = Clock::now();
        dialog.reset();
        EXPECT_LT(Clock::now() - destroying, kCloseBound);
        EXPECT_EQ(messages, std::vector<std::string>{expected});
    }

    const std::chrono::milliseconds savedTimeout = platform::replyTimeout();
    const std::filesystem::path snapshots =
        std::filesystem::temp_directory_path() /
        ("ambro-hostile-window-" + std::to_string(::getpid()));
    std::unique_ptr<LiveViewDialog> dialog;
};

test::FakeLiveServerScript currentServer() {
    auto script = test::FakeLiveServerScript::withCameras(1, 0b1);
    script.videoFrames = test::currentFixtureFrames();
    script.repeatVideo = true;
    return script;
}

test::FakeOlderServerScript olderServer() {
    test::FakeOlderServerScript script;
    script.viewWord = 0b0001;  // "4 Channel", selected at start: the view streams
    script.frames = test::olderFixtureFrames();
    return script;
}

TEST_F(HostileWindow, CurrentGenerationServer) {
    using Script = test::FakeLiveServerScript;
    const std::vector<CurrentCase> cases = {
        {"bad magic in the greeting", [](Script& s) { s.greeting[0] = 0x12345678; },
         kConnectedFailed},
        {"a close in the middle of the greeting", [](Script& s) { s.greetingCut = 7; },
         kConnectedFailed},
        {"silence after the accept", [](Script& s) { s.silence = Script::Silence::AfterAccept; },
         kConnectedFailed},
        {"silence after the greeting",
         [](Script& s) { s.silence = Script::Silence::AfterGreeting; }, kConnectedFailed},
        {"half a reply, then a close", [](Script& s) { s.truncateOn = {1}; }, kConnectedFailed},
        {"half a reply, then silence", [](Script& s) { s.stallOn = {7}; }, kConnectedFailed},
        {"garbage instead of a reply",
         [](Script& s) { s.replyOverrides[8] = test::Bytes(24, 0xA5); }, kConnectedFailed},
        {"a close half-way through a picture",
         [](Script& s) {
             s.repeatVideo = false;
             s.videoFrames.back().breakHalfway = true;
         },
         "Disconnect"},
    };
    for (const CurrentCase& c : cases) {
        SCOPED_TRACE(c.name);
        test::FakeLiveServerScript script = currentServer();
        c.fault(script);
        test::FakeLiveServer server(script);
        expectMessageAndPromptClose(server.endpoint(), c.message);
    }
}

// A video head that cannot be followed ends the video reader and nothing
// else: the window stays, says nothing, and still closes at once.
TEST_F(HostileWindow, CurrentGenerationVideoThatCannotBeFollowed) {
    using Script = test::FakeLiveServerScript;
    const std::vector<std::pair<std::string, std::function<void(Script&)>>> cases = {
        {"another magic", [](Script& s) { s.videoMagic = 0x52536F66; }},
        {"a length of 4 GB",
         [](Script& s) { s.videoFrames.front().announcedLength = 0xFFFFFFF0u; }},
        {"a length shorter than the head",
         [](Script& s) { s.videoFrames.front().announcedLength = 35; }},
    };
    for (const auto& [name, fault] : cases) {
        SCOPED_TRACE(name);
        test::FakeLiveServerScript script = currentServer();
        fault(script);
        test::FakeLiveServer server(script);
        std::vector<std::string> messages;
        dialog = std::make_unique<LiveViewDialog>(
            test::windowSettings(server.endpoint(), snapshots),
            [&](QWidget*, const QString& text) { messages.push_back(text.toStdString()); });
        dialog->show();
        // Long enough for the session to be up and the bad head to arrive.
        EXPECT_FALSE(test::processUntil([&] { return !messages.empty(); }, 2s));
        EXPECT_TRUE(dialog->isVisible());
        const auto closing = Clock::now();
        dialog->reject();
        dialog.reset();
        EXPECT_LT(Clock::now() - closing, kCloseBound);
        EXPECT_TRUE(messages.empty());
    }
}

TEST_F(HostileWindow, OlderGenerationServer) {
    using Script = test::FakeOlderServerScript;
    const test::Bytes garbage(24, 0xA5);
    const std::vector<OlderCase> cases = {
        {"a close instead of the greeting", [](Script& s) { s.closeOn = {0}; },
         kConnectedFailed},
        {"silence instead of the key", [](Script& s) { s.silentOn = {13}; }, kConnectedFailed},
        {"half the key, then a close", [](Script& s) { s.truncateOn = {13}; },
         kConnectedFailed},
        {"garbage instead of the key", [&](Script& s) { s.rawReplies[13] = garbage; },
         kConnectedFailed},
        {"a negative reply length",
         [](Script& s) {
             s.tamper = [](std::int32_t code, std::int32_t&, std::int32_t& length) {
                 if (code != 15) return false;
                 length = -8;
                 return true;
             };
         },
         kConnectedFailed},
        {"the password refused", [](Script& s) { s.passwordStatus = 0; },
         "Disconnect\nName Or Password Error, Re-Connect Again"},
        {"this client refused", [](Script& s) { s.clientCheckStatus = 0; },
         "Server Reject Ambro Client"},
        // The camera list is the first command of a running session.
        {"silence instead of the camera list", [](Script& s) { s.silentOn = {5}; },
         kDisconnected},
        {"a close in the middle of the stream", [](Script& s) { s.streamCut = 40; },
         kDisconnected},
    };
    for (const OlderCase& c : cases) {
        SCOPED_TRACE(c.name);
        test::FakeOlderServerScript script = olderServer();
        c.fault(script);
        test::FakeOlderServer server(script);
        expectMessageAndPromptClose(server.endpoint(), c.message);
    }
}

}  // namespace
}  // namespace ambro::live
