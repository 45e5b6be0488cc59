#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QHeaderView>
#include <QLabel>
#include <QSlider>
#include <QTreeWidget>
#include <functional>
#include <thread>

#include "app/MessageBox.h"
#include "platform/Deadline.h"
#include "playback/view/PictureView.h"
#include "playback/view/PlaybackDialog.h"
#include "tests/playback/PlaybackTestSupport.h"
#include "tests/support/ProcessUntil.h"

namespace ambro::playback {
namespace {

using namespace std::chrono_literals;
using test::FakePlaybackScript;
using test::FakePlaybackServer;
using test::processUntil;


FakePlaybackScript filmScript(std::uint32_t frames = 25) {
    FakePlaybackScript script;
    script.file.payloads = test::fixturePayloads("mpeg4/libxvid_176x144_bf0.m4v");
    script.file.frameCount = frames;
    script.file.lastTime = {2024, 1, 5, 5, 8, 30, static_cast<std::uint16_t>(frames / 25), 0};
    return script;
}

class PlaybackDialogTest : public testing::Test {
protected:
    void SetUp() override {
        previous = app::setMessageHandler(
            [this](QWidget*, const QString& text) { messages.push_back(text.toStdString()); });
    }
    void TearDown() override { app::setMessageHandler(previous); }

    std::unique_ptr<PlaybackDialog> openWindow(const FakePlaybackServer& server) {
        PlaybackSettings settings;
        settings.host = "127.0.0.1";
        settings.port = server.portText();
        settings.user = "admin";
        settings.password = "secret";
        settings.snapshotFolder = folder.path();
        auto dialog = std::make_unique<PlaybackDialog>(settings);
        dialog->show();
        return dialog;
    }
    // Opens the window, waits for the opening and chooses the first file of
    // 2024-01-05.
    std::unique_ptr<PlaybackDialog> windowWithFile(const FakePlaybackServer& server) {
        auto dialog = openWindow(server);
        EXPECT_TRUE(processUntil([&] { return dialog->cameraList()->count() > 0; }));
        QTreeWidgetItem* day = findDay(*dialog, "2024", "01", "05");
        EXPECT_TRUE(day);
        if (!day) return dialog;
        emit dialog->dayTree()->itemClicked(day, 0);
        QTreeWidget* files = dialog->fileList();
        EXPECT_GT(files->topLevelItemCount(), 0);
        if (files->topLevelItemCount() == 0) return dialog;
        files->setCurrentItem(files->topLevelItem(0));
        emit files->itemClicked(files->topLevelItem(0), 0);
        return dialog;
    }
    static QTreeWidgetItem* findDay(PlaybackDialog& dialog, const char* year, const char* month,
                                    const char* day) {
        QTreeWidgetItem* root = dialog.dayTree()->topLevelItem(0);
        for (int y = 0; y < root->childCount(); ++y) {
            QTreeWidgetItem* yearItem = root->child(y);
            for (int m = 0; m < yearItem->childCount(); ++m) {
                QTreeWidgetItem* monthItem = yearItem->child(m);
                for (int d = 0; d < monthItem->childCount(); ++d) {
                    QTreeWidgetItem* dayItem = monthItem->child(d);
                    if (yearItem->text(0) == year && monthItem->text(0) == month &&
                        dayItem->text(0) == day) {
                        return dayItem;
                    }
                }
            }
        }
        return nullptr;
    }

