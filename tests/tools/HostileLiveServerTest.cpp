#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <functional>
#include <string>

#include "platform/ByteOrder.h"
#include "tests/support/FakeLiveServer.h"
#include "tests/support/Mpeg4Fixtures.h"
#include "tests/support/PayloadBuilder.h"
#include "tests/tools/HostilePeer.h"
#include "tools/cli/LiveCommand.h"

namespace ambro::cli::hostile {
namespace {

namespace fs = std::filesystem;
using test::FakeLiveServer;
using test::FakeLiveServerScript;
using test::FakeVideoFrame;

// A current-generation server misbehaving in one way, and what ambro-cli
// must end with.
struct LiveCase {
    std::string name;
    std::function<void(FakeLiveServerScript&)> fault;
    int status;
    std::string err;
};

// The requests of the handshake, in the order they are made.
constexpr std::uint32_t kHandshakeCommands[] = {3, 1, 7, 8, 226, 176, 18, 32, 19};

const std::string kBroke = "Connected Failed: the connection broke during the log-in\n";
std::string timedOutMessage() {
    return "Connected Failed: the server did not answer in time (" + timedOut() + ")\n";
}

FakeLiveServerScript workingServer() {
    FakeLiveServerScript script = FakeLiveServerScript::withCameras(51, 0b101);
    std::uint32_t sequence = 1;
    for (const auto& picture : test::splitIntoPictures(
             test::readFile(test::fixturePath("mpeg4/libxvid_176x144_bf0.m4v")))) {
        if (sequence > 3) break;
        script.videoFrames.push_back(
            {sequence, 21, static_cast<std::uint8_t>(sequence == 1 ? 0 : 1),
             test::PayloadBuilder(test::PayloadMarker::ChecksumF, picture.bytes).build(), 0, false});
        ++sequence;
    }
    return script;
}

// A reply head announcing `length` bytes in all, and nothing behind it.
std::vector<std::uint8_t> headAnnouncing(std::uint32_t command, std::uint32_t length) {
    auto reply = test::serverReply(command, 0, 16);
    platform::storeLe32(reply.data() + 4, length);
    return reply;
}

class HostileLiveServer : public HostilePeerTest {
protected:
    Outcome run(const FakeLiveServer& server, std::vector<std::string> words) {
        words.insert(words.begin() + 1, {"127.0.0.1:" + std::to_string(server.port()), "--user",
                                         "admin", "--password", "pw"});
        return runCommand([&](std::ostream& out, std::ostream& err) {
            return runLive(words, AMBRO_PTZ_SETUP_DIR, out, err);
        });
    }

    // `info` against each faulty server: the log-in never gets through.
    void runLogInCases(const std::vector<LiveCase>& cases) {
        for (const LiveCase& c : cases) {
            SCOPED_TRACE(c.name);
            FakeLiveServerScript script = workingServer();
            c.fault(script);
            FakeLiveServer server(script);
            const Outcome outcome = run(server, {"info"});
            expectOutcome(outcome, c.status, c.err);
            EXPECT_EQ(outcome.out, "");
        }
    }

    // A snapshot of camera 3 while the video connection misbehaves: no file
    // is left behind. The server streams once the client has changed to
    // camera 3, so the fault always meets a session that is up.
    void runVideoCases(const std::vector<LiveCase>& cases) {
        const fs::path file =
            fs::temp_directory_path() / ("ambro-hostile-" + std::to_string(::getpid()) + ".jpg");
        for (const LiveCase& c : cases) {
            SCOPED_TRACE(c.name);
            FakeLiveServerScript script = workingServer();
            script.videoWaitsFor = {32, 2};
            c.fault(script);
            FakeLiveServer server(script);
            const Outcome outcome =
                run(server, {"snapshot", "--camera", "3", "--out", file.string(), "--timeout", "1"});
            expectOutcome(outcome, c.status, c.err);
            EXPECT_FALSE(fs::exists(file));
            fs::remove(file);
        }
    }

