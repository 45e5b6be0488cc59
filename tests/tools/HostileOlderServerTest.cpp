#include <unistd.h>

#include <filesystem>
#include <functional>
#include <string>

#include "tests/support/FakeOlderServer.h"
#include "tests/support/Mpeg4Fixtures.h"
#include "tests/support/PayloadBuilder.h"
#include "tests/tools/HostilePeer.h"
#include "tools/cli/LiveCommand.h"

namespace ambro::cli::hostile {
namespace {

namespace fs = std::filesystem;
using test::FakeOlderServer;
using test::FakeOlderServerScript;

// An older-generation server misbehaving in one way, and what ambro-cli
// must end with.
struct OlderCase {
    std::string name;
    std::function<void(FakeOlderServerScript&)> fault;
    int status;
    std::string err;
};

// Every request of the log-in and the first mailbox command, with the
// message its failure ends in.
struct Step {
    std::int32_t code;
    int status;
    std::string err;
};

std::vector<Step> steps() {
    const std::string ended = "Connected Failed: the server ended the log-in\n";
    return {
        {0, 2, ended},
        {13, 2, "Connected Failed: Get Key Error\n"},
        {6, 2, "Disconnect: Name Or Password Error, Re-Connect Again\n"},
        {15, 2, ended},
        {16, 2, ended},
        {17, 2, ended},
        {18, 2, ended},
        {19, 2, ended},
        {37, 2, "Server Reject Ambro Client: Server Reject Ambro Client Type\n"},
        // The camera list is the first command through the mailbox.
        {5, 3, "the camera list could not be read from 127.0.0.1:{port}\n"},
    };
}

FakeOlderServerScript workingServer() {
    FakeOlderServerScript script;
    script.modules = {{4, 2, {"Door"}, {"Siren", "Lamp"}}};
    std::int64_t at = 0;
    for (const auto& picture : test::splitIntoPictures(
             test::readFile(test::fixturePath("mpeg4/mpeg4_176x144_bf0.m4v")))) {
        if (script.frames.size() == 3) break;
        script.frames.push_back(
            {test::PayloadBuilder(test::PayloadMarker::NoChecksum, picture.bytes).build(),
             test::fakeFrameTime(at += 40)});
    }
    return script;
}

// Changes the header of every reply to `code` (-1: stream packets).
std::function<bool(std::int32_t, std::int32_t&, std::int32_t&)> tamperWith(
    std::int32_t code, std::optional<std::int32_t> status, std::optional<std::int32_t> length) {
    return [=](std::int32_t replyCode, std::int32_t& replyStatus, std::int32_t& replyLength) {
        if (replyCode != code) return false;
        if (status) replyStatus = *status;
        if (length) replyLength = *length;
        return true;
    };
}

class HostileOlderServer : public HostilePeerTest {
protected:
    Outcome run(const FakeOlderServer& server, std::vector<std::string> words) {
        words.insert(words.begin() + 1, {"--host", "127.0.0.1", "--port", server.endpoint().port,
                                         "--user", "admin", "--password", "pw"});
        return runCommand([&](std::ostream& out, std::ostream& err) {
            return runLive(words, AMBRO_PTZ_SETUP_DIR, out, err);
        });
    }

    static std::string withPort(std::string text, const FakeOlderServer& server) {
        const auto at = text.find("{port}");
        if (at != std::string::npos) text.replace(at, 6, server.endpoint().port);
        return text;
    }

    // `info` against a server that fails each step of the log-in (and the
    // first command) in the given way.
    void runStepCases(const std::string& what,
                      const std::function<void(FakeOlderServerScript&, std::int32_t)>& fault) {
        for (const Step& step : steps()) {
            SCOPED_TRACE(what + " at request " + std::to_string(step.code));
            FakeOlderServerScript script = workingServer();
            fault(script, step.code);
            FakeOlderServer server(script);
            const Outcome outcome = run(server, {"info"});
            expectOutcome(outcome, step.status, withPort(step.err, server));
            EXPECT_EQ(outcome.out, "");
        }
    }