    test::TemporaryFolder folder;
    std::vector<std::string> messages;
    app::MessageHandler previous;
};

TEST_F(PlaybackDialogTest, ShowsTheControlsOfTheWindow) {
    FakePlaybackServer server;
    auto dialog = openWindow(server);
    EXPECT_EQ(dialog->windowTitle(), "RPB");
    ASSERT_EQ(dialog->dayTree()->topLevelItemCount(), 1);
    EXPECT_EQ(dialog->dayTree()->topLevelItem(0)->text(0), "Rpb Date");
    EXPECT_EQ(dialog->fileList()->headerItem()->text(0), "Time");
    EXPECT_EQ(dialog->fileList()->columnWidth(0), 160);
    EXPECT_EQ(dialog->timeText()->height(), 15);
    EXPECT_FALSE(dialog->slider()->isEnabled());
    const std::pair<QAction*, const char*> commands[] = {
        {dialog->playAction(), "Play Selected File"}, {dialog->pauseAction(), "Pause Play"},
        {dialog->stopAction(), "Stop Play File"},     {dialog->exitAction(), "Exit Rpb"},
        {dialog->snapshotAction(), "Snapshot"}};
    for (const auto& [action, tip] : commands) EXPECT_EQ(action->toolTip(), tip);
    EXPECT_TRUE(dialog->playAction()->isVisible());
    EXPECT_FALSE(dialog->pauseAction()->isVisible());

    ASSERT_TRUE(processUntil([&] { return dialog->cameraList()->count() == 2; }));
    EXPECT_EQ(dialog->cameraList()->itemText(1), "Yard");
    EXPECT_TRUE(findDay(*dialog, "2024", "01", "01"));
    EXPECT_TRUE(findDay(*dialog, "2024", "01", "05"));
}

TEST_F(PlaybackDialogTest, PlaysAFileFromTheServerAndStopsAndExitsPromptly) {
    FakePlaybackServer server(filmScript(100));
    auto dialog = windowWithFile(server);
    ASSERT_EQ(dialog->fileList()->topLevelItem(1)->text(0), "12:34:56DST");
    dialog->playAction()->trigger();
    EXPECT_TRUE(dialog->pauseAction()->isVisible());
    EXPECT_FALSE(dialog->playAction()->isVisible());
    EXPECT_FALSE(dialog->dayTree()->isEnabled());
    EXPECT_EQ(dialog->slider()->maximum(), 100);

    ASSERT_TRUE(processUntil([&] { return dialog->slider()->value() >= 30; }));
    EXPECT_TRUE(processUntil([&] { return dialog->pictureView()->drawnPictures() > 0; }));
    EXPECT_EQ(dialog->pictureView()->picture().width, 176);
    EXPECT_TRUE(dialog->timeText()->text().startsWith("2024/01/05 08:30:0"))
        << dialog->timeText()->text().toStdString();

    const auto stopped = std::chrono::steady_clock::now();
    dialog->stopAction()->trigger();
    EXPECT_LT(std::chrono::steady_clock::now() - stopped, 5s);
    EXPECT_FALSE(dialog->session().playing());
    EXPECT_TRUE(dialog->playAction()->isVisible());
    EXPECT_FALSE(dialog->slider()->isEnabled());
    EXPECT_TRUE(dialog->dayTree()->isEnabled());
    EXPECT_TRUE(dialog->timeText()->text().isEmpty());
    EXPECT_EQ(server.messagesOf(0, 1).size(), 1u);

    const auto exited = std::chrono::steady_clock::now();
    dialog->exitAction()->trigger();
    EXPECT_LT(std::chrono::steady_clock::now() - exited, 5s);
    EXPECT_FALSE(dialog->isVisible());
    EXPECT_TRUE(server.waitForClientGone());
    EXPECT_TRUE(messages.empty());
}

TEST_F(PlaybackDialogTest, TheSliderSeeksAndPauseHoldsTheRequests) {
    FakePlaybackScript script = filmScript(200);
    script.file.keyFrames = {0, 100};
    script.seekFrames = {150};
    FakePlaybackServer server(script);
    auto dialog = windowWithFile(server);
    dialog->playAction()->trigger();
    ASSERT_TRUE(processUntil([&] { return dialog->slider()->value() >= 2; }));
    dialog->slider()->triggerAction(QAbstractSlider::SliderPageStepAdd);
    ASSERT_TRUE(server.waitForMessages(0, 5, 1));
    EXPECT_EQ(dialog->session().nextFrame() >= 100, true);
    ASSERT_TRUE(processUntil([&] { return dialog->slider()->value() > 100; }));

    dialog->pauseAction()->trigger();
    EXPECT_TRUE(dialog->session().paused());
    EXPECT_TRUE(dialog->playAction()->isVisible());
    const std::size_t requests = server.frameRequests().size();
    processUntil([] { return false; }, 300ms);
    EXPECT_EQ(server.frameRequests().size(), requests);
    dialog->playAction()->trigger();
    EXPECT_FALSE(dialog->session().paused());
    dialog->exitAction()->trigger();
}

TEST_F(PlaybackDialogTest, ExitReturnsPromptlyWhileTheServerIsSilent) {
    FakePlaybackScript script = filmScript();
    script.insteadOfFirstFrames = test::Bytes{};
    FakePlaybackServer server(script);
    auto dialog = windowWithFile(server);
    dialog->playAction()->trigger();
    ASSERT_TRUE(server.waitForMessages(0, 3, 1));
    const auto exited = std::chrono::steady_clock::now();
    dialog->exitAction()->trigger();
    EXPECT_LT(std::chrono::steady_clock::now() - exited, 5s);
    EXPECT_FALSE(dialog->isVisible());
    EXPECT_TRUE(messages.empty());
}

TEST_F(PlaybackDialogTest, AFailedOpeningShowsItsMessageAndCloses) {
    FakePlaybackScript script;
    script.version = 4;
    FakePlaybackServer server(script);
    auto dialog = openWindow(server);
    ASSERT_TRUE(processUntil([&] { return !dialog->isVisible(); }));
    EXPECT_EQ(messages, std::vector<std::string>{"Server Version Error"});
}

TEST_F(PlaybackDialogTest, ABrokenStreamShowsDisconnectedAndCloses) {
    FakePlaybackScript script = filmScript();
    test::Bytes broken(69, 0);
    broken[0] = 1;
    script.insteadOfFirstFrames = broken;
    FakePlaybackServer server(script);
    auto dialog = windowWithFile(server);
    dialog->playAction()->trigger();
    ASSERT_TRUE(processUntil([&] { return !dialog->isVisible(); }));
    EXPECT_EQ(messages, std::vector<std::string>{"Disconnected"});
}

// A server that breaks off, falls silent or sends garbage at a step of the
// opening: the window says what failed and is gone within a second of it.
TEST_F(PlaybackDialogTest, AHostileServerEndsTheOpeningWithItsMessage) {
    using Key = FakePlaybackScript::Key;
    const auto saved = platform::replyTimeout();
    platform::setReplyTimeout(1s);
    test::Bytes garbage(80);
    for (std::size_t i = 0; i < garbage.size(); ++i) garbage[i] = static_cast<std::uint8_t>(7 + 29 * i);
    test::Bytes huge(5 + 64, 0);
    huge[1] = huge[2] = huge[3] = huge[4] = 0xFF;  // a message of 4 GB
    struct Case {
        const char* name;
        std::function<void(FakePlaybackScript&)> fault;
        const char* message;
    };
    const Key workPath{4, 0}, login{4, 4}, camera{5, 17};
    const std::vector<Case> cases = {
        {"a close instead of the work path", [&](auto& s) { s.closeOn = {workPath}; },
         "Send WorkPath Error"},
        {"silence instead of the work path", [&](auto& s) { s.unanswered = {workPath}; },
         "Send WorkPath Error"},
        {"half the log-in reply, then a close", [&](auto& s) { s.truncateOn = {login}; },
         "Login Failed"},
        {"garbage instead of the log-in reply", [&](auto& s) { s.rawReplies[login] = garbage; },
         "Login Failed"},
        {"a camera reply of 4 GB", [&](auto& s) { s.rawReplies[camera] = huge; },
         "Open DB Failed"},
        {"silence instead of a camera", [&](auto& s) { s.unanswered = {camera}; },
         "Open DB Failed"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        messages.clear();
        FakePlaybackScript script;
        c.fault(script);
        FakePlaybackServer server(script);
        auto dialog = openWindow(server);
        EXPECT_TRUE(processUntil([&] { return !messages.empty(); }, 8s));
        const auto messageAt = std::chrono::steady_clock::now();
        EXPECT_TRUE(processUntil([&] { return !dialog->isVisible(); }, 1s));
        dialog.reset();
        EXPECT_LT(std::chrono::steady_clock::now() - messageAt, 1s);
        EXPECT_EQ(messages, std::vector<std::string>{c.message});
    }
    platform::setReplyTimeout(saved);
}

TEST(PictureView, DrawsEachPictureWidthByItsRule) {
    struct Case {
        const char* name;
        QSize area;
        int width, height;
        QRect target;
    };
    const Case cases[] = {
        {"320 in a wide area fills the height", {620, 260}, 320, 240, {(620 - 320) / 2, 10, 320, 240}},
        {"320 in a tall area fills the width", {340, 600}, 320, 240, {10, (600 - 240) / 2, 320, 240}},
        {"176 at its own size", {500, 400}, 176, 144, {162, 128, 176, 144}},
        {"352 fills the width", {724, 600}, 352, 288, {10, (600 - 576) / 2, 704, 576}},
        {"720 fields doubled fill the width", {380, 400}, 720, 576, {10, (400 - 288) / 2, 360, 288}},
        {"other widths are not drawn", {500, 400}, 160, 120, {}},
        {"no room", {20, 400}, 352, 288, {}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(PictureView::targetRect(c.area, c.width, c.height), c.target) << c.name;
    }
}

}  // namespace
}  // namespace ambro::playback