    // One case per handshake request.
    template <typename Fault>
    static std::vector<LiveCase> perRequest(const std::string& what, Fault fault, int status,
                                            const std::string& err) {
        std::vector<LiveCase> cases;
        for (const std::uint32_t command : kHandshakeCommands) {
            cases.push_back({what + " at request " + std::to_string(command),
                             [=](FakeLiveServerScript& script) { fault(script, command); }, status,
                             err});
        }
        return cases;
    }
};

TEST_F(HostileLiveServer, AWorkingServerAnswersInfo) {
    FakeLiveServer server(workingServer());
    const Outcome outcome = run(server, {"info"});
    expectOutcome(outcome, 0, "");
    EXPECT_EQ(outcome.out, "generation: current\nserver kind: 51\n"
                           "camera 1: Cam 1 (status record received)\ncamera 3: Cam 3\nno I/O module\n");
}

TEST_F(HostileLiveServer, GreetingsThatAreNoGreeting) {
    runLogInCases({
        {"bad magic", [](auto& s) { s.greeting = {0x21524142, 0, 0, 0}; }, 2, kBroke},
        {"garbage", [](auto& s) { s.greeting = {0xFFFFFFFF, 0xFFFFFFFF, 0, 7}; }, 2, kBroke},
        {"cut after 1 byte", [](auto& s) { s.greetingCut = 1; }, 2, kBroke},
        {"cut after 6 bytes", [](auto& s) { s.greetingCut = 6; }, 2, kBroke},
        {"cut after 15 bytes", [](auto& s) { s.greetingCut = 15; }, 2, kBroke},
        {"older generation with ports that do not exist",
         [](auto& s) { s.greeting = {net::kOlderGenerationGreeting, 0, 0x10000, 0xFFFFFFFF}; }, 2,
         "Connected Failed: the server announced ports that do not exist\n"},
        {"silence after the connect",
         [](auto& s) { s.silence = FakeLiveServerScript::Silence::AfterAccept; }, 2,
         timedOutMessage()},
        {"silence after the greeting",
         [](auto& s) { s.silence = FakeLiveServerScript::Silence::AfterGreeting; }, 2,
         timedOutMessage()},
    });
}

TEST_F(HostileLiveServer, ACloseInTheMiddleOfEveryReply) {
    runLogInCases(perRequest(
        "half a reply, then a close",
        [](FakeLiveServerScript& s, std::uint32_t c) { s.truncateOn.push_back(c); }, 2, kBroke));
    runLogInCases(perRequest(
        "a close instead of the reply",
        [](FakeLiveServerScript& s, std::uint32_t c) { s.closeOn.push_back(c); }, 2, kBroke));
}

TEST_F(HostileLiveServer, SilenceAfterEveryRequest) {
    runLogInCases(perRequest(
        "no reply", [](FakeLiveServerScript& s, std::uint32_t c) { s.holdOn.push_back(c); }, 2,
        timedOutMessage()));
    runLogInCases(perRequest(
        "half a reply, then silence",
        [](FakeLiveServerScript& s, std::uint32_t c) { s.stallOn.push_back(c); }, 2,
        timedOutMessage()));
}

TEST_F(HostileLiveServer, AbsurdAndNegativeReplyLengths) {
    for (const std::uint32_t length : {0xFFFFFFF0u, 0x80000000u, (1u << 20) + 1, 7u}) {
        runLogInCases(perRequest(
            "a head announcing " + std::to_string(length) + " bytes",
            [length](FakeLiveServerScript& s, std::uint32_t c) {
                s.replyOverrides[c] = headAnnouncing(c, length);
            },
            2, kBroke));
    }
    // A reply one byte shorter than its request reads: consumed, then refused.
    runLogInCases({{"a key reply of 35 bytes",
                    [](auto& s) { s.replyOverrides[3] = test::serverReply(3, 0, 35); }, 2, kBroke}});
}

TEST_F(HostileLiveServer, GarbageReplies) {
    std::vector<std::uint8_t> garbage(64);
    for (std::size_t i = 0; i < garbage.size(); ++i) garbage[i] = static_cast<std::uint8_t>(i * 37 + 11);
    runLogInCases(perRequest(
        "garbage instead of the reply",
        [garbage](FakeLiveServerScript& s, std::uint32_t c) { s.replyOverrides[c] = garbage; }, 2,
        kBroke));
}

TEST_F(HostileLiveServer, ATrickleOfOneByteAtATime) {
    // Each step has its own deadline: a slow server that keeps each reply
    // within it gets through, one whose reply takes longer does not.
    platform::setReplyTimeout(5s);
    FakeLiveServerScript slow = workingServer();
    slow.trickle = 1ms;
    FakeLiveServer patient(slow);
    const Outcome through = run(patient, {"info"});
    EXPECT_EQ(through.status, 0) << through.err;
    EXPECT_LT(through.elapsed, 20s);

    platform::setReplyTimeout(1s);
    FakeLiveServer tooSlow(slow);
    const Outcome timedOutOutcome = run(tooSlow, {"info"});
    EXPECT_EQ(timedOutOutcome.status, 2);
    EXPECT_EQ(timedOutOutcome.err, "Connected Failed: the server did not answer in time (" +
                                       timedOut(1s) + ")\n");
    EXPECT_LT(timedOutOutcome.elapsed, kBound);
}

TEST_F(HostileLiveServer, VideoTheClientCannotFollow) {
    const std::string cannotFollow =
        "camera 3: no picture: the server sent video the client cannot follow\n";
    const std::string broken = "camera 3: no picture: Disconnect\n";
    const std::string nothing = "camera 3: no picture: no picture within 1 s\n";
    const auto firstFrame = [](auto change) {
        return [change](FakeLiveServerScript& s) { change(s.videoFrames.front()); };
    };
    const auto everyFrame = [](auto change) {
        return [change](FakeLiveServerScript& s) {
            for (FakeVideoFrame& frame : s.videoFrames) change(frame);
        };
    };
    runVideoCases({
        {"bad magic", [](auto& s) { s.videoMagic = 0x52536F65; }, 3, cannotFollow},
        {"a length beyond any frame", firstFrame([](FakeVideoFrame& f) { f.announcedLength = 716801; }),
         3, cannotFollow},
        {"a negative length", firstFrame([](FakeVideoFrame& f) { f.announcedLength = 0xFFFFFFF0; }),
         3, cannotFollow},
        {"a length shorter than the head", firstFrame([](FakeVideoFrame& f) { f.announcedLength = 35; }),
         3, cannotFollow},
        {"a close in the status record", [](auto& s) { s.videoCut = 600; }, 3, cannotFollow},
        {"a close in a head", [](auto& s) { s.videoCut = 1200 + 20; }, 3, broken},
        {"a close in a payload", firstFrame([](FakeVideoFrame& f) { f.breakHalfway = true; }), 3,
         broken},
        {"silence after the login", [](auto& s) { s.videoFrames.clear(); }, 3, nothing},
        {"silence after the status record",
         [](auto& s) {
             s.videoFrames.clear();
             s.statusRecordIndex = 0;
         },
         3, nothing},
        {"garbage payloads",
         everyFrame([](FakeVideoFrame& f) {
             for (std::size_t i = 0; i < f.payload.size(); ++i) f.payload[i] = static_cast<std::uint8_t>(i * 131);
         }),
         3, nothing},
        {"a size the client cannot show", everyFrame([](FakeVideoFrame& f) { f.sizeCode = 3; }), 3,
         nothing},
        {"empty frames", everyFrame([](FakeVideoFrame& f) { f.payload.clear(); }), 3, nothing},
    });
}

}  // namespace
}  // namespace ambro::cli::hostile
