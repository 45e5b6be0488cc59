// The client's playback window, offscreen, against the simulated
// installation: the opening, a day, a file, playing and seeking.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QSlider>
#include <QTreeWidget>
#include <cstdlib>
#include <functional>
#include <thread>

#include "app/MessageBox.h"
#include "playback/view/PictureView.h"
#include "playback/view/PlaybackDialog.h"
#include "tests/sim/SimHarness.h"
#include "tests/support/ProcessUntil.h"
#include "tools/sim/LocalTime.h"

namespace ambro::test {
namespace {

using namespace std::chrono_literals;

// The simulator's first pictures may take longer than a fake's.
bool waitUntil(const std::function<bool()>& condition, std::chrono::milliseconds timeout = 10s) {
    return processUntil(condition, timeout);
}

// The day item of the tree for a YYYYMMDD day.
QTreeWidgetItem* dayItem(playback::PlaybackDialog& dialog, std::uint32_t day) {
    const QString year = QString::number(day / 10000);
    const QString month = QString("%1").arg(day / 100 % 100, 2, 10, QChar('0'));
    const QString date = QString("%1").arg(day % 100, 2, 10, QChar('0'));
    QTreeWidgetItem* root = dialog.dayTree()->topLevelItem(0);
    for (int y = 0; root && y < root->childCount(); ++y) {
        QTreeWidgetItem* yearItem = root->child(y);
        for (int m = 0; yearItem->text(0) == year && m < yearItem->childCount(); ++m) {
            QTreeWidgetItem* monthItem = yearItem->child(m);
            for (int d = 0; monthItem->text(0) == month && d < monthItem->childCount(); ++d) {
                if (monthItem->child(d)->text(0) == date) return monthItem->child(d);
            }
        }
    }
    return nullptr;
}

class PlaybackWindow : public testing::Test {
protected:
    void SetUp() override {
        previous = app::setMessageHandler(
            [this](QWidget*, const QString& text) { messages.push_back(text.toStdString()); });
        playback::PlaybackSettings settings;
        settings.host = "127.0.0.1";
        settings.port = std::to_string(sim.playbackPort());
        settings.user = "admin";
        settings.password = "1234";
        settings.snapshotFolder = std::filesystem::temp_directory_path();
        dialog = std::make_unique<playback::PlaybackDialog>(settings);
        dialog->resize(640, 560);
        dialog->show();
    }
    void TearDown() override {
        dialog.reset();
        app::setMessageHandler(previous);
    }

    SimHarness sim;
    std::unique_ptr<playback::PlaybackDialog> dialog;
    std::vector<std::string> messages;
    app::MessageHandler previous;
};

TEST_F(PlaybackWindow, PlaysARecordedFileAndSeeksInIt) {
    const auto& cameras = sim.installation().cameras();
    ASSERT_TRUE(waitUntil([&] { return dialog->cameraList()->count() == cameras.count(); }));
    EXPECT_EQ(dialog->cameraList()->itemText(0).toStdString(), cameras.camera(0).name);

    const std::uint32_t day = sim.installation().recordings().daysOf(0, sim::Clock::now()).front();
    QTreeWidgetItem* item = dayItem(*dialog, day);
    ASSERT_TRUE(item);
    emit dialog->dayTree()->itemClicked(item, 0);
    QTreeWidget* files = dialog->fileList();
    ASSERT_EQ(files->topLevelItemCount(), 24);
    QTreeWidgetItem* morning = files->topLevelItem(8);
    EXPECT_EQ(morning->text(0), "08:00:00");
    files->setCurrentItem(morning);
    emit files->itemClicked(morning, 0);

    dialog->playAction()->trigger();
    ASSERT_TRUE(waitUntil([&] { return dialog->pictureView()->drawnPictures() > 5; }));
    EXPECT_EQ(dialog->pictureView()->picture().width, 352);
    const QString date = QString("%1/%2/%3 08:00:0")
                             .arg(day / 10000)
                             .arg(day / 100 % 100, 2, 10, QChar('0'))
                             .arg(day % 100, 2, 10, QChar('0'));
    EXPECT_TRUE(dialog->timeText()->text().startsWith(date)) << dialog->timeText()->text().toStdString();

    dialog->slider()->setValue(dialog->slider()->maximum() / 2);
    ASSERT_TRUE(waitUntil([&] { return dialog->timeText()->text().contains(" 08:05:"); }))
        << dialog->timeText()->text().toStdString();
    if (const char* screenshot = std::getenv("AMBRO_SIM_SCREENSHOT")) dialog->grab().save(screenshot);

    const auto exited = std::chrono::steady_clock::now();
    dialog->exitAction()->trigger();
    EXPECT_LT(std::chrono::steady_clock::now() - exited, 5s);
    EXPECT_TRUE(messages.empty());
}

}  // namespace
}  // namespace ambro::test
