// Measures the live view window against the in-process fake servers on the
// loopback interface, and the cost of drawing a 704 x 480 picture:
//   1. from the session's start to the first picture on screen, both
//      server generations (the older generation waits for the window's
//      camera selection, which pauses 200 ms between its two requests);
//   2. from a frame's arrival to its drawing (older generation; the frame
//      has arrived when the fake server has sent its last byte);
//   3. the drawing of 704 x 480 pictures at 30 pictures per second, as a
//      share of one core: the picture area's own paint, and a repaint on
//      the display (the paint and the copy to the screen).
// Run under a display (xvfb-run) to include the copy to an X server, or with
// QT_QPA_PLATFORM=offscreen.

#include <QApplication>
#include <QImage>
#include <QPainter>
#include <QTimer>
#include <algorithm>
#include <atomic>
#include <cstdio>
#include <ctime>
#include <mutex>
#include <numeric>
#include <thread>

#include "live/view/LivePictureWidget.h"
#include "tests/live/view/WindowHarness.h"

using namespace ambro;
using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

namespace {

double milliseconds(Clock::duration duration) {
    return std::chrono::duration<double, std::milli>(duration).count();
}

double threadCpuMilliseconds() {
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) * 1e3 + static_cast<double>(now.tv_nsec) / 1e6;
}

struct Summary {
    double median = 0;
    double p95 = 0;
    double max = 0;
    std::size_t count = 0;
};

Summary summarise(std::vector<double> values) {
    Summary summary;
    if (values.empty()) return summary;
    std::sort(values.begin(), values.end());
    summary.count = values.size();
    summary.median = values[values.size() / 2];
    summary.p95 = values[std::min(values.size() - 1, values.size() * 95 / 100)];
    summary.max = values.back();
    return summary;
}

void print(const char* what, const Summary& summary) {
    std::printf("%-52s median %7.1f ms  p95 %7.1f ms  max %7.1f ms  (%zu)\n", what,
                summary.median, summary.p95, summary.max, summary.count);
}

live::LiveMessageFunction reportMessages() {
    return [](QWidget*, const QString& text) {
        std::fprintf(stderr, "message: %s\n", qPrintable(text));
    };
}

const std::filesystem::path kSnapshots = std::filesystem::temp_directory_path() / "ambro-bench";

// One window from show() to its first drawn picture.
double startToFirstPicture(const net::SessionEndpoint& endpoint) {
    live::LiveViewDialog dialog(test::windowSettings(endpoint, kSnapshots), reportMessages());
    std::optional<Clock::time_point> drawn;
    dialog.pictureWidget()->setPaintedHandler([&] {
        if (!drawn) drawn = Clock::now();
    });
    const auto start = Clock::now();
    dialog.show();
    test::processUntil([&] { return drawn.has_value(); }, 10s);
    dialog.reject();
    return drawn ? milliseconds(*drawn - start) : -1;
}

void measureStart() {
    constexpr int kRuns = 15;
    std::vector<double> older;
    std::vector<double> current;
    for (int run = 0; run < kRuns; ++run) {
        test::FakeOlderServerScript script;
        script.viewWord = 0b0001;  // the 2 x 2 view is selected at start
        script.frames = test::olderFixtureFrames();
        test::FakeOlderServer server(script);
        older.push_back(startToFirstPicture(server.endpoint()));
    }
    for (int run = 0; run < kRuns; ++run) {
        auto script = test::FakeLiveServerScript::withCameras(1, 0b1);
        script.videoFrames = test::currentFixtureFrames();
        script.repeatVideo = true;
        test::FakeLiveServer server(script);
        current.push_back(startToFirstPicture(server.endpoint()));
    }
    print("start to first picture, older generation", summarise(older));
    print("start to first picture, current generation", summarise(current));
}

