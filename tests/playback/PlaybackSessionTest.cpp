#include <gtest/gtest.h>

#include <thread>

#include "platform/ByteOrder.h"
#include "playback/PlaybackMessage.h"
#include "playback/PlaybackSession.h"
#include "tests/playback/PlaybackTestSupport.h"
#include "tests/support/Mpeg4Fixtures.h"
#include "tests/support/TurboJpeg.h"

namespace ambro::playback {
namespace {

using namespace std::chrono_literals;
using platform::loadLe16;
using platform::loadLe32;
using test::Bytes;
using test::FakePlaybackScript;
using test::FakePlaybackServer;

const platform::DateTime kSnapshotTime{2024, 1, 5, 5, 8, 30, 0, 250};

class PlaybackSessionTest : public testing::Test {
protected:
    PlaybackSettings settingsFor(const FakePlaybackServer& server) {
        PlaybackSettings settings;
        settings.host = "127.0.0.1";
        settings.port = server.portText();
        settings.user = "admin";
        settings.password = "secret";
        settings.databaseType = 1;
        settings.snapshotFolder = folder.path() / "SnapShot";
        settings.clock = [] { return kSnapshotTime; };
        return settings;
    }
    std::unique_ptr<PlaybackSession> openSession(const FakePlaybackServer& server) {
        auto session = std::make_unique<PlaybackSession>(settingsFor(server), observer);
        EXPECT_EQ(session->openNow(), opening::kOpen);
        return session;
    }
    // Opens the session and chooses the first row of day 2024-01-05.
    std::unique_ptr<PlaybackSession> sessionWithFile(const FakePlaybackServer& server) {
        auto session = openSession(server);
        const auto rows = session->chooseDay({"2024", "01", "05"});
        EXPECT_TRUE(rows && !rows->empty());
        if (rows && !rows->empty()) {
            EXPECT_TRUE(session->chooseFile(rows->front()));
        }
        return session;
    }
    // Runs the pacing tick until playback finishes (bounded); records for
    // each request how many frames were outstanding when it was made.
    void paceToTheEnd(PlaybackSession& session, std::vector<int>* outstanding = nullptr) {
        for (int tick = 0; tick < 1000; ++tick) {
            const int next = session.nextFrame();
            const PaceResult result = session.pace();
            if (result == PaceResult::Finished) return;
            if (result == PaceResult::Requested && outstanding) {
                outstanding->push_back(next - session.shownFrames());
            }
            std::this_thread::sleep_for(5ms);
        }
        ADD_FAILURE() << "playback did not finish";
    }

