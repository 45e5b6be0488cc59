#include "tests/support/FakePlaybackServer.h"

#include <algorithm>
#include <cstring>
#include <thread>

#include "platform/ByteOrder.h"

namespace ambro::test {

namespace {

using platform::loadLe16;
using platform::loadLe32;
using platform::storeLe16;
using platform::storeLe32;

constexpr std::uint32_t kLongestMessage = 262136;

bool listed(const std::vector<FakePlaybackScript::Key>& keys, std::uint8_t group,
            std::uint8_t command) {
    return std::find(keys.begin(), keys.end(), FakePlaybackScript::Key{group, command}) !=
           keys.end();
}

void appendWords(Bytes& message, const std::vector<std::uint32_t>& words) {
    for (const std::uint32_t word : words) {
        std::uint8_t bytes[4];
        storeLe32(bytes, word);
        message.insert(message.end(), bytes, bytes + 4);
    }
}

void setSize(Bytes& message) { storeLe32(message.data() + 8, static_cast<std::uint32_t>(message.size())); }

}  // namespace

Bytes playbackMessage(std::uint8_t group, std::uint8_t command, std::size_t size) {
    Bytes message(std::max<std::size_t>(size, 64), 0);
    message[0] = 5;
    message[1] = group;
    message[2] = command;
    storeLe32(message.data() + 8, static_cast<std::uint32_t>(size));
    message.resize(size);
    return message;
}

Bytes framed(const Bytes& message) {
    // Sized once: growing the vector by an insert trips GCC's bounds warning
    // in optimised builds.
    Bytes bytes(5 + message.size());
    storeLe32(bytes.data() + 1, static_cast<std::uint32_t>(message.size()));
    std::copy(message.begin(), message.end(), bytes.begin() + 5);
    return bytes;
}

Bytes frameMessage(const Bytes& payload) {
    Bytes message = playbackMessage(0, 3, 128);
    storeLe32(message.data() + 72, static_cast<std::uint32_t>(payload.size()));
    message.resize(128 + payload.size());
    std::copy(payload.begin(), payload.end(), message.begin() + 128);
    setSize(message);
    return message;
}

FakePlaybackServer::FakePlaybackServer(FakePlaybackScript script)
    : script_(std::move(script)),
      peer_(std::make_unique<FakePeer>([this](PeerConnection& connection, int) { serve(connection); })) {}

FakePlaybackServer::~FakePlaybackServer() { peer_.reset(); }

std::uint16_t FakePlaybackServer::port() const { return peer_->port(); }

void FakePlaybackServer::serve(PeerConnection& connection) {
    for (;;) {
        std::uint8_t prefix[5];
        if (!connection.receive(prefix)) break;
        const std::uint32_t length = loadLe32(prefix + 1);
        if (prefix[0] != 0 || length < 64 || length > kLongestMessage) break;
        ReceivedMessage message;
        message.bytes.resize(length);
        if (!connection.receive(message.bytes)) break;
        message.group = message.bytes[1];
        message.command = message.bytes[2];
        std::size_t index = 0;
        {
            std::lock_guard lock(mutex_);
            index = received_.size();
            received_.push_back(message);
        }
        if (!answer(connection, message, index >= script_.faultsFrom)) break;
    }
    std::lock_guard lock(mutex_);
    clientGone_ = true;
}

bool FakePlaybackServer::answer(PeerConnection& connection, const ReceivedMessage& message,
                                bool faulty) {
    if (faulty) {
        if (listed(script_.unanswered, message.group, message.command)) return true;
        if (listed(script_.closeOn, message.group, message.command)) {
            connection.close();
            return false;
        }
        const auto raw = script_.rawReplies.find({message.group, message.command});
        if (raw != script_.rawReplies.end()) return send(connection, raw->second, true);
        if (listed(script_.truncateOn, message.group, message.command)) {
            connection.sendHalfAndClose(framed(replyTo(message)));
            return false;
        }
    }
    if (message.group == 0 && message.command == 3) return sendFrames(connection, message);
    const Bytes reply = replyTo(message);
    return reply.empty() || send(connection, framed(reply), faulty);
}

bool FakePlaybackServer::send(PeerConnection& connection, const Bytes& bytes, bool trickled) {
    if (!trickled || script_.trickle.count() == 0) return connection.send(bytes);
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        if (!connection.send(std::span(bytes).subspan(i, 1))) return false;
        std::this_thread::sleep_for(script_.trickle);
    }
    return true;
}