// Older generation: a frame every 100 ms; each drawing is matched with the
// last frame sent before it. A frame is drawn at most once, and no frame
// waits behind another, when drawings and frames keep step.
void measureArrival() {
    constexpr auto kApart = 100ms;
    test::FakeOlderServerScript script;
    script.viewWord = 0b0001;
    script.frames = test::olderFixtureFrames("mpeg4/mpeg4_176x144_bf0.m4v", kApart);
    script.frameInterval = kApart;
    test::FakeOlderServer server(script);
    live::LiveViewDialog dialog(test::windowSettings(server.endpoint(), kSnapshots),
                                reportMessages());
    std::mutex mutex;
    std::vector<Clock::time_point> sent;
    std::vector<Clock::time_point> drawn;
    bool measuring = false;
    dialog.pictureWidget()->setPaintedHandler([&] {
        std::lock_guard lock(mutex);
        if (measuring) drawn.push_back(Clock::now());
    });
    dialog.show();
    test::processUntil([&] { return dialog.pictureWidget()->picturesPainted() > 10; }, 10s);

    std::atomic<bool> watching{true};
    std::thread watcher([&] {
        int last = server.framesSent();
        while (watching) {
            const int now = server.framesSent();
            if (now != last) {
                std::lock_guard lock(mutex);
                sent.insert(sent.end(), static_cast<std::size_t>(now - last), Clock::now());
                last = now;
            }
            std::this_thread::sleep_for(100us);
        }
    });
    {
        std::lock_guard lock(mutex);
        measuring = true;
    }
    test::processUntil([] { return false; }, 6s);
    watching = false;
    watcher.join();
    dialog.reject();

    std::vector<double> delays;
    for (const auto& at : drawn) {
        const auto after = std::upper_bound(sent.begin(), sent.end(), at);
        if (after != sent.begin()) delays.push_back(milliseconds(at - *(after - 1)));
    }
    print("frame arrival to drawing, older generation", summarise(delays));
    std::printf("  frames sent %zu, pictures drawn %zu in 6 s (display tick %d ms)\n", sent.size(),
                drawn.size(), live::LiveViewDialog::kDisplayInterval);
}

// A still 704 x 480 picture in place of the session's.
class StillPicture : public live::PictureSource {
public:
    StillPicture() : pixels_(static_cast<std::size_t>(kWidth) * kHeight * 3) {
        for (int y = 0; y < kHeight; ++y) {
            for (int x = 0; x < kWidth; ++x) {
                const std::size_t at = (static_cast<std::size_t>(y) * kWidth + x) * 3;
                std::uint8_t* pixel = pixels_.data() + at;
                pixel[0] = static_cast<std::uint8_t>(x);
                pixel[1] = static_cast<std::uint8_t>(y);
                pixel[2] = static_cast<std::uint8_t>((x ^ y) * 3);
            }
        }
    }
    std::unique_lock<std::recursive_timed_mutex> lockPaint(std::chrono::milliseconds) override {
        return std::unique_lock(mutex_);
    }
    live::PictureView picture() const override {
        return {pixels_.data(), kWidth, kHeight, static_cast<std::size_t>(kWidth) * 3};
    }
    live::CameraStatusTable cameraStatus() const override { return {}; }

    static constexpr int kWidth = 704;
    static constexpr int kHeight = 480;

private:
    std::vector<std::uint8_t> pixels_;
    std::recursive_timed_mutex mutex_;
};

void measureDrawing() {
    constexpr int kPictures = 150;  // five seconds' worth
    StillPicture still;
    live::LiveNavigator navigator;
    for (const QSize size : {QSize(720, 520), QSize(480, 360), QSize(1280, 960)}) {
        live::LivePictureWidget widget(still, navigator);
        widget.resize(size);
        widget.show();
        test::processUntil([&] { return widget.picturesPainted() > 0; }, 5s);
        const live::PixelRect to = widget.lastDestination();

        // The paint itself, into an image of the widget's size.
        QImage target(size, QImage::Format_RGB32);
        const int renderedBefore = widget.picturesPainted();
        double cpu = threadCpuMilliseconds();
        for (int i = 0; i < kPictures; ++i) {
            widget.render(&target, QPoint(), QRegion(), QWidget::DrawWindowBackground);
        }
        const double paint = (threadCpuMilliseconds() - cpu) / kPictures;
        if (widget.picturesPainted() - renderedBefore != kPictures) {
            std::printf("  (only %d of %d paints drew the picture)\n",
                        widget.picturesPainted() - renderedBefore, kPictures);
        }

        // Thirty repaints a second on the display, for five seconds.
        QTimer ticks;
        ticks.setTimerType(Qt::PreciseTimer);
        QObject::connect(&ticks, &QTimer::timeout, [&] { widget.update(); });
        const int before = widget.picturesPainted();
        cpu = threadCpuMilliseconds();
        const auto start = Clock::now();
        ticks.start(1000 / 30);
        test::processUntil([&] { return widget.picturesPainted() - before >= kPictures; }, 20s);
        ticks.stop();
        const double wall = milliseconds(Clock::now() - start);
        const double screen = threadCpuMilliseconds() - cpu;
        const int painted = widget.picturesPainted() - before;

        std::printf("704x480 into %4dx%-4d (%dx%d):  paint %5.2f ms = %4.1f%% of a core at 30/s;"
                    "  on the display %4.1f%% of a core (%d pictures in %.0f ms)\n",
                    size.width(), size.height(), to.width, to.height, paint, paint * 30 / 10,
                    screen / wall * 100, painted, wall);
    }
}

}  // namespace

int main(int argc, char* argv[]) {
    QApplication application(argc, argv);
    std::printf("display: %s\n", qPrintable(QGuiApplication::platformName()));
    measureStart();
    measureArrival();
    measureDrawing();
    std::filesystem::remove_all(kSnapshots);
    return 0;
}
