#include <functional>
#include <string>

#include "platform/ByteOrder.h"
#include "tests/support/FakePlaybackServer.h"
#include "tests/tools/HostilePeer.h"
#include "tools/cli/PlaybackCommand.h"

namespace ambro::cli::hostile {
namespace {

using test::Bytes;
using test::FakePlaybackScript;
using test::FakePlaybackServer;
using Key = FakePlaybackScript::Key;

// One way of answering a request badly.
struct Fault {
    std::string name;
    std::function<void(FakePlaybackScript&, Key)> apply;
};

// A transport prefix announcing `length` bytes, and a message header.
Bytes prefixAnnouncing(std::uint8_t first, std::uint32_t length) {
    Bytes bytes(5 + 64, 0);
    bytes[0] = first;
    platform::storeLe32(bytes.data() + 1, length);
    return bytes;
}

std::vector<Fault> faults() {
    std::vector<Fault> all = {
        {"no reply", [](auto& s, Key key) { s.unanswered.push_back(key); }},
        {"a close instead of the reply", [](auto& s, Key key) { s.closeOn.push_back(key); }},
        {"half a reply, then a close", [](auto& s, Key key) { s.truncateOn.push_back(key); }},
        {"a prefix whose first byte is 1",
         [](auto& s, Key key) { s.rawReplies[key] = prefixAnnouncing(1, 64); }},
        {"a message shorter than its header",
         [](auto& s, Key key) { s.rawReplies[key] = prefixAnnouncing(0, 10); }},
        {"a reply shorter than its fixed part",
         [](auto& s, Key key) {
             Bytes message = test::playbackMessage(key.first, key.second, 64);
             s.rawReplies[key] = test::framed(message);
         }},
        {"garbage", [](auto& s, Key key) {
             Bytes garbage(80);
             for (std::size_t i = 0; i < garbage.size(); ++i) garbage[i] = static_cast<std::uint8_t>(7 + 29 * i);
             s.rawReplies[key] = garbage;
         }},
    };
    for (const std::uint32_t length : {0u, 262137u, 0x80000000u, 0xFFFFFFFFu}) {
        all.push_back({"a message length of " + std::to_string(length),
                       [length](auto& s, Key key) { s.rawReplies[key] = prefixAnnouncing(0, length); }});
    }
    return all;
}

// A request of the opening or of a command, which message of the exchange
// it is, the command that reaches it and what that command must end with.
struct Step {
    std::string name;
    Key key;
    std::size_t index;  // among the messages the server receives
    std::vector<std::string> command;
    int status;
    std::string err;
    // Whether the message says the session ended: not for a reply that came
    // but could not be read.
    bool endsSession;
};

std::vector<Step> steps() {
    const std::string db = "Open DB Failed: the server did not answer the camera requests (" +
                           timedOut() + ")\n";
    return {
        {"work path", {4, 0}, 0, {"cameras"}, 2,
         "Send WorkPath Error: 127.0.0.1:{port} did not answer the work-path request in time (" +
             timedOut() + ") or answered something else\n",
         false},
        {"login", {4, 4}, 1, {"cameras"}, 2,
         "Login Failed: the server refused the user name or password\n", false},
        {"first camera", {5, 17}, 2, {"cameras"}, 3, db, false},
        {"last camera of the opening", {5, 17}, 34, {"cameras"}, 3, db, false},
        {"camera of the days", {5, 17}, 35, {"days", "--camera", "1"}, 3,
         "the recording days of camera 1 could not be read from 127.0.0.1:{port}", true},
        {"day", {5, 2}, 36, {"files", "--camera", "1", "--day", "20240105"}, 3,
         "the recordings of 20240105 could not be read from 127.0.0.1:{port}", true},
    };
}

class HostilePlaybackServer : public HostilePeerTest {
protected:
    Outcome run(const FakePlaybackServer& server, std::vector<std::string> words) {
        words.insert(words.end(), {"--host", "127.0.0.1", "--port", server.portText(), "--user",
                                   "admin", "--password", "pw"});
        return runCommand([&](std::ostream& out, std::ostream& err) { return runPlayback(words, out, err); });
    }

    static std::string withPort(std::string text, const FakePlaybackServer& server) {
        const auto at = text.find("{port}");
        if (at != std::string::npos) text.replace(at, 6, server.portText());
        return text;
    }

    // The message of a command after the opening: ": Disconnected" when the
    // connection is gone, nothing more when the reply only could not be read.
    static std::string expected(const Step& step, const Fault& fault, const FakePlaybackServer& server) {
        std::string text = withPort(step.err, server);
        if (!step.endsSession) return text;
        const bool stillOpen = fault.name == "a reply shorter than its fixed part";
        return text + (stillOpen ? "" : ": Disconnected") + "\n";
    }
};

TEST_F(HostilePlaybackServer, AWorkingServerListsItsCameras) {
    FakePlaybackServer server;
    const Outcome outcome = run(server, {"cameras"});
    expectOutcome(outcome, 0, "");
    EXPECT_EQ(outcome.out, "camera 1: Gate\ncamera 3: Yard\n");
}

TEST_F(HostilePlaybackServer, EveryFaultAtEveryStep) {
    for (const Step& step : steps()) {
        for (const Fault& fault : faults()) {
            SCOPED_TRACE(fault.name + " at the " + step.name + " request");
            FakePlaybackScript script;
            script.faultsFrom = step.index;
            fault.apply(script, step.key);
            FakePlaybackServer server(script);
            const Outcome outcome = run(server, step.command);
            expectOutcome(outcome, step.status, expected(step, fault, server));
        }
    }
}

TEST_F(HostilePlaybackServer, ATrickleOfOneByteAtATime) {
    platform::setReplyTimeout(5s);
    FakePlaybackScript slow;
    slow.trickle = 1ms;
    slow.faultsFrom = 32;  // the last replies of the opening and the days
    FakePlaybackServer server(slow);
    const Outcome outcome = run(server, {"days", "--camera", "1"});
    EXPECT_EQ(outcome.status, 0) << outcome.err;
    EXPECT_EQ(outcome.out, "20240101\n20240105\n");
    EXPECT_LT(outcome.elapsed, 20s);
}

}  // namespace
}  // namespace ambro::cli::hostile
