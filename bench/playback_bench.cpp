// Measures remote playback of a D1 recording (704 x 576, 25 pictures/s)
// served on loopback by the fake playback server:
//   1. the session core with the window's 33 ms pacing: the rate pictures
//      are shown at, how far ahead frames are asked for, and whether any
//      picture had to wait for the network;
//   2. the playback window playing the same file: processor time of the
//      whole process (decoding, drawing, the server) and of the window's
//      thread (drawing), as a share of one core;
//   3. one D1 picture decoded, and drawn into a window-sized area.
// With --screenshot PATH the window is grabbed from the screen while it
// plays (run under Xvfb with QT_QPA_PLATFORM=xcb).
#include <sys/resource.h>

#include <QApplication>
#include <QComboBox>
#include <QImage>
#include <QPainter>
#include <QScreen>
#include <QSlider>
#include <QTreeWidget>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "playback/PictureDecoder.h"
#include "playback/PlaybackSession.h"
#include "playback/view/PictureView.h"
#include "playback/view/PlaybackDialog.h"
#include "tests/support/FakePlaybackServer.h"
#include "tests/support/Mpeg4Fixtures.h"
#include "tests/support/PayloadBuilder.h"

namespace {

using namespace std::chrono_literals;
using namespace ambro;
using Clock = std::chrono::steady_clock;

constexpr int kFrames = 250;  // 10 s at 25 pictures/s

std::vector<test::Bytes> d1Payloads() {
    std::vector<test::Bytes> payloads;
    const auto stream = test::readFile(test::fixturePath("mpeg4/bench_704x576.m4v"));
    for (const auto& picture : test::splitIntoPictures(stream)) {
        // Coded top row first, as servers mark it with a flip tail.
        payloads.push_back(
            test::PayloadBuilder(test::PayloadMarker::None, picture.bytes).word(0).flipTail().build());
    }
    return payloads;
}

test::FakePlaybackScript d1Script(const std::vector<test::Bytes>& payloads) {
    test::FakePlaybackScript script;
    script.file.width = 704;
    script.file.height = 576;
    script.file.frameCount = kFrames;
    script.file.firstTime = {2024, 1, 5, 5, 8, 30, 0, 0};
    script.file.lastTime = {2024, 1, 5, 5, 8, 30, kFrames / 25, 0};
    script.file.keyFrames = {};
    for (int key = 0; key < kFrames; key += 10) {
        script.file.keyFrames.push_back(static_cast<std::uint16_t>(key));
    }
    script.file.payloads = payloads;
    return script;
}

double seconds(Clock::duration duration) { return std::chrono::duration<double>(duration).count(); }

double processCpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec +
           (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

double threadCpuSeconds() {
    timespec time{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &time);
    return time.tv_sec + time.tv_nsec / 1e9;
}

double percentile(std::vector<double> values, double share) {
    if (values.empty()) return 0;
    std::sort(values.begin(), values.end());
    return values[static_cast<std::size_t>(share * static_cast<double>(values.size() - 1))];
}

class ArrivalClock : public playback::PlaybackObserver {
public:
    void pictureShown(int) override {
        std::lock_guard lock(mutex);
        times.push_back(Clock::now());
    }
    std::mutex mutex;
    std::vector<Clock::time_point> times;
};

playback::PlaybackSettings settingsFor(const test::FakePlaybackServer& server) {
    playback::PlaybackSettings settings;
    settings.host = "127.0.0.1";
    settings.port = server.portText();
    settings.user = "admin";
    settings.password = "secret";
    settings.snapshotFolder = std::filesystem::temp_directory_path() / "ambro-playback-bench";
    return settings;
}

void measureCore(const std::vector<test::Bytes>& payloads) {
    test::FakePlaybackServer server(d1Script(payloads));
    ArrivalClock arrivals;
    playback::PlaybackSession session(settingsFor(server), arrivals);
    if (session.openNow() != playback::opening::kOpen) {
        std::printf("core: the session did not open\n");
        return;
    }
    const auto rows = session.chooseDay({"2024", "01", "05"});
    if (!rows || rows->empty() || !session.chooseFile(rows->front()) ||
        session.play() != playback::PlayResult::Started) {
        std::printf("core: the file did not start\n");
        return;
    }
    const auto started = Clock::now();
    int leastOutstanding = 1 << 30;
    int requests = 1;
    for (int tick = 0; tick < 2000; ++tick) {
        const int next = session.nextFrame();
        const auto result = session.pace();
        if (result == playback::PaceResult::Finished) break;
        if (result == playback::PaceResult::Requested) {
            ++requests;
            leastOutstanding = std::min(leastOutstanding, next - session.shownFrames());
        }
        std::this_thread::sleep_for(33ms);
    }
    const double elapsed = seconds(Clock::now() - started);
    std::vector<double> intervals;
    {
        std::lock_guard lock(arrivals.mutex);
        for (std::size_t i = 1; i < arrivals.times.size(); ++i) {
            intervals.push_back(seconds(arrivals.times[i] - arrivals.times[i - 1]) * 1000);
        }
    }
    const auto statistics = session.pictureStatistics();
    std::printf("core, %d frames recorded at 25/s, pacing tick 33 ms:\n", kFrames);
    std::printf("  shown %d frames (%d pictures) in %.2f s: %.2f pictures/s\n",
                session.shownFrames(), statistics.pictures, elapsed,
                static_cast<double>(session.shownFrames()) / elapsed);
    std::printf("  interval between pictures: median %.1f ms, 95th percentile %.1f ms, "
                "longest %.1f ms\n",
                percentile(intervals, 0.5), percentile(intervals, 0.95), percentile(intervals, 1.0));
    std::printf("  %d frame requests; fewest frames still on their way when asking again: %d\n",
                requests, leastOutstanding);
    std::printf("  frames that arrived after their time to be shown: %d\n", statistics.lateFrames);
}

// Runs the window's events until `condition` holds or the time is up.
template <typename Condition>
bool runUntil(Condition condition, Clock::duration timeout) {
    const auto deadline = Clock::now() + timeout;
    while (!condition()) {
        if (Clock::now() >= deadline) return false;
        QApplication::processEvents(QEventLoop::AllEvents, 5);
        std::this_thread::sleep_for(1ms);
    }
    return true;
}

void measureWindow(const std::vector<test::Bytes>& payloads, const std::string& screenshot) {
    test::FakePlaybackServer server(d1Script(payloads));
    playback::PlaybackDialog dialog(settingsFor(server));
    dialog.resize(1024, 720);
    dialog.show();
    if (!runUntil([&] { return dialog.cameraList()->count() > 0; }, 5s)) {
        std::printf("window: the session did not open\n");
        return;
    }
    QTreeWidgetItem* day = dialog.dayTree()->topLevelItem(0)->child(0)->child(0)->child(1);
    emit dialog.dayTree()->itemClicked(day, 0);
    QTreeWidget* files = dialog.fileList();
    files->setCurrentItem(files->topLevelItem(0));
    emit files->itemClicked(files->topLevelItem(0), 0);

    const double cpuBefore = processCpuSeconds();
    const double windowCpuBefore = threadCpuSeconds();
    const int drawnBefore = dialog.pictureView()->drawnPictures();
    const auto started = Clock::now();
    dialog.playAction()->trigger();
    bool grabbed = screenshot.empty();
    runUntil(
        [&] {
            if (!grabbed && Clock::now() - started > 3s) {
                grabbed = true;
                QScreen* screen = dialog.screen();
                const QPixmap picture = screen->grabWindow(dialog.winId());
                std::printf("screenshot %s: %s\n", screenshot.c_str(),
                            picture.save(QString::fromStdString(screenshot)) ? "saved" : "failed");
            }
            return !dialog.session().playing();
        },
        30s);
    const double elapsed = seconds(Clock::now() - started);
    const double cpu = processCpuSeconds() - cpuBefore;
    const double windowCpu = threadCpuSeconds() - windowCpuBefore;
    std::printf("window (%dx%d picture area) playing the D1 file:\n", dialog.pictureView()->width(),
                dialog.pictureView()->height());
    std::printf("  %d frames shown, %d pictures drawn in %.2f s\n", dialog.session().shownFrames(),
                dialog.pictureView()->drawnPictures() - drawnBefore, elapsed);
    std::printf("  processor time, whole process (decoding, drawing, fake server): %.1f%% of one "
                "core\n",
                100 * cpu / elapsed);
    std::printf("  processor time, window thread alone (paint calls, pacing; Qt's raster helper "
                "threads not counted): %.1f%% of one core\n",
                100 * windowCpu / elapsed);
    dialog.exitAction()->trigger();
}

void measurePieces(const std::vector<test::Bytes>& payloads) {
    playback::PictureDecoder decoder;
    decoder.announce(704, 576);
    playback::PictureSlot::Picture picture;
    std::vector<std::uint8_t> buffer(300000);
    const int rounds = 10;
    const auto decodeAll = [&] {
        for (const auto& payload : payloads) {
            std::copy(payload.begin(), payload.end(), buffer.begin());
            (void)decoder.decode(buffer.data(), payload.size(), picture);  // timed only
        }
    };
    decodeAll();
    const double decodeStart = threadCpuSeconds();
    for (int round = 0; round < rounds; ++round) decodeAll();
    const double decodeEach =
        (threadCpuSeconds() - decodeStart) / (rounds * static_cast<double>(payloads.size()));

    playback::PictureView view;
    view.resize(1004, 660);
    playback::PictureSlot slot;
    slot.publish(picture);
    view.takePicture(slot);
    QImage target(view.size(), QImage::Format_RGB32);
    view.render(&target);
    const int draws = 100;
    // The process's time: Qt spreads smooth scaling over helper threads.
    const double drawStart = processCpuSeconds();
    for (int i = 0; i < draws; ++i) view.render(&target);
    const double drawEach = (processCpuSeconds() - drawStart) / draws;
    std::printf("one D1 picture: decoded in %.2f ms, drawn into %dx%d in %.2f ms; at 25/s that "
                "is %.1f%% of one core\n",
                decodeEach * 1000, view.width(), view.height(), drawEach * 1000,
                (decodeEach + drawEach) * 25 * 100);
}

}  // namespace

int main(int argc, char* argv[]) {
    std::string screenshot;
    for (int i = 1; i + 1 < argc; ++i) {
        if (std::string(argv[i]) == "--screenshot") screenshot = argv[i + 1];
    }
    QApplication application(argc, argv);
    const auto payloads = d1Payloads();
    measureCore(payloads);
    measureWindow(payloads, screenshot);
    measurePieces(payloads);
    return 0;
}