Bytes FakePlaybackServer::replyTo(const ReceivedMessage& message) {
    const auto& bytes = message.bytes;
    const auto key = std::pair(message.group, message.command);
    if (key == std::pair<std::uint8_t, std::uint8_t>{4, 0}) {
        Bytes reply = playbackMessage(4, 0, 68);
        reply[0] = script_.version;
        return reply;
    }
    if (key == std::pair<std::uint8_t, std::uint8_t>{4, 4}) {
        Bytes reply = playbackMessage(4, 4, 104);
        reply[64] = script_.loginAccepted ? 1 : 0;
        return reply;
    }
    if (key == std::pair<std::uint8_t, std::uint8_t>{5, 17}) {
        const int camera = bytes[64];
        Bytes reply = playbackMessage(5, 17, 128);
        reply[64] = script_.cameraBlockBytes;
        storeLe16(reply.data() + 66, static_cast<std::uint16_t>(script_.recordingDays.size()));
        if (camera >= 1 && camera <= 32) {
            const std::string& name = script_.cameraNames[camera - 1];
            std::memcpy(reply.data() + 72, name.data(), std::min<std::size_t>(name.size(), 36));
        }
        storeLe32(reply.data() + 108, script_.databaseReference + static_cast<std::uint32_t>(camera));
        reply.insert(reply.end(), script_.cameraBlockBytes, 0xBB);
        appendWords(reply, script_.recordingDays);
        setSize(reply);
        return reply;
    }
    if (key == std::pair<std::uint8_t, std::uint8_t>{5, 2}) {
        Bytes reply = playbackMessage(5, 2, 68);
        storeLe16(reply.data() + 66, static_cast<std::uint16_t>(script_.timeCodes.size()));
        appendWords(reply, script_.timeCodes);
        setSize(reply);
        return reply;
    }
    if (key == std::pair<std::uint8_t, std::uint8_t>{5, 8}) {
        Bytes reply = playbackMessage(5, 8, 68);
        storeLe16(reply.data() + 66, static_cast<std::uint16_t>(script_.filePath.size()));
        reply.insert(reply.end(), script_.filePath.begin(), script_.filePath.end());
        setSize(reply);
        return reply;
    }
    if (key == std::pair<std::uint8_t, std::uint8_t>{0, 0}) {
        const FakePlaybackFile& file = script_.file;
        Bytes reply = playbackMessage(0, 0, 72);
        storeLe16(reply.data() + 64, static_cast<std::uint16_t>(file.keyFrames.size()));
        storeLe32(reply.data() + 68, file.handle);
        if (file.handle != 0) {
            Bytes information(76, 0);
            storeLe32(information.data() + 4, file.width);
            storeLe32(information.data() + 8, file.height);
            file.firstTime.toBytes(information.data() + 40);
            file.lastTime.toBytes(information.data() + 56);
            storeLe32(information.data() + 72, file.frameCount);
            reply.insert(reply.end(), information.begin(), information.end());
            for (const std::uint16_t key : file.keyFrames) {
                reply.push_back(static_cast<std::uint8_t>(key));
                reply.push_back(static_cast<std::uint8_t>(key >> 8));
            }
        }
        setSize(reply);
        return reply;
    }
    if (key == std::pair<std::uint8_t, std::uint8_t>{0, 5}) {
        Bytes reply = playbackMessage(0, 5, 84);
        const auto& frames = script_.seekFrames;
        const std::size_t turn = std::min(seeksAnswered_++, frames.size() - 1);
        storeLe32(reply.data() + 64, frames.empty() ? 0 : frames[turn]);
        return reply;
    }
    return {};  // close requests and anything unknown get no answer
}

bool FakePlaybackServer::sendFrames(PeerConnection& connection, const ReceivedMessage& request) {
    bool first = false;
    {
        std::lock_guard lock(mutex_);
        first = !std::exchange(firstFramesSent_, true);
    }
    if (first && !script_.beforeFirstFrames.empty() && !connection.send(script_.beforeFirstFrames)) {
        return false;
    }
    if (first && script_.insteadOfFirstFrames) return connection.send(*script_.insteadOfFirstFrames);
    const int count = loadLe16(request.bytes.data() + 66);
    for (int i = 0; i < count && 96 + 2 * i + 2 <= static_cast<int>(request.bytes.size()); ++i) {
        const std::uint16_t index = loadLe16(request.bytes.data() + 96 + 2 * i);
        const auto& payloads = script_.file.payloads;
        const Bytes payload = payloads.empty() ? Bytes{} : payloads[index % payloads.size()];
        if (!connection.send(framed(frameMessage(payload)))) return false;
    }
    return true;
}

std::vector<ReceivedMessage> FakePlaybackServer::messages() const {
    std::lock_guard lock(mutex_);
    return received_;
}

std::vector<ReceivedMessage> FakePlaybackServer::messagesOf(std::uint8_t group,
                                                            std::uint8_t command) const {
    std::vector<ReceivedMessage> found;
    for (const auto& message : messages()) {
        if (message.group == group && message.command == command) found.push_back(message);
    }
    return found;
}

std::vector<std::vector<std::uint16_t>> FakePlaybackServer::frameRequests() const {
    std::vector<std::vector<std::uint16_t>> requests;
    for (const auto& message : messagesOf(0, 3)) {
        std::vector<std::uint16_t> indices;
        const int count = loadLe16(message.bytes.data() + 66);
        for (int i = 0; i < count && 96 + 2 * i + 2 <= static_cast<int>(message.bytes.size()); ++i) {
            indices.push_back(loadLe16(message.bytes.data() + 96 + 2 * i));
        }
        requests.push_back(indices);
    }
    return requests;
}

bool FakePlaybackServer::waitForMessages(std::uint8_t group, std::uint8_t command,
                                         std::size_t count, std::chrono::milliseconds timeout) const {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (messagesOf(group, command).size() < count) {
        if (std::chrono::steady_clock::now() >= deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
}

bool FakePlaybackServer::waitForClientGone(std::chrono::milliseconds timeout) const {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        {
            std::lock_guard lock(mutex_);
            if (clientGone_) return true;
        }
        if (std::chrono::steady_clock::now() >= deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
}

}  // namespace ambro::test
