#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <future>
#include <mutex>
#include <thread>

#include "live/CredentialBlock.h"
#include "live/LiveSession.h"
#include "net/TwoPortPassword.h"
#include "platform/ByteOrder.h"
#include "platform/Deadline.h"
#include "tests/support/FakeLiveServer.h"
#include "tests/support/FakeOlderServer.h"
#include "tests/support/Mpeg4Fixtures.h"
#include "tests/support/ObservedEvents.h"
#include "tests/support/PayloadBuilder.h"

namespace ambro::live {
namespace {

using namespace std::chrono_literals;
using test::Bytes;
using test::FakeOlderServer;
using test::FakeOlderServerScript;

// Records what the session reports, with bounded waits for it.
class Recorder : public LiveSessionObserver, public test::ObservedEvents {
public:
    void connectFailed(LiveFailure failure, const std::string& detail) override {
        update([&] { failures.push_back(std::string(liveFailureText(failure)) + "|" + detail); });
    }
    void sessionReady(Generation generation) override { update([&] { ready = generation; }); }
    void disconnected(const std::string& headline, const std::string& detail) override {
        update([&] { disconnects.push_back(headline + "|" + detail); });
    }
    void cameraListChanged(const CameraCatalogue& catalogue) override {
        update([&] { catalogues.push_back(catalogue); });
    }
    void cameraSelected(const CameraAbilities& abilities) override {
        update([&] { selections.push_back(abilities); });
    }
    void ioModulesChanged(const std::vector<IoModule>& list) override {
        update([&] { modules = list; });
    }
    void alarmRaised(const AlarmInputs& alarm) override { update([&] { alarms.push_back(alarm); }); }
    void streamStarted() override { update([&] { ++streams; }); }
    void pictureDecoded(const PictureView& picture) override {
        update([&] {
            ++decoded;
            width = picture.width;
            height = picture.height;
        });
    }
    void pictureReady(const PictureView&) override { update([&] { ++drawn; }); }
    void snapshotSaved(const std::filesystem::path& file) override {
        update([&] { snapshots.push_back(file); });
    }
    // Runs the display tick as a window would, unpaced, until the condition
    // holds (for at most five seconds).
    template <typename Condition>
    bool tickUntil(LiveSession& session, Condition condition) {
        for (int i = 0; i < 1000; ++i) {
            (void)session.displayTick(false);
            {
                std::lock_guard lock(mutex);
                if (condition()) return true;
            }
            std::this_thread::sleep_for(5ms);
        }
        return false;
    }

    std::vector<std::string> failures;
    std::vector<std::string> disconnects;
    std::optional<Generation> ready;
    std::vector<CameraCatalogue> catalogues;
    std::vector<CameraAbilities> selections;
    std::vector<IoModule> modules;
    std::vector<AlarmInputs> alarms;
    std::vector<std::filesystem::path> snapshots;
    int streams = 0;
    int decoded = 0;
    int drawn = 0;
    int width = 0;
    int height = 0;
};

std::vector<test::FakeOlderFrame> fixtureFrames(std::chrono::milliseconds apart = 40ms) {
    std::vector<test::FakeOlderFrame> frames;
    std::int64_t at = 0;
    for (const auto& picture : test::splitIntoPictures(
             test::readFile(test::fixturePath("mpeg4/mpeg4_176x144_bf0.m4v")))) {
        frames.push_back({test::PayloadBuilder(test::PayloadMarker::NoChecksum, picture.bytes).build(),
                          test::fakeFrameTime(at)});
        at += apart.count();
    }
    return frames;
}

class OlderGeneration : public testing::Test {
protected:
    void start(FakeOlderServerScript script, std::string user = "admin",
               std::string password = "pw") {
        server = std::make_unique<FakeOlderServer>(std::move(script));
        session = std::make_unique<LiveSession>(
            LiveSessionSettings{server->endpoint(), user, password, snapshots, AMBRO_PTZ_SETUP_DIR},
            recorder);
        session->start();
    }
    bool startReady(FakeOlderServerScript script) {
        start(std::move(script));
        return recorder.waitFor([&] { return recorder.ready.has_value(); });
    }
    void TearDown() override {
        session.reset();
        server.reset();
        std::filesystem::remove_all(snapshots);
    }
    std::vector<test::OlderRequest> requestsOf(std::int32_t code) const {
        std::vector<test::OlderRequest> found;
        for (const auto& request : server->requests()) {
            if (request.code == code) found.push_back(request);
        }
        return found;
    }

