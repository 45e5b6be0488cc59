#include "fuzz/targets/LiveHarness.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <memory>
#include <mutex>

#include "fuzz/targets/FuzzTargets.h"
#include "fuzz/targets/PeerFeed.h"
#include "live/CurrentGenerationSession.h"
#include "net/LiveConnection.h"
#include "platform/ByteOrder.h"
#include "tests/support/FakeLiveServer.h"

namespace ambro::fuzz {

namespace {

using namespace std::chrono_literals;
using platform::storeLe32;

// Far beyond what any input needs; a reader still running then hangs.
constexpr auto kVideoEndWait = 20s;
constexpr std::uint32_t kVideoChannelsCommand = 32;

void append(Bytes& stream, const Bytes& bytes) { stream.insert(stream.end(), bytes.begin(), bytes.end()); }

Bytes greeting() {
    Bytes bytes(16, 0);
    storeLe32(bytes.data(), net::kServerMagic);
    return bytes;
}

Bytes loginReply(std::uint32_t ticket) {
    Bytes reply = test::serverReply(1, ticket, 20);
    storeLe32(reply.data() + 16, 0xF0000000);
    return reply;
}

// Hands the code under test one end of a socket pair per connection.
class FeedDialer : public net::LiveDialer {
public:
    explicit FeedDialer(std::vector<Bytes> streams) : streams_(std::move(streams)) {}

    int createSocket() override {
        if (feeds_.size() >= streams_.size()) return platform::kNoSocket;
        feeds_.push_back(std::make_unique<PeerFeed>(streams_[feeds_.size()]));
        return feeds_.back()->clientEnd();
    }
    platform::ConnectResult connect(int, bool, const std::atomic<bool>& abandon) override {
        return abandon ? platform::ConnectResult::Abandoned : platform::ConnectResult::Connected;
    }
    PeerFeed* feed(std::size_t index) {
        return index < feeds_.size() ? feeds_[index].get() : nullptr;
    }

private:
    std::vector<Bytes> streams_;
    std::vector<std::unique_ptr<PeerFeed>> feeds_;
};

class VideoListener : public live::CurrentGenerationSession::Listener {
public:
    void pictureDecoded(const live::PictureView& picture) override {
        // Every byte of every row is read: a picture that does not hold what
        // it claims shows under the address sanitizer.
        std::uint32_t sum = 0;
        const std::size_t row = static_cast<std::size_t>(picture.width) * 3;
        if (picture.stride < row) broken("picture rows overlap");
        for (int y = 0; y < picture.height; ++y) {
            const std::uint8_t* pixels = picture.pixels + y * picture.stride;
            for (std::size_t x = 0; x < row; ++x) sum += pixels[x];
        }
        checksum_ += sum;
    }
    void videoStopped() override {
        {
            std::lock_guard lock(mutex_);
            stopped_ = true;
        }
        changed_.notify_all();
    }
    bool waitForVideoEnd() {
        std::unique_lock lock(mutex_);
        return changed_.wait_for(lock, kVideoEndWait, [&] { return stopped_; });
    }

private:
    std::mutex mutex_;
    std::condition_variable changed_;
    bool stopped_ = false;
    std::atomic<std::uint32_t> checksum_{0};
};

// The handshake starts the video reader right before it asks for the video
// channels, so that request tells that the reader runs.
bool videoChannelsRequested(const Bytes& sent) {
    std::size_t at = 0;
    while (at + net::kHeadSize <= sent.size()) {
        const net::FramedHead head = net::readHead(std::span(sent).subspan(at));
        if (head.command == kVideoChannelsCommand) return true;
        if (head.totalLength < net::kHeadSize) return false;
        at += head.totalLength;
    }
    return false;
}

}  // namespace

Bytes acceptingCommandStream() {
    constexpr std::uint32_t kTicket = 0x5EED1234;
    Bytes stream = greeting();
    Bytes key = test::serverReply(3, 0, 36);
    for (int i = 0; i < 16; ++i) key[16 + i] = static_cast<std::uint8_t>(0x10 + 17 * i);
    append(stream, key);
    append(stream, loginReply(kTicket));

    Bytes information = test::serverReply(7, 0, 16 + net::kServerInformationSize);
    storeLe32(information.data() + 16, 0b101);  // cameras 1 and 3
    storeLe32(information.data() + 20, 1);      // the input list
    append(stream, information);

    Bytes description = test::serverReply(8, 0, 16 + net::kServerDescriptionSize);
    storeLe32(description.data() + 16 + 4, 51);
    platform::storeLe16(description.data() + 16 + 14, 2);
    std::memcpy(description.data() + 16 + 28 + 12, "Gate", 4);
    std::memcpy(description.data() + 16 + 28 + 2 * 44 + 12, "Yard", 4);
    std::memcpy(description.data() + 16 + 1372, "Door", 4);
    append(stream, description);

    append(stream, test::serverReply(226, 0, 84));
    append(stream, test::serverReply(176, 0, 24));
    append(stream, test::serverReply(18, 0, 24));
    append(stream, test::serverReply(32, 0, 20));
    append(stream, test::serverReply(19, 0, 20));
    Bytes ptz = test::serverReply(56, 0, 84);
    const auto record = test::FakeLiveServerScript::ptzRecordFor(true, 2, 0, 3, "Fuzz Dome");
    std::copy(record.begin(), record.end(), ptz.begin() + 20);
    append(stream, ptz);
    return stream;
}

Bytes acceptingStreamHead() {
    Bytes stream = greeting();
    append(stream, loginReply(0));
    return stream;
}

Bytes videoFrame(std::uint32_t sequence, std::uint8_t sizeCode, std::uint8_t kind,
                 const Bytes& payload) {
    constexpr std::size_t kHeaderSize = 36;
    // Sized once for header and payload, so the payload is copied, not inserted.
    Bytes frame(kHeaderSize + payload.size(), 0);
    storeLe32(frame.data(), 'e' | ('S' << 8) | ('o' << 16) | ('R' << 24));
    storeLe32(frame.data() + 4, static_cast<std::uint32_t>(frame.size()));
    storeLe32(frame.data() + 16, sequence);
    frame[32] = sizeCode;
    frame[34] = kind;
    std::copy(payload.begin(), payload.end(), frame.begin() + kHeaderSize);
    return frame;
}

Bytes cameraStatusRecord(std::uint16_t index) {
    Bytes record(live::CurrentGenerationSession::kStatusRecordSize, 0x11);
    platform::storeLe16(record.data() + 12, index);
    return record;
}

void runLiveSession(const LiveStreams& streams, bool requests) {
    net::LiveConnection connection({"127.0.0.1", "1"}, "admin", "secret");
    FeedDialer dialer({streams.command, streams.auxiliary, streams.video});
    connection.setDialer(&dialer);
    VideoListener listener;
    {
        live::CurrentGenerationSession session(connection, listener, AMBRO_PTZ_SETUP_DIR);
        const net::ConnectOutcome outcome = session.connect();
        PeerFeed* command = dialer.feed(0);
        if (command && videoChannelsRequested(command->received()) && !listener.waitForVideoEnd()) {
            broken("the video reader did not end with its stream");
        }
        if (outcome == net::ConnectOutcome::Accepted && requests) {
            (void)session.selectCamera(2);
            (void)session.pulseOutput(1);
            (void)session.stopVideo();
        }
        session.close();
    }
    connection.closeSockets();
}

}  // namespace ambro::fuzz
