// Pictures of the live view for the record: run under a display (for
// example Xvfb) with a folder to write them to. The window talks to the
// in-process fake older-generation server, shows its video in the 2 x 2 view,
// the camera move toolbar, the camera-status page and the input monitor with
// alarms.

#include <QApplication>
#include <QComboBox>
#include <QPushButton>
#include <QScreen>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QToolTip>
#include <QTreeWidget>
#include <cstdio>

#include "live/view/InputMonitorDialog.h"
#include "live/view/LivePictureWidget.h"
#include "live/view/LiveToolbarStrip.h"
#include "tests/live/view/WindowHarness.h"

using namespace ambro;
using namespace std::chrono_literals;

namespace {

// What the display shows of a window, its frame and what lies over it (a
// tooltip, a dialog); the widget's own rendering without a display.
QPixmap screenOf(QWidget& window, int margin = 0) {
    QApplication::processEvents();
    QScreen* screen = window.screen();
    if (!screen || QGuiApplication::platformName() == QStringLiteral("offscreen")) {
        return window.grab();
    }
    const QRect area = window.frameGeometry().adjusted(-margin, -margin, margin, margin);
    return screen->grabWindow(0, area.x(), area.y(), area.width(), area.height());
}

bool save(const QPixmap& picture, const QString& folder, const char* name) {
    const QString path = folder + QStringLiteral("/") + QString::fromLatin1(name);
    const bool saved = picture.save(path);
    std::fprintf(stderr, "%s %s\n", saved ? "wrote" : "could not write", qPrintable(path));
    return saved;
}

bool fail(const char* what) {
    std::fprintf(stderr, "%s\n", what);
    return false;
}

bool takePictures(const QString& folder) {
    test::FakeOlderServerScript script;
    script.viewWord = 0b0001;  // the 2 x 2 view, chosen at start
    script.cameras = {{0, "Gate"}, {1, "Yard"}, {2, "Dock"}, {3, "Hall"}};
    script.frames = test::olderFixtureFrames();
    script.presetCount = 20;
    script.modules = {{4, 4, {"Door", "Window"}, {"Siren"}},
                      {4, 9, {"Hall", "Stair", "Roof", "Cellar"}, {"Lamp"}}};
    script.alarmMasks[1] = 0b1001;
    script.alarmTime = test::fakeFrameTime(0);
    // Every status text once on the camera-status page.
    script.statuses[1] = 3;   // camera 2 recording
    script.statuses[4] = 2;   // camera 5 lost
    script.statuses[6] = 1;   // camera 7 inactive
    script.statuses[9] = 4;   // camera 10: connection lost
    test::FakeOlderServer server(script);

    const std::filesystem::path snapshots = std::filesystem::temp_directory_path() / "ambro-shots";
    live::LiveViewDialog dialog(test::windowSettings(server.endpoint(), snapshots),
                                [](QWidget*, const QString& text) {
                                    std::fprintf(stderr, "message: %s\n", qPrintable(text));
                                });
    dialog.move(40, 40);
    dialog.show();
    dialog.activateWindow();
    // A picture of the fixture: its bars below bright, its top dark.
    const auto pictureShown = [&] {
        const test::PictureGrab grab = test::grabPicture(dialog);
        return grab.drawnPixels > 0 && grab.topBrightness + 40 < grab.bottomBrightness;
    };
    if (!test::processUntil(pictureShown, 10s)) return fail("no picture reached the window");
    test::processUntil([] { return false; }, 300ms);
    if (!save(screenOf(dialog), folder, "live-video.png")) return false;

    if (!test::clickButton(dialog, "Camera Move Function")) return fail("no move toolbar");
    test::processUntil([] { return false; }, 200ms);
    QToolBar* moves = dialog.toolbarStrip()->toolbar(live::ToolbarId::MoveSpeed1);
    QWidget* left =
        moves->widgetForAction(dialog.toolbarStrip()->action(live::ToolbarId::MoveSpeed1, 1));
    QToolTip::showText(left->mapToGlobal(QPoint(8, 8)), QStringLiteral("Move Camera Left"), left);
    test::processUntil([] { return false; }, 300ms);
    if (!save(screenOf(dialog, 30), folder, "live-ptz-toolbar.png")) return false;
    QToolTip::hideText();

    test::clickButton(dialog, "Back to Camera Function");
    test::clickButton(dialog, "View Camera Status");
    test::processUntil([] { return false; }, 1200ms);
    if (!save(screenOf(dialog), folder, "live-camera-status.png")) return false;
    test::clickButton(dialog, "View Camera Status");

    if (!test::clickButton(dialog, "IO Module Setting/Monitor") ||
        !test::clickButton(dialog, "IO Module 2")) {
        return fail("no I/O pages");
    }
    bool monitorSaved = false;
    int looks = 0;
    QTimer look;
    QObject::connect(&look, &QTimer::timeout, [&] {
        live::InputMonitorDialog* monitor = dialog.inputMonitor();
        if (!monitor) return;
        const QTreeWidgetItem* root = monitor->tree()->topLevelItem(0);
        const bool listed = root && root->childCount() > 0 && root->child(0)->childCount() > 0 &&
                            root->child(0)->child(0)->childCount() >= 4;
        if (listed && !monitorSaved) {
            monitor->move(dialog.x() + 160, dialog.y() + 80);
            monitorSaved = save(screenOf(*monitor), folder, "live-input-monitor.png");
        }
        if (monitorSaved || ++looks > 300) monitor->exitButton()->click();
    });
    look.start(30);
    test::clickButton(dialog, "Get Input");
    look.stop();
    dialog.reject();
    std::filesystem::remove_all(snapshots);
    return monitorSaved || fail("the input monitor listed no alarms");
}

}  // namespace

int main(int argc, char* argv[]) {
    QApplication application(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s FOLDER\n", argv[0]);
        return 1;
    }
    return takePictures(QString::fromLocal8Bit(argv[1])) ? 0 : 2;
}
