#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <cstring>
#include <future>
#include <mutex>
#include <random>
#include <thread>

#include "live/CurrentGenerationSession.h"
#include "platform/ByteOrder.h"
#include "tests/support/FakeLiveServer.h"
#include "tests/support/Mpeg4Fixtures.h"
#include "tests/support/ObservedEvents.h"
#include "tests/support/PayloadBuilder.h"

namespace ambro::live {
namespace {

using namespace std::chrono_literals;
using platform::loadLe16;
using platform::loadLe32;
using test::Bytes;
using test::FakeLiveServer;
using test::FakeLiveServerScript;
using test::FakeVideoFrame;

// Records what the session reports, with bounded waits for it.
class RecordingObserver : public CurrentGenerationSession::Listener, public test::ObservedEvents {
public:
    void pictureSizeChanged(int width, int height) override {
        update([&] { sizes.emplace_back(width, height); });
    }
    void pictureDecoded(const PictureView& picture) override {
        update([&] {
            ++pictures;
            lastPicture.assign(picture.pixels, picture.pixels + picture.stride * picture.height);
        });
    }
    void videoLost() override { update([&] { ++lost; }); }
    void unsupportedImageSize(int code) override { update([&] { unsupported.push_back(code); }); }
    void disconnected() override { update([&] { ++disconnects; }); }
    void ptzChanged(bool present, std::uint8_t capabilities, int) override {
        update([&] { ptzReports.emplace_back(present, capabilities); });
    }

    int pictures = 0;
    int lost = 0;
    int disconnects = 0;
    Bytes lastPicture;
    std::vector<std::pair<int, int>> sizes;
    std::vector<int> unsupported;
    std::vector<std::pair<bool, std::uint8_t>> ptzReports;
};

std::vector<Bytes> fixturePayloads() {
    std::vector<Bytes> payloads;
    for (const auto& picture : test::splitIntoPictures(
             test::readFile(test::fixturePath("mpeg4/mpeg4_176x144_bf0.m4v")))) {
        payloads.push_back(
            test::PayloadBuilder(test::PayloadMarker::NoChecksum, picture.bytes).build());
    }
    return payloads;
}

FakeVideoFrame frame(std::uint32_t sequence, std::uint8_t kind, const Bytes& payload,
                     std::uint8_t sizeCode = 21) {
    return FakeVideoFrame{sequence, sizeCode, kind, payload, 0, false};
}

std::vector<test::RecordedRequest> requestsOf(const FakeLiveServer& server, std::uint32_t command) {
    std::vector<test::RecordedRequest> found;
    for (const auto& request : server.requests()) {
        if (request.connection == 0 && request.head.command == command) found.push_back(request);
    }
    return found;
}

// A session with the connection it runs on.
struct ConnectedSession {
    ConnectedSession(const FakeLiveServer& server, CurrentGenerationSession::Listener& listener)
        : connection(server.endpoint(), "admin", "pw"),
          session(connection, listener, AMBRO_PTZ_SETUP_DIR) {}
    net::LiveConnection connection;
    CurrentGenerationSession session;
};

class LiveSession : public testing::Test {
protected:
    void start(FakeLiveServerScript script) {
        server = std::make_unique<FakeLiveServer>(std::move(script));
        live = std::make_unique<ConnectedSession>(*server, observer);
        session = &live->session;
        ASSERT_EQ(session->connect(), net::ConnectOutcome::Accepted);
    }
    void TearDown() override {
        live.reset();
        server.reset();
    }