    test::TemporaryFolder folder;
    test::RecordingObserver observer;
    test::ReplyTimeoutScope timeout{2s};
};

TEST_F(PlaybackSessionTest, OpeningLogsInAndListsTheNamedCameras) {
    FakePlaybackServer server;
    PlaybackSession session(settingsFor(server), observer);
    session.start();
    ASSERT_TRUE(observer.waitFor([&] { return !observer.openings.empty(); }));
    EXPECT_EQ(observer.read([&] { return observer.openings; }), std::vector<int>{opening::kOpen});
    EXPECT_EQ(session.cameras(), (std::vector<CameraEntry>{{1, "Gate"}, {3, "Yard"}}));
    EXPECT_EQ(session.cameraNumber(), 1);
    EXPECT_EQ(session.recordingDays(), (std::vector<std::uint32_t>{20240101, 20240105}));

    const auto messages = server.messages();
    ASSERT_EQ(messages.size(), 2u + 32u + 1u);
    EXPECT_EQ(messages[0].group, 4);
    EXPECT_EQ(messages[0].command, 0);
    EXPECT_EQ(messages[1].command, 4);
    const std::string credentials(messages[1].bytes.begin() + 72, messages[1].bytes.end());
    EXPECT_EQ(credentials, encodeCredentials("admin", "secret"));
    for (int camera = 1; camera <= 32; ++camera) {
        const auto& request = messages[1 + camera].bytes;
        EXPECT_EQ(request[64], camera);
        EXPECT_EQ(request[66], 1) << "database type";
    }
    EXPECT_EQ(messages.back().bytes[64], 1) << "the days of the current camera";
}

TEST_F(PlaybackSessionTest, TheFirstNamedCameraIsTheCurrentOne) {
    FakePlaybackScript script;
    script.cameraNames = {"", "", "", "Dock"};
    FakePlaybackServer server(script);
    auto session = openSession(server);
    EXPECT_EQ(session->cameraNumber(), 4);
    EXPECT_EQ(server.messages().back().bytes[64], 4);
}

TEST_F(PlaybackSessionTest, EachFailedOpeningStepHasItsStatusAndMessage) {
    test::ReplyTimeoutScope shortTimeout{300ms};
    std::uint16_t closedPort = 0;
    {
        FakePlaybackServer probe;
        closedPort = probe.port();
    }
    struct Case {
        const char* name;
        std::function<void(FakePlaybackScript&)> change;
        std::function<void(PlaybackSettings&)> settingsChange;
        int status;
        const char* message;
    };
    const Case cases[] = {
        {"unknown host", nullptr, [](auto& s) { s.host = "no-such-host.invalid"; }, 5, "Network Error"},
        {"refused connect", nullptr, [&](auto& s) { s.port = std::to_string(closedPort); }, 6,
         "Connect Failed"},
        {"silent work path", [](auto& s) { s.unanswered = {{4, 0}}; }, nullptr, 7,
         "Send WorkPath Error"},
        {"work path answered by another reply",
         [](auto& s) { s.rawReplies[{4, 0}] = test::framed(test::playbackMessage(4, 4, 104)); },
         nullptr, 7, "Send WorkPath Error"},
        {"version 4", [](auto& s) { s.version = 4; }, nullptr, 8, "Server Version Error"},
        {"login refused", [](auto& s) { s.loginAccepted = false; }, nullptr, 9, "Login Failed"},
        {"empty password", nullptr, [](auto& s) { s.password.clear(); }, 9, "Login Failed"},
        {"silent camera request", [](auto& s) { s.unanswered = {{5, 17}}; }, nullptr, 10,
         "Open DB Failed"},
        {"short camera reply",
         [](auto& s) { s.rawReplies[{5, 17}] = test::framed(test::playbackMessage(5, 17, 100)); },
         nullptr, 10, "Open DB Failed"},
    };
    for (const auto& c : cases) {
        FakePlaybackScript script;
        if (c.change) c.change(script);
        FakePlaybackServer server(script);
        PlaybackSettings settings = settingsFor(server);
        if (c.settingsChange) c.settingsChange(settings);
        test::RecordingObserver quiet;
        PlaybackSession session(settings, quiet);
        EXPECT_EQ(session.openNow(), c.status) << c.name;
        EXPECT_EQ(openingFailureMessage(c.status), c.message) << c.name;
        session.close();
        EXPECT_EQ(quiet.endings, 0) << c.name << ": the opening's message is the only one";
    }
}

TEST_F(PlaybackSessionTest, VersionFiveIsAcceptedAndAnEmptyPasswordIsNeverSent) {
    FakePlaybackScript script;
    script.version = 5;
    FakePlaybackServer server(script);
    openSession(server);

    FakePlaybackServer other;
    PlaybackSettings settings = settingsFor(other);
    settings.password.clear();
    PlaybackSession session(settings, observer);
    EXPECT_EQ(session.openNow(), opening::kLoginFailed);
    EXPECT_TRUE(other.messagesOf(4, 4).empty());
}

TEST_F(PlaybackSessionTest, RecordingDaysEndAtTheFirstZero) {
    FakePlaybackScript script;
    script.recordingDays = {20240101, 0, 20240105};
    FakePlaybackServer server(script);
    auto session = openSession(server);
    EXPECT_EQ(session->recordingDays(), std::vector<std::uint32_t>{20240101});
    EXPECT_EQ(buildDayTree(session->recordingDays()).days().size(), 1u);
}

TEST_F(PlaybackSessionTest, CameraChangeAsksForThatCamerasDays) {
    FakePlaybackServer server;
    auto session = openSession(server);
    ASSERT_TRUE(session->selectCamera(3));
    EXPECT_EQ(session->cameraNumber(), 3);
    EXPECT_EQ(server.messages().back().bytes[64], 3);
    ASSERT_TRUE(session->chooseDay({"2024", "01", "05"}));
    const auto day = server.messagesOf(5, 2).back().bytes;
    EXPECT_EQ(loadLe32(day.data() + 68), FakePlaybackScript{}.databaseReference + 3);
}

TEST_F(PlaybackSessionTest, DayAndFileChoicesCarryTheDayTheTimeAndTheDaylightFlag) {
    FakePlaybackServer server;
    auto session = openSession(server);
    const auto rows = session->chooseDay({"2024", "01", "05"});
    ASSERT_TRUE(rows);
    EXPECT_EQ(*rows, (std::vector<TimeCodeRow>{{"08:30:00", false}, {"12:34:56DST", true}}));
    const auto day = server.messagesOf(5, 2).back().bytes;
    EXPECT_EQ(loadLe32(day.data() + 64), 20240105u);
    EXPECT_EQ(loadLe32(day.data() + 68), FakePlaybackScript{}.databaseReference + 1);
    EXPECT_EQ(day[72], 1);

    struct Case {
        TimeCodeRow row;
        platform::DateTime time;
        std::uint8_t daylight;
    };
    const Case cases[] = {
        {(*rows)[1], {2024, 1, 0, 5, 12, 34, 56, 1}, 1},
        {(*rows)[0], {2024, 1, 0, 5, 8, 30, 0, 1}, 0},
    };
    for (const auto& c : cases) {
        ASSERT_TRUE(session->chooseFile(c.row));
        const auto file = server.messagesOf(5, 8).back().bytes;
        EXPECT_EQ(platform::DateTime::fromBytes(file.data() + 68), c.time) << c.row.text;
        EXPECT_EQ(file[84], 1);
        EXPECT_EQ(file[85], c.daylight) << c.row.text;
        EXPECT_EQ(session->filePath(), FakePlaybackScript{}.filePath);
    }
    EXPECT_FALSE(session->chooseFile({"", false}));
}

TEST_F(PlaybackSessionTest, TwentyFiveFramesAreAskedForAsTenTenAndFive) {
    FakePlaybackServer server;
    auto session = sessionWithFile(server);
    ASSERT_EQ(session->play(), PlayResult::Started);
    EXPECT_EQ(server.messagesOf(0, 0).back().bytes.size(), 72u + FakePlaybackScript{}.filePath.size());
    std::vector<int> outstanding;
    paceToTheEnd(*session, &outstanding);
    const auto requests = server.frameRequests();
    ASSERT_EQ(requests.size(), 3u);
    EXPECT_EQ(requests[0].front(), 0);
    EXPECT_EQ(requests[0].size(), 10u);
    EXPECT_EQ(requests[1].front(), 10);
    EXPECT_EQ(requests[1].size(), 10u);
    EXPECT_EQ(requests[2].front(), 20);
    EXPECT_EQ(requests[2].size(), 5u);
    for (const int count : outstanding) EXPECT_LT(count, PlaybackSession::kLowWater);
    EXPECT_EQ(session->shownFrames(), 25);
    EXPECT_FALSE(session->playing());
    const auto request = server.messagesOf(0, 3).front().bytes;
    EXPECT_EQ(loadLe32(request.data() + 72), FakePlaybackScript{}.file.handle);
    EXPECT_EQ(platform::DateTime::fromBytes(request.data() + 80),
              (platform::DateTime{2024, 1, 0, 5, 8, 30, 0, 1}));
}

TEST_F(PlaybackSessionTest, SeekRestartsAtTheKeyFrameAtOrBelowTheServersFrame) {
    FakePlaybackScript script;
    script.file.frameCount = 100;
    script.file.lastTime = {2024, 1, 5, 5, 8, 30, 4, 0};
    script.file.keyFrames = {0, 30, 60};
    script.seekFrames = {57, 75};
    FakePlaybackServer server(script);
    auto session = sessionWithFile(server);
    ASSERT_EQ(session->play(), PlayResult::Started);

    struct Case {
        int position;
        int restart;
        platform::DateTime target;
    };
    const Case cases[] = {{50, 30, {2024, 1, 5, 5, 8, 30, 2, 0}},
                          {75, 60, {2024, 1, 5, 5, 8, 30, 3, 0}}};
    for (const auto& c : cases) {
        ASSERT_EQ(session->seek(c.position), SeekResult::Restarted);
        EXPECT_EQ(session->nextFrame(), c.restart);
        EXPECT_EQ(session->shownFrames(), c.restart);
        EXPECT_FALSE(session->paused());
        const auto seek = server.messagesOf(0, 5).back().bytes;
        EXPECT_EQ(loadLe32(seek.data() + 68), script.file.handle);
        EXPECT_EQ(platform::DateTime::fromBytes(seek.data() + 72), c.target);
    }
    ASSERT_EQ(session->pace(), PaceResult::Requested);
    ASSERT_TRUE(server.waitForMessages(0, 3, 2));
    EXPECT_EQ(server.frameRequests().back().front(), 60);
}

TEST_F(PlaybackSessionTest, PausedPlaybackAsksForNothingUntilResumed) {
    FakePlaybackServer server;
    auto session = sessionWithFile(server);
    ASSERT_EQ(session->play(), PlayResult::Started);
    EXPECT_EQ(session->play(), PlayResult::PauseToggled);
    EXPECT_TRUE(session->paused());
    for (int tick = 0; tick < 50; ++tick) {
        EXPECT_NE(session->pace(), PaceResult::Requested);
        std::this_thread::sleep_for(5ms);
    }
    EXPECT_EQ(server.frameRequests().size(), 1u);
    EXPECT_EQ(session->play(), PlayResult::PauseToggled);
    paceToTheEnd(*session);
    EXPECT_EQ(session->shownFrames(), 25);
}

TEST_F(PlaybackSessionTest, StopClosesTheFileAndExchangesTheWorkPathAgain) {
    FakePlaybackServer server;
    auto session = sessionWithFile(server);
    ASSERT_EQ(session->play(), PlayResult::Started);
    EXPECT_TRUE(session->stop());
    EXPECT_FALSE(session->playing());
    const auto close = server.messagesOf(0, 1);
    ASSERT_EQ(close.size(), 1u);
    EXPECT_EQ(loadLe32(close[0].bytes.data() + 64), FakePlaybackScript{}.file.handle);
    EXPECT_EQ(server.messagesOf(4, 0).size(), 2u);
    // Stopped twice: no handle is left to close.
    EXPECT_TRUE(session->stop());
    EXPECT_EQ(server.messagesOf(0, 1).size(), 1u);
}

TEST_F(PlaybackSessionTest, AFileTheServerCannotOpenIsReportedAsSuch) {
    FakePlaybackScript script;
    script.file.handle = 0;
    FakePlaybackServer server(script);
    auto session = sessionWithFile(server);
    EXPECT_EQ(session->play(), PlayResult::FileNotOpened);
    EXPECT_FALSE(session->playing());
    EXPECT_TRUE(server.frameRequests().empty());
}

TEST_F(PlaybackSessionTest, PicturesOf176PixelsGetEveryOddRowFromTheEvenRowBelow) {
    FakePlaybackScript script;
    script.file.payloads = test::fixturePayloads("mpeg4/libxvid_176x144_bf0.m4v");
    FakePlaybackServer server(script);
    auto session = sessionWithFile(server);
    ASSERT_EQ(session->play(), PlayResult::Started);
    ASSERT_TRUE(observer.waitFor([&] { return observer.lastShown >= 3; }));
    PictureSlot::Picture picture;
    ASSERT_TRUE(session->pictures().take(picture));
    ASSERT_EQ(picture.width, 176);
    ASSERT_EQ(picture.height, 144);
    const std::size_t stride = 176 * 3;
    for (int row = 0; row < 144; row += 2) {
        ASSERT_TRUE(std::equal(picture.pixels.begin() + row * stride,
                               picture.pixels.begin() + (row + 1) * stride,
                               picture.pixels.begin() + (row + 1) * stride))
            << row;
    }
    EXPECT_GT(session->pictureStatistics().pictures, 0);
}

TEST_F(PlaybackSessionTest, SnapshotsAreNamedByTheLocalTimeAndNeverReplaceOneAnother) {
    FakePlaybackScript script;
    script.file.payloads = test::fixturePayloads("mpeg4/libxvid_176x144_bf0.m4v");
    FakePlaybackServer server(script);
    auto session = sessionWithFile(server);
    ASSERT_EQ(session->play(), PlayResult::Started);
    session->requestSnapshot();
    ASSERT_TRUE(observer.waitFor([&] { return observer.snapshots.size() == 1; }));
    session->requestSnapshot();
    ASSERT_TRUE(observer.waitFor([&] { return observer.snapshots.size() == 2; }));
    const auto snapshots = observer.read([&] { return observer.snapshots; });
    EXPECT_EQ(snapshots[0], folder.path() / "SnapShot" / "20240105083000250.jpg");
    EXPECT_EQ(snapshots[1], folder.path() / "SnapShot" / "20240105083000250_2.jpg");
    int width = 0;
    int height = 0;
    ASSERT_TRUE(test::turboDecodeBgr(test::readFile(snapshots[0].string()), width, height));
    EXPECT_EQ(width, 176);
    EXPECT_EQ(height, 144);
}

TEST_F(PlaybackSessionTest, ABrokenStreamEndsTheSessionWithOneDisconnected) {
    const auto prefixed = [](std::uint8_t first, std::uint32_t length) {
        Bytes bytes(5 + 64, 0);
        bytes[0] = first;
        platform::storeLe32(bytes.data() + 1, length);
        return bytes;
    };
    struct Case {
        const char* name;
        Bytes bytes;
    };
    const Case cases[] = {
        {"prefix byte 1", prefixed(1, 64)},
        {"length 0", prefixed(0, 0)},
        {"length 262137", prefixed(0, 262137)},
        {"length shorter than a header", prefixed(0, 10)},
    };
    for (const auto& c : cases) {
        FakePlaybackScript script;
        script.insteadOfFirstFrames = c.bytes;
        FakePlaybackServer server(script);
        test::RecordingObserver watcher;
        PlaybackSession session(settingsFor(server), watcher);
        ASSERT_EQ(session.openNow(), opening::kOpen);
        const auto rows = session.chooseDay({"2024", "01", "05"});
        ASSERT_TRUE(rows && session.chooseFile(rows->front()));
        ASSERT_EQ(session.play(), PlayResult::Started);
        ASSERT_TRUE(watcher.waitFor([&] { return watcher.endings > 0; })) << c.name;
        EXPECT_TRUE(session.ended());
        EXPECT_EQ(session.pace(), PaceResult::Finished);
        EXPECT_FALSE(session.chooseDay({"2024", "01", "05"}));
        session.close();
        EXPECT_EQ(watcher.endings, 1) << c.name;
    }
}

TEST_F(PlaybackSessionTest, AHeaderOnlyMessageIsSkippedByItsTransportLength) {
    FakePlaybackScript script;
    Bytes headerOnly = test::playbackMessage(0, kHeaderOnlyCommand, 200);
    std::fill(headerOnly.begin() + 64, headerOnly.end(), 0xFF);
    script.beforeFirstFrames = test::framed(headerOnly);
    script.file.payloads = test::fixturePayloads("mpeg4/libxvid_176x144_bf0.m4v");
    FakePlaybackServer server(script);
    auto session = sessionWithFile(server);
    ASSERT_EQ(session->play(), PlayResult::Started);
    ASSERT_TRUE(observer.waitFor([&] { return observer.lastShown >= 1; }));
    EXPECT_GT(session->pictureStatistics().pictures, 0);
    EXPECT_EQ(observer.read([&] { return observer.endings; }), 0);
}

TEST_F(PlaybackSessionTest, AFrameWhosePictureRunsPastItsMessageIsPassedOver) {
    FakePlaybackScript script;
    const auto payloads = test::fixturePayloads("mpeg4/libxvid_176x144_bf0.m4v");
    Bytes overlong = test::frameMessage(payloads[0]);
    platform::storeLe32(overlong.data() + 72, static_cast<std::uint32_t>(payloads[0].size() + 1));
    Bytes frames = test::framed(overlong);
    for (int i = 1; i < 10; ++i) {
        const Bytes frame = test::framed(test::frameMessage(payloads[i % payloads.size()]));
        frames.insert(frames.end(), frame.begin(), frame.end());
    }
    script.insteadOfFirstFrames = frames;
    script.file.payloads = payloads;
    FakePlaybackServer server(script);
    auto session = sessionWithFile(server);
    ASSERT_EQ(session->play(), PlayResult::Started);
    paceToTheEnd(*session);
    EXPECT_EQ(session->shownFrames(), 25);
    EXPECT_EQ(observer.read([&] { return observer.endings; }), 0);
}

TEST_F(PlaybackSessionTest, AReplyThatNeverComesEndsTheSessionAfterTheReplyTimeout) {
    test::ReplyTimeoutScope shortTimeout{300ms};
    FakePlaybackScript script;
    script.unanswered = {{5, 2}};
    FakePlaybackServer server(script);
    auto session = openSession(server);
    EXPECT_FALSE(session->chooseDay({"2024", "01", "05"}));
    ASSERT_TRUE(observer.waitFor([&] { return observer.endings > 0; }));
    EXPECT_TRUE(session->ended());
    session->close();
    EXPECT_EQ(observer.endings, 1);
}

TEST_F(PlaybackSessionTest, CloseEndsAWaitForASilentServerAtOnce) {
    test::ReplyTimeoutScope longTimeout{60s};
    FakePlaybackScript script;
    script.unanswered = {{5, 2}};
    FakePlaybackServer server(script);
    auto session = openSession(server);
    std::optional<std::vector<TimeCodeRow>> rows{std::vector<TimeCodeRow>{}};
    std::thread chooser([&] { rows = session->chooseDay({"2024", "01", "05"}); });
    ASSERT_TRUE(server.waitForMessages(5, 2, 1));
    const auto started = std::chrono::steady_clock::now();
    session->close();
    chooser.join();
    // Far below the reply timeout: the wait was ended, not run out.
    EXPECT_LT(std::chrono::steady_clock::now() - started, 10s);
    EXPECT_FALSE(rows);
    EXPECT_EQ(observer.endings, 0);
}

TEST_F(PlaybackSessionTest, CloseDuringTheOpeningReportsNothing) {
    test::ReplyTimeoutScope longTimeout{60s};
    FakePlaybackScript script;
    script.unanswered = {{4, 0}};
    FakePlaybackServer server(script);
    PlaybackSession session(settingsFor(server), observer);
    session.start();
    ASSERT_TRUE(server.waitForMessages(4, 0, 1));
    const auto started = std::chrono::steady_clock::now();
    session.close();
    EXPECT_LT(std::chrono::steady_clock::now() - started, 10s);
    EXPECT_TRUE(observer.openings.empty());
    EXPECT_EQ(observer.endings, 0);
    EXPECT_TRUE(server.waitForClientGone());
}

}  // namespace
}  // namespace ambro::playback