    const std::filesystem::path snapshots =
        std::filesystem::temp_directory_path() /
        ("ambro-live-" + std::to_string(::getpid()) + "-" +
         testing::UnitTest::GetInstance()->current_test_info()->name());
    Recorder recorder;
    std::unique_ptr<FakeOlderServer> server;
    std::unique_ptr<LiveSession> session;
};

TEST_F(OlderGeneration, LogInSequenceByteForByte) {
    FakeOlderServerScript script;
    script.modules = {{4, 9, {"Door", "Window"}, {"Siren"}}, {4, 2, {}, {}}};
    ASSERT_TRUE(startReady(script));
    EXPECT_EQ(session->generation(), Generation::Older);
    EXPECT_EQ(session->state(), LiveState::OlderGenerationStarted);

    // The control connection: client type 2, then the coded password and the user.
    const auto control = server->control().recorded();
    ASSERT_FALSE(control.empty());
    Bytes login = {7, static_cast<std::uint8_t>(net::codeTwoPortPassword("pw").size() + 7)};
    for (const char c : net::codeTwoPortPassword("pw")) login.push_back(static_cast<std::uint8_t>(c));
    login.push_back(0);
    for (const char c : std::string("admin")) login.push_back(static_cast<std::uint8_t>(c));
    login.push_back(0);
    EXPECT_EQ(control[0], login);
    EXPECT_EQ(server->control().clientType, 2u);

    // The session socket: hello, key, password, modules, client check.
    const std::vector<std::int32_t> expected = {0,  13, 6,  15, 16, 17, 18,
                                                19, 16, 17, 18, 19, 37};
    const auto codes = server->codes();
    ASSERT_GE(codes.size(), expected.size());
    EXPECT_EQ(std::vector<std::int32_t>(codes.begin(), codes.begin() + 13), expected);
    const auto requests = server->requests();
    for (const std::size_t i : {0u, 1u, 3u, 12u}) EXPECT_TRUE(requests[i].payload.empty()) << i;
    const auto block = exponentiateCredentials(credentialBlock("admin", "pw"), 3233, 17);
    EXPECT_EQ(requests[2].payload, Bytes(block.begin(), block.end()));
    EXPECT_EQ(requests[4].payload, (Bytes{1, 0}));  // module 1 as a 16-bit number
    EXPECT_EQ(requests[8].payload, (Bytes{2, 0}));

    std::lock_guard lock(recorder.mutex);
    ASSERT_EQ(recorder.modules.size(), 2u);
    EXPECT_EQ(recorder.modules[0].outputCount, 9);
    EXPECT_EQ(recorder.modules[0].inputNames[1], "Window");
    EXPECT_EQ(recorder.modules[0].outputNames[0], "Siren");
}

struct VersionCase {
    std::int32_t version;
    std::uint32_t viewWordSeen;
    std::size_t tableSize;
    friend void PrintTo(const VersionCase& c, std::ostream* out) { *out << c.version; }
};

class ServerVersion : public OlderGeneration, public testing::WithParamInterface<VersionCase> {};

TEST_P(ServerVersion, DecidesTheViewWordAndTheCameraTable) {
    FakeOlderServerScript script;
    script.version = GetParam().version;
    script.viewWord = 0b1111;
    ASSERT_TRUE(startReady(script));
    ASSERT_TRUE(session->refreshCameraListNow());
    const CameraCatalogue catalogue = session->catalogue();
    EXPECT_EQ(catalogue.serverVersion, GetParam().version);
    EXPECT_EQ(catalogue.viewWord, GetParam().viewWordSeen);
    EXPECT_EQ(catalogue.cameraTable.size(), GetParam().tableSize);
    const auto list = CameraListModel::fromCameraTable(catalogue.cameraTable,
                                                       catalogue.serverVersion, catalogue.viewWord);
    EXPECT_EQ(list.cameraCount(), 2);
}

INSTANTIATE_TEST_SUITE_P(Versions, ServerVersion,
                         testing::Values(VersionCase{8199, 0, 32 * 68},
                                         VersionCase{8299, 0b1111, 32 * 68},
                                         VersionCase{8300, 0b1111, 64 * 68}));

struct LoginFailureCase {
    const char* name;
    friend void PrintTo(const LoginFailureCase& c, std::ostream* out) { *out << c.name; }
    std::function<void(FakeOlderServerScript&)> change;
    std::string failure;      // connectFailed: text|detail
    std::string disconnect;   // disconnected: headline|detail
    LiveState state;
};

class LoginFailure : public OlderGeneration,
                     public testing::WithParamInterface<LoginFailureCase> {};

TEST_P(LoginFailure, EndsWithItsMessage) {
    FakeOlderServerScript script;
    GetParam().change(script);
    start(script);
    ASSERT_TRUE(recorder.waitFor(
        [&] { return !recorder.failures.empty() || !recorder.disconnects.empty(); }));
    std::this_thread::sleep_for(50ms);
    std::lock_guard lock(recorder.mutex);
    EXPECT_FALSE(recorder.ready.has_value());
    EXPECT_EQ(recorder.failures,
              GetParam().failure.empty() ? std::vector<std::string>{}
                                         : std::vector<std::string>{GetParam().failure});
    EXPECT_EQ(recorder.disconnects,
              GetParam().disconnect.empty() ? std::vector<std::string>{}
                                            : std::vector<std::string>{GetParam().disconnect});
    EXPECT_EQ(session->state(), GetParam().state);
}

INSTANTIATE_TEST_SUITE_P(
    Steps, LoginFailure,
    testing::Values(
        LoginFailureCase{"HelloClosed", [](auto& s) { s.closeOn = {0}; },
                         "Connected Failed|the server ended the log-in", "",
                         LiveState::OlderGenerationStarted},
        LoginFailureCase{"KeyClosed", [](auto& s) { s.closeOn = {13}; },
                         "Connected Failed|Get Key Error", "", LiveState::OlderGenerationStarted},
        LoginFailureCase{"ModulusZero", [](auto& s) { s.modulus = 0; },
                         "Connected Failed|Get Key Error", "", LiveState::OlderGenerationStarted},
        LoginFailureCase{"PasswordRefused", [](auto& s) { s.passwordStatus = 0; }, "",
                         "Disconnect|Name Or Password Error, Re-Connect Again",
                         LiveState::OlderGenerationStarted},
        LoginFailureCase{"NineModules", [](auto& s) { s.modules.resize(9); },
                         "Connected Failed|the server ended the log-in", "",
                         LiveState::OlderGenerationStarted},
        LoginFailureCase{"ClientRejected", [](auto& s) { s.clientCheckStatus = 7; },
                         "Server Reject Ambro Client|Server Reject Ambro Client Type", "",
                         LiveState::Rejected}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(OlderGeneration, ControlLoginRefusedUsesTheControlAnswer) {
    // The control connection refuses before the session socket says a word.
    FakeOlderServerScript script;
    server = std::make_unique<FakeOlderServer>(script);
    server->control().loginStatus = 0;
    session = std::make_unique<LiveSession>(
        LiveSessionSettings{server->endpoint(), "admin", "pw", snapshots, AMBRO_PTZ_SETUP_DIR},
        recorder);
    session->start();
    ASSERT_TRUE(recorder.waitFor([&] { return !recorder.failures.empty(); }));
    EXPECT_EQ(session->state(), LiveState::Failed);
    EXPECT_TRUE(server->codes().empty());
}

TEST_F(OlderGeneration, ACommandDuringTheStreamIsServedAndTheStreamRestarts) {
    FakeOlderServerScript script;
    script.frames = fixtureFrames();
    script.framesBeforeReply = 2;
    ASSERT_TRUE(startReady(script));
    ASSERT_EQ(session->selectCameraNow(2), SelectResult::Selected);
    ASSERT_TRUE(server->waitForCode(36, 1));
    ASSERT_TRUE(recorder.waitFor([&] { return recorder.streams >= 1; }));
    const int framesBefore = server->framesSent();
    // The quality command goes out while the server streams; the frames that
    // come before its reply are read and dropped, and it succeeds.
    session->postCommand(CommandBlock::withWords(kQualityCode, {75, 1}));
    ASSERT_TRUE(server->waitForCode(kQualityCode, 1));
    ASSERT_TRUE(server->waitForCode(36, 2));
    EXPECT_GE(server->framesSent(), framesBefore + 2);
    EXPECT_TRUE(recorder.disconnects.empty());
    const auto quality = requestsOf(kQualityCode);
    ASSERT_EQ(quality.size(), 1u);
    EXPECT_EQ(quality[0].payload, (Bytes{75, 0, 0, 0, 1, 0, 0, 0}));
    // And pictures flow.
    ASSERT_TRUE(recorder.tickUntil(*session, [&] { return recorder.decoded > 0; }));
}

TEST_F(OlderGeneration, AFullRingWaitsForTheDisplayAndPacingHoldsEarlyFrames) {
    FakeOlderServerScript script;
    // A second apart: the pacing shows one, then holds the next.
    script.frames = fixtureFrames(1000ms);
    script.frameInterval = 1ms;
    ASSERT_TRUE(startReady(script));
    ASSERT_EQ(session->selectCameraNow(0), SelectResult::Selected);
    // Nothing is displayed: the session stops reading once 32 frames wait,
    // and once the socket's buffers are full the server can send no more.
    int sent = -1;
    for (int i = 0; i < 50 && server->framesSent() != sent; ++i) {
        sent = server->framesSent();
        std::this_thread::sleep_for(300ms);
    }
    EXPECT_EQ(server->framesSent(), sent);
    EXPECT_GE(sent, 32);
    // The first tick shows the first frame; the next is a second ahead.
    EXPECT_TRUE(session->displayTick());
    EXPECT_FALSE(session->displayTick());
    // The display frees the ring and reading goes on.
    EXPECT_TRUE(recorder.tickUntil(*session, [&] { return server->framesSent() > sent + 5; }));
}

TEST_F(OlderGeneration, CloseWhileTheSessionWaitsReturnsPromptlyAndSaysNothing) {
    FakeOlderServerScript script;
    script.silentOn = {5};  // the camera list is never answered
    ASSERT_TRUE(startReady(script));
    session->refreshCameraList();
    ASSERT_TRUE(server->waitForCode(5));
    const auto start = std::chrono::steady_clock::now();
    session->close();
    EXPECT_LT(std::chrono::steady_clock::now() - start, 1s);
    std::lock_guard lock(recorder.mutex);
    EXPECT_TRUE(recorder.disconnects.empty());
    EXPECT_TRUE(recorder.failures.empty());
}

TEST_F(OlderGeneration, ABrokenStreamEndsTheSessionWithItsMessage) {
    FakeOlderServerScript script;
    script.frames = fixtureFrames();
    // Every frame's header goes out as sent; its data packet does not carry
    // the stream's status.
    script.tamper = [sent = std::make_shared<int>(0)](std::int32_t code, std::int32_t& status,
                                                      std::int32_t&) {
        if (code != -1 || (*sent)++ % 2 == 0) return false;
        status = 99;
        return true;
    };
    ASSERT_TRUE(startReady(script));
    ASSERT_EQ(session->selectCameraNow(0), SelectResult::Selected);
    ASSERT_TRUE(recorder.waitFor([&] { return !recorder.disconnects.empty(); }));
    EXPECT_EQ(recorder.disconnects[0], "Disconnect|Disconnected");
}

TEST_F(OlderGeneration, CameraCommandsOutputsAndAlarms) {
    FakeOlderServerScript script;
    script.modules = {{4, 9, {"Door"}, {"Siren"}}, {4, 9, {"Hall", "Stair", "Roof", "Cellar"}, {}}};
    script.alarmMasks[1] = 0b1001;
    script.alarmTime = test::fakeFrameTime(0);
    ASSERT_TRUE(startReady(script));
    ASSERT_EQ(session->selectCameraNow(2), SelectResult::Selected);
    // Older servers above version 6099 get the long form with the speed.
    EXPECT_EQ(session->cameraActionNow(ptz::DomeAction::PanLeft, 4), PtzResult::Sent);
    EXPECT_EQ(session->goPresetNow(17, 1), PtzResult::Sent);
    EXPECT_TRUE(session->forceOutputNow(2, 3));
    const auto control = server->control().recorded();
    const auto has = [&](const Bytes& request) {
        return std::find(control.begin(), control.end(), request) != control.end();
    };
    EXPECT_TRUE(has(Bytes{54, 1, 0, 2, 4}));
    EXPECT_TRUE(has(Bytes{54, 14, 16, 2, 3}));  // preset list entry 0: preset 17
    EXPECT_TRUE(has(Bytes{100, 1, 33}));        // output 3 of module 2

    session->setInputMonitor(true);
    ASSERT_TRUE(recorder.waitFor([&] { return !recorder.alarms.empty(); }));
    EXPECT_EQ(recorder.alarms[0].masks[1], 0b1001);
    EXPECT_EQ(recorder.alarms[0].time, test::fakeFrameTime(0));
}

TEST_F(OlderGeneration, TheStatusPageAsksForStatusesEverySecondWhateverWasPosted) {
    FakeOlderServerScript script;
    script.statuses[2] = 3;
    ASSERT_TRUE(startReady(script));
    session->showCameraStatus(true);
    ASSERT_TRUE(server->waitForCode(kCameraStatusCode, 1));
    // A camera chosen while the page is shown is sent at once (well within
    // the second between two status requests), and only once.
    const auto before = requestsOf(kCameraStatusCode).size();
    session->postCommand(CommandBlock::withWords(kCameraSelectCode, {0}));
    ASSERT_TRUE(server->waitForCode(kCameraSelectCode, 1, 4s));
    EXPECT_LE(requestsOf(kCameraStatusCode).size(), before + 1);
    ASSERT_TRUE(server->waitForCode(kCameraStatusCode, before + 2, 4s));
    EXPECT_EQ(requestsOf(kCameraSelectCode).size(), 1u);
    EXPECT_EQ(session->cameraStatus()[2], 3);
}

TEST_F(OlderGeneration, SnapshotIsWrittenFromTheNextPicture) {
    FakeOlderServerScript script;
    script.frames = fixtureFrames();
    ASSERT_TRUE(startReady(script));
    ASSERT_EQ(session->selectCameraNow(0), SelectResult::Selected);
    session->requestSnapshot();
    ASSERT_TRUE(recorder.tickUntil(*session, [&] { return !recorder.snapshots.empty(); }));
    EXPECT_EQ(recorder.snapshots[0].parent_path(), snapshots);
    EXPECT_EQ(recorder.snapshots[0].extension(), ".jpg");
    EXPECT_GT(std::filesystem::file_size(recorder.snapshots[0]), 600u);
}

TEST(CurrentGenerationLiveSession, UnsupportedSizeStopsVideoOffTheReader) {
    test::FakeLiveServerScript script = test::FakeLiveServerScript::withCameras(51, 1);
    script.videoFrames = {{1, 3, 0, Bytes(100, 0x42), 0, false}};  // size code 3
    test::FakeLiveServer server(script);
    Recorder recorder;
    LiveSession session({server.endpoint(), "admin", "pw", "/tmp", AMBRO_PTZ_SETUP_DIR}, recorder);
    session.start();
    ASSERT_TRUE(recorder.waitFor([&] { return recorder.ready.has_value(); }));
    // The handshake's 9 command requests, 2 logins, the dome, then mask 0.
    ASSERT_TRUE(server.waitForRequests(13, 5s));
    std::vector<std::uint32_t> masks;
    for (const auto& request : server.requests()) {
        if (request.connection == 0 && request.head.command == 32) {
            masks.push_back(platform::loadLe32(request.bytes.data() + 16));
        }
    }
    EXPECT_EQ(masks, (std::vector<std::uint32_t>{1, 0}));
}

}  // namespace
}  // namespace ambro::live
