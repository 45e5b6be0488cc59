#include "playback/PlaybackConnection.h"

#include <cstring>
#include <utility>

#include "net/SessionEndpoint.h"
#include "net/StreamIo.h"
#include "platform/TcpSocket.h"

namespace ambro::playback {

PlaybackConnection::PlaybackConnection(FrameSink& frames, std::function<void()> ended)
    : frames_(frames),
      ended_(std::move(ended)),
      sendBuffer_(kTransportBufferSize),
      receiveBuffer_(kMaxMessageLength) {}

PlaybackConnection::~PlaybackConnection() { close(); }

int PlaybackConnection::connect(const std::string& host, const std::string& port) {
    const int socket = platform::createTcpSocket();
    if (socket < 0) return kNoSocket;
    socket_ = socket;
    const auto address = platform::resolveIpv4(host);
    if (!address) return kUnknownHost;
    const auto portNumber = net::parsePortText(port);
    if (!portNumber || *portNumber == 0) return kConnectFailed;
    if (platform::connectIpv4(socket, *address, *portNumber, platform::replyDeadline(),
                              &stopped_) != platform::ConnectResult::Connected) {
        return kConnectFailed;
    }
    receiver_ = std::thread([this] { receive(); });
    return kConnected;
}

bool PlaybackConnection::send(const Message& message, platform::Deadline deadline) {
    if (stopped_ || message.size() > kMaxMessageLength) return false;
    bool sent = false;
    {
        std::lock_guard lock(sendMutex_);
        writePrefix(sendBuffer_.data(), static_cast<std::uint32_t>(message.size()));
        std::memcpy(sendBuffer_.data() + kPrefixSize, message.data(), message.size());
        const int total = static_cast<int>(kPrefixSize + message.size());
        sent = net::sendAll(socket_, sendBuffer_.data(), total, deadline) == net::IoResult::Done;
    }
    if (!sent) end();
    return sent;
}

template <typename Reply>
std::optional<Reply> PlaybackConnection::exchange(const Message& request,
                                                  std::optional<Reply> Replies::*slot) {
    {
        std::lock_guard lock(repliesMutex_);
        (replies_.*slot).reset();
        replyArrived_ = -1;
    }
    if (!send(request) || !awaitReply()) return std::nullopt;
    std::lock_guard lock(repliesMutex_);
    return std::exchange(replies_.*slot, std::nullopt);
}

bool PlaybackConnection::awaitReply() {
    const auto deadline = std::chrono::steady_clock::now() + platform::replyTimeout();
    {
        std::unique_lock lock(repliesMutex_);
        for (;;) {
            if (stopped_) return false;
            if (replyArrived_ != -1) return true;
            if (std::chrono::steady_clock::now() >= deadline) break;
            replyFiled_.wait_for(lock, kReplyPoll);
        }
    }
    end();
    return false;
}

std::optional<WorkPathReply> PlaybackConnection::exchangeWorkPath() {
    return exchange(workPathRequest(), &Replies::workPath);
}
std::optional<LoginReply> PlaybackConnection::exchangeLogin(const Message& request) {
    return exchange(request, &Replies::login);
}
std::optional<CameraReply> PlaybackConnection::exchangeCamera(const Message& request) {
    return exchange(request, &Replies::camera);
}
std::optional<DayReply> PlaybackConnection::exchangeDay(const Message& request) {
    return exchange(request, &Replies::day);
}
std::optional<FileReply> PlaybackConnection::exchangeFile(const Message& request) {
    return exchange(request, &Replies::file);
}
std::optional<OpenReply> PlaybackConnection::exchangeOpen(const Message& request) {
    return exchange(request, &Replies::open);
}
std::optional<SeekReply> PlaybackConnection::exchangeSeek(const Message& request) {
    return exchange(request, &Replies::seek);
}

// Stops everything that waits on the connection and reports the end once.
void PlaybackConnection::end() {
    interrupt();
    if (!endReported_.exchange(true) && ended_) ended_();
}

void PlaybackConnection::interrupt() {
    stopped_ = true;
    platform::shutdownSocket(socket_.load());
    replyFiled_.notify_all();
}

void PlaybackConnection::close() {
    interrupt();
    if (receiver_.joinable()) receiver_.join();
    platform::closeSocket(socket_);
}

void PlaybackConnection::receive() {
    while (!stopped_) {
        const auto length = receiveMessage();
        if (!length) break;
        fileMessage(std::span(receiveBuffer_.data(), *length));
    }
    end();
}

std::optional<std::size_t> PlaybackConnection::receiveMessage() {
    std::uint8_t prefix[kPrefixSize];
    if (net::receiveExactly(socket_, prefix, sizeof prefix) != net::IoResult::Done) {
        return std::nullopt;
    }
    const auto length = announcedLength(prefix);
    // A message always holds its header; a shorter one cannot be followed.
    if (!length || *length < kHeaderSize) return std::nullopt;
    std::uint8_t* message = receiveBuffer_.data();
    if (net::receiveExactly(socket_, message, kHeaderSize) != net::IoResult::Done) {
        return std::nullopt;
    }
    const std::size_t rest = *length - kHeaderSize;
    if (message[2] == kHeaderOnlyCommand) {
        // Nothing of the body is used, but the stream continues behind it.
        if (net::discardExactly(socket_, rest) != net::IoResult::Done) return std::nullopt;
        return kHeaderSize;
    }
    const int restBytes = static_cast<int>(rest);
    if (net::receiveExactly(socket_, message + kHeaderSize, restBytes) != net::IoResult::Done) {
        return std::nullopt;
    }
    return *length;
}

void PlaybackConnection::fileMessage(std::span<const std::uint8_t> message) {
    const auto group = static_cast<Group>(message[1]);
    const std::uint8_t commandNumber = message[2];
    switch (group) {
        case Group::Playback:
            if (commandNumber == command::kFrame) {
                if (const auto payload = framePayload(message)) {
                    frames_.frameArrived(*payload);
                } else {
                    frames_.frameRefused();
                }
            } else if (commandNumber == command::kOpen) {
                auto reply = parseOpenReply(message);
                if (reply && reply->fileHandle != 0) {
                    frames_.pictureSizeAnnounced(reply->information.width,
                                                 reply->information.height);
                }
                fileReply(&Replies::open, std::move(reply));
            } else if (commandNumber == command::kSeek) {
                fileReply(&Replies::seek, parseSeekReply(message));
            } else {
                markArrived();
            }
            break;
        case Group::Session:
            if (commandNumber == command::kWorkPath) {
                fileReply(&Replies::workPath, parseWorkPathReply(message));
            } else if (commandNumber == command::kLogin) {
                fileReply(&Replies::login, parseLoginReply(message));
            }
            break;
        case Group::Database:
            if (commandNumber == command::kCamera) {
                fileReply(&Replies::camera, parseCameraReply(message));
            } else if (commandNumber == command::kDay) {
                fileReply(&Replies::day, parseDayReply(message));
            } else if (commandNumber == command::kFile) {
                fileReply(&Replies::file, parseFileReply(message));
            }
            break;
    }
}

// A refused reply leaves its slot empty, so the request it answers fails.
template <typename Reply>
void PlaybackConnection::fileReply(std::optional<Reply> Replies::*slot, std::optional<Reply> reply) {
    {
        std::lock_guard lock(repliesMutex_);
        replies_.*slot = std::move(reply);
        replyArrived_ = 1;
    }
    replyFiled_.notify_all();
}

void PlaybackConnection::markArrived() {
    {
        std::lock_guard lock(repliesMutex_);
        replyArrived_ = 1;
    }
    replyFiled_.notify_all();
}

}  // namespace ambro::playback
