#include <gtest/gtest.h>

#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>
#include <algorithm>
#include <unistd.h>

#include "live/view/InputMonitorDialog.h"
#include "live/view/LivePictureWidget.h"
#include "platform/ByteOrder.h"
#include "tests/live/view/WindowHarness.h"

namespace ambro::live {
namespace {

using namespace std::chrono_literals;
using test::Bytes;
using test::clickButton;
using test::processUntil;

class LiveWindow : public testing::Test {
protected:
    void TearDown() override {
        dialog.reset();
        std::filesystem::remove_all(snapshots);
    }

    void open(const net::SessionEndpoint& endpoint) {
        dialog = std::make_unique<LiveViewDialog>(
            test::windowSettings(endpoint, snapshots),
            [this](QWidget*, const QString& text) { messages.push_back(text.toStdString()); });
        dialog->show();
    }
    // A picture that the window shows: a stream that restarts with a
    // dependent picture shows nothing sensible until its next key picture.
    static bool shown(const test::PictureGrab& grab) {
        return grab.drawnPixels > 176 * 144 && grab.foregroundPixels > grab.drawnPixels * 9 / 10 &&
               grab.topBrightness + 40 < grab.bottomBrightness;
    }
    bool ready() const { return dialog->toolbarModel().visibleToolbar().has_value(); }
    std::vector<std::filesystem::path> snapshotFiles() const {
        std::vector<std::filesystem::path> files;
        std::error_code error;
        for (const auto& entry : std::filesystem::directory_iterator(snapshots, error)) {
            files.push_back(entry.path());
        }
        return files;
    }
    // From the camera functions: a snapshot through the image toolbar, then
    // the force-output page of an I/O module.
    void snapshotThenForceOutput(const std::string& module) {
        ASSERT_TRUE(clickButton(*dialog, "Back to Camera Function"));
        ASSERT_TRUE(clickButton(*dialog, "Image Function"));
        ASSERT_TRUE(clickButton(*dialog, "Image Snapshot"));
        EXPECT_TRUE(processUntil([&] { return snapshotFiles().size() == 1; }));

        ASSERT_TRUE(clickButton(*dialog, "Back to Camera Function"));
        ASSERT_TRUE(clickButton(*dialog, "IO Module Setting/Monitor"));
        ASSERT_TRUE(clickButton(*dialog, module));
        ASSERT_TRUE(clickButton(*dialog, "Force Output"));
    }
    // The picture reaches the window and shows upright; then the window
    // closes while pictures stream, promptly and without a message.
    void expectPictureThenPromptClose() {
        // The fixture's top edge is dark and its bars below are bright.
        test::PictureGrab grab;
        EXPECT_TRUE(processUntil([&] {
            grab = test::grabPicture(*dialog);
            return shown(grab);
        })) << grab.drawnPixels << " drawn, " << grab.foregroundPixels << " not background, "
            << grab.topBrightness << " at the top, " << grab.bottomBrightness << " at the bottom";

        const auto start = std::chrono::steady_clock::now();
        dialog->reject();
        EXPECT_LT(std::chrono::steady_clock::now() - start, 2s);
        EXPECT_FALSE(dialog->isVisible());
        EXPECT_TRUE(messages.empty());
    }

