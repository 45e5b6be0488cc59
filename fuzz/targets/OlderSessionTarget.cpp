#include <atomic>
#include <chrono>
#include <optional>
#include <thread>

#include "fuzz/targets/FuzzTargets.h"
#include "fuzz/targets/PeerFeed.h"
#include "live/CameraListModel.h"
#include "live/CommandBlock.h"
#include "live/LiveDisplay.h"
#include "live/LiveShared.h"
#include "live/OlderGenerationSession.h"
#include "platform/Deadline.h"
#include "platform/TcpSocket.h"

namespace ambro::fuzz {

namespace {

using namespace std::chrono_literals;

// Far beyond what any input needs; a session still running then hangs.
constexpr auto kSessionEndWait = 20s;
constexpr auto kWatchInterval = 200us;

// What the window would do with the server's data: build the camera
// selector from the table (on the session thread) and read every picture it
// is shown (on the display's).
class Observer : public live::LiveSessionObserver {
public:
    void cameraListChanged(const live::CameraCatalogue& catalogue) override {
        const auto list = live::CameraListModel::fromCameraTable(
            catalogue.cameraTable, catalogue.serverVersion, catalogue.viewWord);
        for (int position = 0; position < list.size(); ++position) {
            (void)list.selectionFor(position);
            sum_ += static_cast<std::uint32_t>(list.entry(position).name.size());
        }
    }
    void pictureReady(const live::PictureView& picture) override {
        const std::size_t row = static_cast<std::size_t>(picture.width) * 3;
        if (picture.stride < row) broken("picture rows overlap");
        std::uint32_t sum = 0;
        for (int y = 0; y < picture.height; ++y) {
            for (std::size_t x = 0; x < row; ++x) sum += picture.pixels[y * picture.stride + x];
        }
        sum_ += sum;
    }

private:
    std::atomic<std::uint32_t> sum_{0};
};

std::optional<live::CommandBlock> postedCommand(std::uint8_t choice, std::int32_t word) {
    using live::CommandBlock;
    switch (choice % 8) {
        case 1: return CommandBlock::withWords(live::kCameraListCode, {});
        case 2: return CommandBlock::withWords(live::kCameraSelectCode, {word});
        case 3: return CommandBlock::withWords(live::kImageSizeCode, {word});
        case 4: return CommandBlock::withWords(live::kRotationCode, {word});
        case 5: return CommandBlock::withWords(live::kCameraStatusCode, {});
        case 6: return CommandBlock::withWords(live::kQualityCode, {word, 2});
        case 7: return CommandBlock::withWords(live::kStartAllMonitoringCode, {});
        default: return std::nullopt;
    }
}

// A running session without a camera, its command served, waits for the
// next command and reads nothing more: the harness closes it then, as the
// window would.
bool idleForGood(live::LiveShared& shared) {
    return shared.running && !shared.mailbox.pending() && shared.tables.selection().camera < 0;
}

}  // namespace

int olderSession(const std::uint8_t* data, std::size_t size) {
    FuzzInput input(data, size);
    const std::uint8_t choice = input.byte();
    const std::int32_t word = static_cast<std::int8_t>(input.byte());
    const std::uint8_t flags = input.byte();
    const auto server = input.rest();

    PeerFeed feed(Bytes(server.begin(), server.end()));
    if (feed.clientEnd() < 0) return 0;
    platform::SocketField socket{feed.clientEnd()};
    Observer observer;
    live::LiveShared shared(observer);
    shared.setPictureSize(176, 144);
    shared.rotated = (flags & 1) != 0;
    live::LiveDisplay display(shared, "/nonexistent");
    // Posted before the session runs, the command is the first one it serves.
    if (const auto block = postedCommand(choice, word)) {
        (void)shared.mailbox.post(*block, shared.running);
    }

    live::OlderGenerationSession session(shared, socket, "admin", "secret");
    std::atomic<bool> finished{false};
    std::thread thread([&] {
        (void)session.run([] {});
        finished = true;
    });
    const auto deadline = platform::Deadline::after(kSessionEndWait);
    int quiet = 0;
    while (!finished) {
        (void)display.tick(live::Generation::Older, false);
        // Frames the display does not take (no stream, sound awaited) are
        // dropped, as a full ring must not hold the session up for good.
        if (shared.ring.full()) shared.ring.consumeFront([](live::FrameRing::Slot&) {});
        quiet = idleForGood(shared) ? quiet + 1 : 0;
        if (quiet >= 2) {
            shared.closing = true;
            shared.wakeSleepers();
            platform::shutdownSocket(socket.load());
        }
        if (deadline.expired()) broken("the session thread did not end with its stream");
        std::this_thread::sleep_for(kWatchInterval);
    }
    thread.join();
    platform::closeSocket(socket);
    return 0;
}

}  // namespace ambro::fuzz
