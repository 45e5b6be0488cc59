#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>

#include "fuzz/targets/FuzzTargets.h"
#include "fuzz/targets/PeerFeed.h"
#include "platform/Deadline.h"
#include "playback/PicturePath.h"
#include "playback/PlaybackConnection.h"
#include "playback/PlaybackMessage.h"
#include "playback/PlaybackReplies.h"

namespace ambro::fuzz {

namespace {

using namespace std::chrono_literals;

constexpr auto kEndWait = 20s;
constexpr int kAcceptWaitMs = 5000;

// A listener on 127.0.0.1 for the life of the process.
class Listener {
public:
    Listener() {
        socket_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        if (socket_ < 0 || ::bind(socket_, reinterpret_cast<sockaddr*>(&address), length) != 0 ||
            ::listen(socket_, 16) != 0 ||
            ::getsockname(socket_, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
            return;
        }
        port_ = ntohs(address.sin_port);
    }
    ~Listener() {
        if (socket_ >= 0) ::close(socket_);
    }
    std::uint16_t port() const { return port_; }
    // The next connection, closed with a reset so that no closed
    // connection lingers; -1 when none comes in time.
    int accept() const {
        pollfd poller{socket_, POLLIN, 0};
        if (::poll(&poller, 1, kAcceptWaitMs) <= 0) return -1;
        const int peer = ::accept4(socket_, nullptr, nullptr, SOCK_CLOEXEC);
        if (peer < 0) return -1;
        const linger reset{1, 0};
        ::setsockopt(peer, SOL_SOCKET, SO_LINGER, &reset, sizeof reset);
        return peer;
    }

private:
    int socket_ = -1;
    std::uint16_t port_ = 0;
};

// Counts what reaches the picture path, so the harness can wait until the
// picture thread has handled all of it.
class CountingSink : public playback::FrameSink {
public:
    explicit CountingSink(playback::PicturePath& pictures) : pictures_(pictures) {}
    void pictureSizeAnnounced(std::uint32_t width, std::uint32_t height) override {
        pictures_.pictureSizeAnnounced(width, height);
    }
    void frameArrived(std::span<const std::uint8_t> payload) override {
        pictures_.frameArrived(payload);
        ++frames_;
    }
    void frameRefused() override {
        pictures_.frameRefused();
        ++frames_;
    }
    int frames() const { return frames_.load(); }

private:
    playback::PicturePath& pictures_;
    std::atomic<int> frames_{0};
};

class Ending {
public:
    void end() {
        {
            std::lock_guard lock(mutex_);
            ended_ = true;
        }
        changed_.notify_all();
    }
    bool wait() {
        std::unique_lock lock(mutex_);
        return changed_.wait_for(lock, kEndWait, [&] { return ended_; });
    }

private:
    std::mutex mutex_;
    std::condition_variable changed_;
    bool ended_ = false;
};

void parseEverything(playback::MessageBytes message) {
    if (message.size() >= playback::kPrefixSize) (void)playback::announcedLength(message.data());
    if (message.size() >= playback::kHeaderSize) (void)playback::MessageHeader::fromBytes(message.data());
    (void)playback::parseWorkPathReply(message);
    (void)playback::parseLoginReply(message);
    if (const auto camera = playback::parseCameraReply(message)) {
        if (camera->name.size() >= playback::kCameraNameBytes + 1) broken("camera name too long");
        if (camera->days.size() > playback::kMostRecordingDays) broken("too many days");
    }
    if (const auto day = playback::parseDayReply(message)) {
        if (day->timeCodes.size() > playback::kMostTimeCodes) broken("too many time codes");
    }
    if (const auto file = playback::parseFileReply(message)) {
        if (file->path.size() > playback::kMostPathBytes) broken("path too long");
    }
    if (const auto open = playback::parseOpenReply(message)) {
        if (open->keyFrames.size() > playback::kMostKeyFrames) broken("too many key frames");
    }
    (void)playback::parseSeekReply(message);
    if (const auto payload = playback::framePayload(message)) {
        if (payload->data() < message.data() ||
            payload->data() + payload->size() > message.data() + message.size()) {
            broken("frame payload outside its message");
        }
    }
}

}  // namespace

int playbackReplies(const std::uint8_t* data, std::size_t size) {
    FuzzInput input(data, size);
    Bytes message;
    while (!input.empty()) {
        const auto chunk = input.chunk();
        // Exactly the message's bytes on the heap: a read past them shows.
        message.assign(chunk.begin(), chunk.end());
        message.shrink_to_fit();
        parseEverything(message);
    }
    return 0;
}

int playbackReceiver(const std::uint8_t* data, std::size_t size) {
    static const Listener listener;
    if (listener.port() == 0) return 0;
    playback::PlaybackObserver observer;
    playback::PicturePath pictures(observer, "/nonexistent", {});
    pictures.restart(0);
    CountingSink sink(pictures);
    Ending ending;
    {
        playback::PlaybackConnection connection(sink, [&] { ending.end(); });
        if (connection.connect("127.0.0.1", std::to_string(listener.port())) !=
            playback::PlaybackConnection::kConnected) {
            return 0;
        }
        const int peer = listener.accept();
        if (peer < 0) broken("the connection was not accepted");
        PeerFeed feed(peer, Bytes(data, data + size));
        if (!ending.wait()) broken("the receiver did not end with its stream");
        // Every frame handed over is handled before the path stops.
        const auto deadline = platform::Deadline::after(kEndWait);
        while (pictures.shownFrames() < sink.frames()) {
            if (deadline.expired()) broken("the picture path did not handle its frames");
            std::this_thread::sleep_for(100us);
        }
        connection.close();
    }
    pictures.stop();
    return 0;
}

}  // namespace ambro::fuzz