    RecordingObserver observer;
    std::unique_ptr<FakeLiveServer> server;
    std::unique_ptr<ConnectedSession> live;
    CurrentGenerationSession* session = nullptr;
};

TEST_F(LiveSession, SequenceRuleDropsDependentFramesAfterALoss) {
    const auto payloads = fixturePayloads();
    FakeLiveServerScript script = FakeLiveServerScript::withCameras(51, 1);
    script.videoFrames = {
        frame(5, 1, payloads[0]),   // the first frame, whatever its kind: decoded
        frame(7, 1, payloads[1]),   // S + 2 and dependent: skipped
        frame(8, 1, payloads[2]),   // still not S + 1: skipped
        frame(20, 0, payloads[0]),  // decodes alone: accepted whatever its number
        frame(21, 1, payloads[1]),  // S + 1: decoded
        frame(22, 2, payloads[2]),  // kind 2: skipped although in sequence
        frame(23, 1, {}),           // empty: "Video Lost"
    };
    start(script);
    ASSERT_TRUE(observer.waitFor([&] { return observer.lost == 1; }));
    std::lock_guard lock(observer.mutex);
    EXPECT_EQ(observer.pictures, 3);
    EXPECT_EQ(observer.sizes, (std::vector<std::pair<int, int>>{{176, 144}}));
    EXPECT_EQ(observer.disconnects, 0);
}

TEST_F(LiveSession, HalfHeightCodesDoubleTheRows) {
    FakeLiveServerScript script = FakeLiveServerScript::withCameras(51, 1);
    script.videoFrames = {frame(1, 0, fixturePayloads()[0])};
    start(script);
    ASSERT_TRUE(observer.waitFor([&] { return observer.pictures == 1; }));
    std::lock_guard lock(observer.mutex);
    const std::size_t stride = 176 * 3;
    for (int row = 0; row < 144; row += 2) {
        ASSERT_EQ(std::memcmp(observer.lastPicture.data() + row * stride,
                              observer.lastPicture.data() + (row + 1) * stride, stride),
                  0)
            << row;
    }
}

TEST_F(LiveSession, LargestFrameIsReadAndOneByteMoreEndsTheReader) {
    const auto payloads = fixturePayloads();
    for (const std::uint32_t total : {716800u, 716801u}) {
        FakeLiveServerScript script = FakeLiveServerScript::withCameras(51, 1);
        // Not zeros: an all-zero payload's closing word equals its checksum,
        // which would switch extended-header mode on for the next picture.
        FakeVideoFrame large = frame(1, 0, Bytes(total - 36, 0x33));
        script.videoFrames = {large, frame(2, 0, payloads[0])};
        RecordingObserver fresh;
        FakeLiveServer fake(script);
        ConnectedSession connected(fake, fresh);
        CurrentGenerationSession& live = connected.session;
        ASSERT_EQ(live.connect(), net::ConnectOutcome::Accepted);
        const bool decoded = fresh.waitFor([&] { return fresh.pictures == 1; }, 2s);
        EXPECT_EQ(decoded, total == 716800u) << total;
        live.close();
        std::lock_guard lock(fresh.mutex);
        EXPECT_EQ(fresh.disconnects, 0);
    }
}

TEST_F(LiveSession, UnsupportedSizeStopsVideo) {
    FakeLiveServerScript script = FakeLiveServerScript::withCameras(51, 1);
    script.videoFrames = {frame(1, 0, fixturePayloads()[0], 3)};
    start(script);
    ASSERT_TRUE(observer.waitFor([&] { return !observer.unsupported.empty(); }));
    EXPECT_EQ(observer.unsupported, std::vector<int>{3});
    // The reader only reports; its owner stops the video from elsewhere.
    ASSERT_TRUE(session->stopVideo());
    // The handshake's 9 command requests, 2 logins, the dome, then mask 0.
    ASSERT_TRUE(server->waitForRequests(13, 5s));
    const auto channels = requestsOf(*server, 32);
    ASSERT_EQ(channels.size(), 2u);
    EXPECT_EQ(loadLe32(channels[1].bytes.data() + 16), 0u);
}

TEST_F(LiveSession, StatusRecordsAreStoredByIndexBelow32) {
    for (const std::uint16_t index : {3, 40}) {
        FakeLiveServerScript script = FakeLiveServerScript::withCameras(51, 1);
        script.statusRecordIndex = index;
        script.videoFrames = {frame(1, 0, fixturePayloads()[0])};
        RecordingObserver fresh;
        FakeLiveServer fake(script);
        ConnectedSession connected(fake, fresh);
        CurrentGenerationSession& live = connected.session;
        ASSERT_EQ(live.connect(), net::ConnectOutcome::Accepted);
        // The picture after the record shows the record has been read.
        ASSERT_TRUE(fresh.waitFor([&] { return fresh.pictures == 1; }));
        EXPECT_EQ(live.statusRecordReceived(index), index == 3);
        EXPECT_FALSE(live.statusRecordReceived(40));
    }
}

TEST_F(LiveSession, SelectingCameraFiveAsksForItsVideoThenItsDome) {
    FakeLiveServerScript script = FakeLiveServerScript::withCameras(51, 0b10011);
    script.ptzRecord = FakeLiveServerScript::ptzRecordFor(true, 2, 0, 3, "Pelco-D");
    start(script);
    // The third entry: camera 5.
    ASSERT_EQ(session->selectCamera(4), SelectResult::Selected);
    // Asked again, the camera already shown is not asked for twice.
    ASSERT_EQ(session->selectCamera(4), SelectResult::Selected);
    EXPECT_EQ(session->selectCamera(3), SelectResult::NotInList);
    EXPECT_EQ(session->currentCamera(), 4);
    std::vector<std::pair<std::uint32_t, std::uint32_t>> sequence;
    for (const auto& request : server->requests()) {
        if (request.connection == 0 && (request.head.command == 32 || request.head.command == 56)) {
            sequence.emplace_back(request.head.command, loadLe32(request.bytes.data() + 16));
        }
    }
    // Video start with the first camera, its dome, then camera 5 and its dome,
    // once each.
    ASSERT_EQ(sequence.size(), 4u);
    EXPECT_EQ(sequence[2], (std::pair<std::uint32_t, std::uint32_t>{32, 16}));
    EXPECT_EQ(sequence[3], (std::pair<std::uint32_t, std::uint32_t>{56, 4}));
    // The same protocol and address are not loaded again.
    std::lock_guard lock(observer.mutex);
    ASSERT_EQ(observer.ptzReports.size(), 1u);
    EXPECT_TRUE(observer.ptzReports[0].first);
    EXPECT_EQ(observer.ptzReports[0].second, 0b11111110);  // all but home
}

TEST_F(LiveSession, PanLeftClickSendsStartThenStop) {
    FakeLiveServerScript script = FakeLiveServerScript::withCameras(51, 1);
    script.ptzRecord = FakeLiveServerScript::ptzRecordFor(true, 7, 0, 3, "Pelco-D");
    start(script);
    EXPECT_EQ(session->cameraAction(ptz::DomeAction::PanLeft), PtzResult::Sent);
    const auto passThrough = requestsOf(*server, 50);
    ASSERT_EQ(passThrough.size(), 2u);
    for (const auto& request : passThrough) EXPECT_EQ(loadLe32(request.bytes.data() + 16), 7u);
    EXPECT_EQ(Bytes(passThrough[0].bytes.begin() + 20, passThrough[0].bytes.end()),
              (Bytes{0xFF, 0x01, 0x00, 0x04, 0x20, 0x00, 0x25}));
    EXPECT_EQ(Bytes(passThrough[1].bytes.begin() + 20, passThrough[1].bytes.end()),
              (Bytes{0xFF, 0x01, 0x00, 0x00, 0x00, 0x00, 0x01}));
    EXPECT_EQ(session->goPreset(2), PtzResult::Sent);
    const auto preset = requestsOf(*server, 50);
    ASSERT_EQ(preset.size(), 3u);
    EXPECT_EQ(Bytes(preset[2].bytes.begin() + 20, preset[2].bytes.end()),
              (Bytes{0xFF, 0x01, 0x00, 0x07, 0x00, 0x02, 0x0A}));
}

TEST_F(LiveSession, CameraWithoutDomeOrProtocolSendsNothing) {
    FakeLiveServerScript script = FakeLiveServerScript::withCameras(51, 1);
    start(script);
    EXPECT_EQ(session->cameraAction(ptz::DomeAction::ZoomIn), PtzResult::NoDome);
    live.reset();
    server.reset();
    script.ptzRecord = FakeLiveServerScript::ptzRecordFor(true, 1, 0, 3, "Nobody's Dome");
    start(script);
    EXPECT_EQ(session->cameraAction(ptz::DomeAction::ZoomIn), PtzResult::ProtocolUnavailable);
    EXPECT_TRUE(requestsOf(*server, 50).empty());
}

TEST_F(LiveSession, OutputPulseIsOnThenOff) {
    start(FakeLiveServerScript::withCameras(51, 1));
    EXPECT_FALSE(session->pulseOutput(0));
    EXPECT_FALSE(session->pulseOutput(33));
    ASSERT_TRUE(session->pulseOutput(32));
    const auto outputs = requestsOf(*server, 68);
    ASSERT_EQ(outputs.size(), 2u);
    EXPECT_EQ(outputs[0].bytes.size(), 20u);
    EXPECT_EQ(loadLe16(outputs[0].bytes.data() + 16), 31);
    EXPECT_EQ(loadLe16(outputs[0].bytes.data() + 18), 1);
    EXPECT_EQ(loadLe16(outputs[1].bytes.data() + 18), 0);
}

TEST_F(LiveSession, BrokenVideoReportsDisconnectUnlessClosing) {
    FakeLiveServerScript script = FakeLiveServerScript::withCameras(51, 1);
    FakeVideoFrame broken = frame(1, 0, fixturePayloads()[0]);
    broken.breakHalfway = true;
    script.videoFrames = {broken};
    start(script);
    ASSERT_TRUE(observer.waitFor([&] { return observer.disconnects == 1; }));

    // Closing while the reader waits in a receive: prompt, and no message.
    RecordingObserver quiet;
    FakeLiveServer idle(FakeLiveServerScript::withCameras(51, 1));
    ConnectedSession connected(idle, quiet);
    ASSERT_EQ(connected.session.connect(), net::ConnectOutcome::Accepted);
    auto closed = std::async(std::launch::async, [&] { connected.session.close(); });
    EXPECT_EQ(closed.wait_for(3s), std::future_status::ready);
    std::lock_guard lock(quiet.mutex);
    EXPECT_EQ(quiet.disconnects, 0);
}

// A hostile server: frames of random bytes in every size code, then a head
// that is not one. Nothing may crash; the reader ends quietly on the bad head.
TEST_F(LiveSession, GarbageVideoIsSurvived) {
    std::mt19937 random(7);
    FakeLiveServerScript script = FakeLiveServerScript::withCameras(51, 1);
    std::uint32_t sequence = 1;
    for (int i = 0; i < 60; ++i) {
        Bytes payload(1 + random() % 9000);
        for (auto& byte : payload) byte = static_cast<std::uint8_t>(random());
        const std::uint8_t codes[] = {2, 4, 21, 22, 23, 24};
        script.videoFrames.push_back(frame(sequence++, static_cast<std::uint8_t>(random() % 2),
                                           payload, codes[random() % 6]));
    }
    script.videoFrames.push_back(frame(sequence, 0, fixturePayloads()[0]));
    FakeVideoFrame bad = frame(sequence + 1, 0, Bytes(100, 0x55));
    bad.announcedLength = 20;  // shorter than its own head
    script.videoFrames.push_back(bad);
    script.videoFrames.push_back(frame(1, 0, fixturePayloads()[0]));
    start(script);
    ASSERT_TRUE(observer.waitFor([&] { return observer.pictures >= 1; }));
    std::this_thread::sleep_for(200ms);
    std::lock_guard lock(observer.mutex);
    EXPECT_EQ(observer.disconnects, 0);
}

TEST_F(LiveSession, InterruptEndsAConnectInProgress) {
    FakeLiveServerScript script = FakeLiveServerScript::withCameras(51, 1);
    script.holdOn.push_back(8);  // the server never describes itself
    FakeLiveServer fake(script);
    RecordingObserver quiet;
    ConnectedSession connected(fake, quiet);
    CurrentGenerationSession& live = connected.session;
    auto connecting = std::async(std::launch::async, [&] { return live.connect(); });
    ASSERT_TRUE(fake.waitForRequests(4, 5s));
    live.interrupt();
    ASSERT_EQ(connecting.wait_for(3s), std::future_status::ready);
    EXPECT_EQ(connecting.get(), net::ConnectOutcome::Interrupted);
    live.close();
}

}  // namespace
}  // namespace ambro::live