    const std::filesystem::path snapshots =
        std::filesystem::temp_directory_path() /
        ("ambro-window-" + std::to_string(::getpid()) + "-" +
         testing::UnitTest::GetInstance()->current_test_info()->name());
    std::vector<std::string> messages;
    std::unique_ptr<LiveViewDialog> dialog;
};

TEST_F(LiveWindow, OlderServerPictureIsShownAndCloseIsPrompt) {
    test::FakeOlderServerScript script;
    script.viewWord = 0b0001;  // "4 Channel", selected at start
    script.frames = test::olderFixtureFrames();
    test::FakeOlderServer server(script);
    open(server.endpoint());
    expectPictureThenPromptClose();
    // The view was selected, then the small size and mid quality were set.
    const auto codes = server.codes();
    const auto select = std::find(codes.begin(), codes.end(), kCameraSelectCode);
    ASSERT_NE(select, codes.end());
    EXPECT_NE(std::find(select, codes.end(), kImageSizeCode), codes.end());
    EXPECT_NE(std::find(select, codes.end(), kQualityCode), codes.end());
    EXPECT_EQ(server.requests()[static_cast<std::size_t>(select - codes.begin())].payload,
              (Bytes{32, 0, 0, 0}));
}

TEST_F(LiveWindow, CurrentServerPictureIsShownAndCloseIsPrompt) {
    auto script = test::FakeLiveServerScript::withCameras(1, 0b1);
    script.videoFrames = test::currentFixtureFrames();
    script.repeatVideo = true;
    test::FakeLiveServer server(script);
    open(server.endpoint());
    expectPictureThenPromptClose();
}

// A tap on a cell with video opens its camera and the next tap goes back to
// the view; the arrow keys move the highlight and Enter opens its camera and
// goes back. Each selection is a camera-select request with the camera or
// the view code.
TEST_F(LiveWindow, TapsAndKeysMoveBetweenTheViewAndItsCameras) {
    test::FakeOlderServerScript script;
    script.viewWord = 0b0001;
    script.cameras = {{0, "Gate"}, {1, "Yard"}, {2, "Dock"}, {3, "Hall"}};
    script.frames = test::olderFixtureFrames();
    test::FakeOlderServer server(script);
    open(server.endpoint());
    const auto selections = [&] {
        std::vector<int> selected;
        for (const auto& request : server.requests()) {
            if (request.code == kCameraSelectCode && request.payload.size() >= 4) {
                selected.push_back(static_cast<int>(platform::loadLe32(request.payload.data())));
            }
        }
        return selected;
    };
    const auto selected = [&](std::vector<int> expected) {
        return processUntil([&] { return selections() == expected; });
    };
    const auto highlighted = [&](int cell) {
        return processUntil([&] { return dialog->navigator().cells().selected() == cell; });
    };
    ASSERT_TRUE(selected({32}));
    ASSERT_TRUE(highlighted(0));  // the first cell with video
    ASSERT_TRUE(processUntil([&] { return !dialog->pictureWidget()->lastDestination().empty(); }));

    const PixelRect picture = dialog->pictureWidget()->lastDestination();
    const QPoint topRight(picture.x + picture.width * 3 / 4, picture.y + picture.height / 4);
    QTest::mouseClick(dialog->pictureWidget(), Qt::LeftButton, {}, topRight);
    EXPECT_TRUE(selected({32, 1}));
    EXPECT_FALSE(dialog->navigator().fullScreen());
    QTest::mouseClick(dialog->pictureWidget(), Qt::LeftButton, {}, topRight);
    EXPECT_TRUE(selected({32, 1, 32}));

    ASSERT_TRUE(highlighted(0));
    QTest::keyClick(dialog.get(), Qt::Key_Down);  // column order: 0, 2
    EXPECT_EQ(dialog->navigator().cells().selected(), 2);
    QTest::keyClick(dialog.get(), Qt::Key_Return);
    EXPECT_TRUE(selected({32, 1, 32, 2}));
    QTest::keyClick(dialog.get(), Qt::Key_Return);
    EXPECT_TRUE(selected({32, 1, 32, 2, 32}));
    EXPECT_TRUE(dialog->isVisible());
    EXPECT_TRUE(messages.empty());
}

TEST_F(LiveWindow, FailedConnectionSaysSoAndCloses) {
    auto script = test::FakeLiveServerScript::withCameras(1, 0b1);
    script.closeOn = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10};
    test::FakeLiveServer server(script);
    open(server.endpoint());
    ASSERT_TRUE(processUntil([&] { return !dialog->isVisible(); }));
    EXPECT_EQ(messages, std::vector<std::string>{"Connected Failed"});
}

// Every button goes through the toolbar model to the session; the bytes are
// those the older server's control connection recorded.
TEST_F(LiveWindow, OlderServerMovePresetSnapshotAndOutput) {
    test::FakeOlderServerScript script;
    script.cameras = {{0, "Gate"}, {2, "Yard"}};
    script.presetCount = 20;
    script.modules = {{4, 9, {"Door"}, {"Siren"}}, {4, 9, {"Hall", "Stair"}, {}}};
    script.frames = test::olderFixtureFrames();
    test::FakeOlderServer server(script);
    open(server.endpoint());
    ASSERT_TRUE(processUntil([&] { return ready() && dialog->cameraList()->count() == 2; }));
    // Without views nothing is selected: choose "Yard", camera index 2.
    EXPECT_EQ(dialog->cameraList()->currentIndex(), -1);
    emit dialog->cameraList()->activated(1);
    ASSERT_TRUE(processUntil([&] { return dialog->controlAnswers().ptz != 0; }));
    const auto recorded = [&](const Bytes& request) {
        return processUntil([&] {
            const auto control = server.control().recorded();
            return std::find(control.begin(), control.end(), request) != control.end();
        });
    };

    ASSERT_TRUE(clickButton(*dialog, "Camera Move Function"));
    ASSERT_TRUE(clickButton(*dialog, "Move Camera Left"));
    EXPECT_TRUE(recorded({54, 1, 0, 2, 1}));  // code 1, camera 2, speed 1

    ASSERT_TRUE(clickButton(*dialog, "Back to Camera Function"));
    ASSERT_TRUE(clickButton(*dialog, "Camera Preset Function"));
    ASSERT_TRUE(clickButton(*dialog, "Go Preset 3"));
    EXPECT_TRUE(recorded({54, 49, 0, 2, 1}));
    ASSERT_TRUE(clickButton(*dialog, "Next"));
    ASSERT_TRUE(clickButton(*dialog, "Next"));
    ASSERT_TRUE(clickButton(*dialog, "Go Preset else"));
    EXPECT_EQ(dialog->presetList()->count(), 4);  // presets 17 to 20
    EXPECT_TRUE(dialog->presetList()->isVisible());
    emit dialog->presetList()->activated(0);
    EXPECT_TRUE(recorded({54, 14, 16, 2, 3}));  // preset 17, speed 3
    EXPECT_FALSE(dialog->presetList()->isVisible());

    ASSERT_TRUE(clickButton(*dialog, "Next"));  // back to page 1, which has the way out
    ASSERT_NO_FATAL_FAILURE(snapshotThenForceOutput("IO Module 2"));
    ASSERT_TRUE(processUntil([&] { return dialog->controlAnswers().io != 0; }));
    ASSERT_TRUE(clickButton(*dialog, "Force Output 3"));
    EXPECT_TRUE(recorded({100, 1, 33}));  // module 2, output 3
    EXPECT_TRUE(messages.empty());
}

// The texts of a tree item's children.
std::vector<std::string> childTexts(const QTreeWidgetItem* item) {
    std::vector<std::string> texts;
    for (int i = 0; item && i < item->childCount(); ++i) {
        texts.push_back(item->child(i)->text(0).toStdString());
    }
    return texts;
}

TEST_F(LiveWindow, InputMonitorListsTheAlarmsOfItsModules) {
    test::FakeOlderServerScript script;
    script.modules = {{4, 2, {"Door"}, {}}, {4, 2, {"Hall", "Stair", "Roof", "Cellar"}, {}}};
    script.alarmMasks[1] = 0b1001;  // inputs 1 and 4 of module 2
    script.alarmTime = test::fakeFrameTime(0);
    test::FakeOlderServer server(script);
    open(server.endpoint());
    ASSERT_TRUE(processUntil([&] { return ready() && dialog->cameraList()->count() == 2; }));
    // The camera's capability word offers the I/O pages.
    emit dialog->cameraList()->activated(0);
    ASSERT_TRUE(processUntil([&] { return clickButton(*dialog, "IO Module Setting/Monitor"); }));
    ASSERT_TRUE(clickButton(*dialog, "IO Module 2"));

    // The monitor runs modally: a timer looks at it and leaves it by "Exit"
    // once two alarms are listed, or after five seconds.
    std::string title, root;
    std::vector<std::string> dates, times, alarms;
    bool toolbarShown = true;
    int looks = 0;
    QTimer look;
    QObject::connect(&look, &QTimer::timeout, [&] {
        InputMonitorDialog* monitor = dialog->inputMonitor();
        if (!monitor) return;
        title = monitor->windowTitle().toStdString();
        toolbarShown = dialog->toolbarModel().visibleToolbar().has_value();
        const QTreeWidgetItem* top = monitor->tree()->topLevelItem(0);
        root = top ? top->text(0).toStdString() : "";
        dates = childTexts(top);
        const QTreeWidgetItem* date = top && top->childCount() ? top->child(0) : nullptr;
        times = childTexts(date);
        alarms = childTexts(date && date->childCount() ? date->child(0) : nullptr);
        if (alarms.size() >= 2 || ++looks > 250) monitor->exitButton()->click();
    });
    look.start(20);
    ASSERT_TRUE(clickButton(*dialog, "Get Input"));
    look.stop();

    EXPECT_EQ(title, "IO Control");
    EXPECT_FALSE(toolbarShown);
    EXPECT_EQ(root, "Alarm");
    EXPECT_EQ(dates, std::vector<std::string>{"2024/01/05"});
    EXPECT_EQ(times, std::vector<std::string>{"08:30:00"});
    ASSERT_GE(alarms.size(), 2u);
    EXPECT_EQ(alarms[0], "(Module 02)Hall");
    EXPECT_EQ(alarms[1], "(Module 02)Cellar");
    EXPECT_TRUE(server.waitForCode(20));  // alarm polls
    EXPECT_EQ(dialog->toolbarModel().visibleToolbar(), ToolbarId::Input);
}

std::vector<Bytes> passThroughPackets(const test::FakeLiveServer& server) {
    std::vector<Bytes> packets;
    for (const auto& request : server.requests()) {
        if (request.connection == 0 && request.head.command == 50) {
            packets.emplace_back(request.bytes.begin() + 20, request.bytes.end());
        }
    }
    return packets;
}

TEST_F(LiveWindow, CurrentServerMovePresetSnapshotAndOutput) {
    auto script = test::FakeLiveServerScript::withCameras(1, 0b1);
    script.ptzRecord = test::FakeLiveServerScript::ptzRecordFor(true, 7, 0, 3, "Pelco-D");
    platform::storeLe32(script.information.data() + 8, 1);  // outputs named
    platform::storeLe16(script.description.data() + 14, 4);  // four of them
    script.videoFrames = test::currentFixtureFrames();
    script.repeatVideo = true;
    test::FakeLiveServer server(script);
    open(server.endpoint());
    ASSERT_TRUE(processUntil([&] { return ready() && dialog->cameraList()->count() == 1; }));

    ASSERT_TRUE(clickButton(*dialog, "Camera Move Function"));
    ASSERT_TRUE(clickButton(*dialog, "Move Camera Left"));
    ASSERT_TRUE(processUntil([&] { return passThroughPackets(server).size() >= 2; }));
    auto packets = passThroughPackets(server);
    EXPECT_EQ(packets[0], (Bytes{0xFF, 0x01, 0x00, 0x04, 0x20, 0x00, 0x25}));  // start
    EXPECT_EQ(packets[1], (Bytes{0xFF, 0x01, 0x00, 0x00, 0x00, 0x00, 0x01}));  // stop

    ASSERT_TRUE(clickButton(*dialog, "Back to Camera Function"));
    ASSERT_TRUE(clickButton(*dialog, "Camera Preset Function"));
    ASSERT_TRUE(clickButton(*dialog, "Go Preset 2"));
    ASSERT_TRUE(processUntil([&] { return passThroughPackets(server).size() >= 3; }));
    EXPECT_EQ(passThroughPackets(server)[2], (Bytes{0xFF, 0x01, 0x00, 0x07, 0x00, 0x02, 0x0A}));

    ASSERT_NO_FATAL_FAILURE(snapshotThenForceOutput("IO Module 1"));
    ASSERT_TRUE(clickButton(*dialog, "Force Output 3"));
    std::vector<std::pair<int, int>> pulses;
    ASSERT_TRUE(processUntil([&] {
        pulses.clear();
        for (const auto& request : server.requests()) {
            if (request.connection == 0 && request.head.command == 68) {
                pulses.emplace_back(platform::loadLe16(request.bytes.data() + 16),
                                    platform::loadLe16(request.bytes.data() + 18));
            }
        }
        return pulses.size() >= 2;
    }));
    EXPECT_EQ(pulses, (std::vector<std::pair<int, int>>{{2, 1}, {2, 0}}));  // output 3 on, off
    EXPECT_TRUE(messages.empty());
}

}  // namespace
}  // namespace ambro::live