    void runStreamCases(const std::vector<OlderCase>& cases) {
        const fs::path file =
            fs::temp_directory_path() / ("ambro-hostile-older-" + std::to_string(::getpid()) + ".jpg");
        for (const OlderCase& c : cases) {
            SCOPED_TRACE(c.name);
            FakeOlderServerScript script = workingServer();
            c.fault(script);
            FakeOlderServer server(script);
            const Outcome outcome =
                run(server, {"snapshot", "--camera", "1", "--out", file.string(), "--timeout", "1"});
            expectOutcome(outcome, c.status, c.err);
            EXPECT_FALSE(fs::exists(file));
            fs::remove(file);
        }
    }
};

TEST_F(HostileOlderServer, AWorkingServerAnswersInfo) {
    FakeOlderServer server(workingServer());
    const Outcome outcome = run(server, {"info"});
    expectOutcome(outcome, 0, "");
    EXPECT_EQ(outcome.out.rfind("generation: older\nserver version: 8300\n", 0), 0u) << outcome.out;
}

TEST_F(HostileOlderServer, ACloseInTheMiddleOfEveryReply) {
    runStepCases("a close instead of the reply",
                 [](FakeOlderServerScript& s, std::int32_t code) { s.closeOn.push_back(code); });
    runStepCases("half a reply, then a close",
                 [](FakeOlderServerScript& s, std::int32_t code) { s.truncateOn.push_back(code); });
}

TEST_F(HostileOlderServer, SilenceAfterEveryRequest) {
    runStepCases("no reply",
                 [](FakeOlderServerScript& s, std::int32_t code) { s.silentOn.push_back(code); });
}

TEST_F(HostileOlderServer, AbsurdAndNegativeLengths) {
    for (const std::int32_t length : {40952, 0x7FFFFFFF, -1, -40951}) {
        runStepCases("a payload length of " + std::to_string(length),
                     [length](FakeOlderServerScript& s, std::int32_t code) {
                         s.tamper = tamperWith(code, std::nullopt, length);
                     });
    }
}

TEST_F(HostileOlderServer, GarbageReplies) {
    test::Bytes garbage(24);
    for (std::size_t i = 0; i < garbage.size(); ++i) garbage[i] = static_cast<std::uint8_t>(0xF1 - 13 * i);
    runStepCases("garbage instead of the reply",
                 [garbage](FakeOlderServerScript& s, std::int32_t code) { s.rawReplies[code] = garbage; });
}

TEST_F(HostileOlderServer, ATrickleOfOneByteAtATime) {
    platform::setReplyTimeout(5s);
    FakeOlderServerScript slow = workingServer();
    slow.version = 8199;  // the smaller camera table
    slow.trickle = 1ms;
    FakeOlderServer server(slow);
    const Outcome outcome = run(server, {"info"});
    EXPECT_EQ(outcome.status, 0) << outcome.err;
    EXPECT_EQ(outcome.out.rfind("generation: older\nserver version: 8199\n", 0), 0u) << outcome.out;
    EXPECT_LT(outcome.elapsed, 20s);
}

TEST_F(HostileOlderServer, StreamsThatBreakOff) {
    const std::string broken = "camera 1: no picture: Disconnect: Disconnected\n";
    const std::string nothing = "camera 1: no picture: no picture within 1 s\n";
    std::vector<OlderCase> cases;
    // A video header is 28 bytes, each data packet 8 bytes and its data.
    for (const std::size_t cut : {0u, 3u, 4u, 7u, 8u, 20u, 28u, 31u, 36u, 100u}) {
        cases.push_back({"a close after " + std::to_string(cut) + " bytes of the stream",
                         [cut](FakeOlderServerScript& s) { s.streamCut = cut; }, 3, broken});
    }
    cases.push_back({"stream packets of absurd length",
                     [](auto& s) { s.tamper = tamperWith(-1, std::nullopt, 40952); }, 3, broken});
    cases.push_back({"stream packets of negative length",
                     [](auto& s) { s.tamper = tamperWith(-1, std::nullopt, -8); }, 3, broken});
    cases.push_back({"stream packets of an unknown status",
                     [](auto& s) { s.tamper = tamperWith(-1, 99, std::nullopt); }, 3, nothing});
    cases.push_back({"no stream at all", [](auto& s) { s.frames.clear(); }, 3, nothing});
    runStreamCases(cases);
}

}  // namespace
}  // namespace ambro::cli::hostile
