#include "tests/support/FakeLiveServer.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <thread>

#include "platform/ByteOrder.h"

namespace ambro::test {

using platform::storeLe32;

namespace {

void putWord(std::vector<std::uint8_t>& bytes, std::size_t offset, std::uint32_t value) {
    storeLe32(bytes.data() + offset, value);
}

bool listed(const std::vector<std::uint32_t>& commands, std::uint32_t command) {
    return std::find(commands.begin(), commands.end(), command) != commands.end();
}

}  // namespace

FakeLiveServerScript FakeLiveServerScript::withCameras(std::int32_t serverKind,
                                                       std::uint32_t channelMask) {
    FakeLiveServerScript script;
    storeLe32(script.information.data(), channelMask);
    storeLe32(script.description.data() + 4, static_cast<std::uint32_t>(serverKind));
    for (int camera = 0; camera < 32; ++camera) {
        char name[16];
        std::snprintf(name, sizeof name, "Cam %d", camera + 1);
        std::memcpy(script.description.data() + 28 + camera * 44 + 12, name, std::strlen(name));
    }
    return script;
}

std::vector<std::uint8_t> serverReply(std::uint32_t command, std::uint32_t parameter,
                                      std::size_t totalLength) {
    std::vector<std::uint8_t> reply(std::max<std::size_t>(totalLength, 16));
    putWord(reply, 0, net::kServerMagic);
    putWord(reply, 4, static_cast<std::uint32_t>(totalLength));
    putWord(reply, 8, command);
    putWord(reply, 12, parameter);
    reply.resize(totalLength);
    return reply;
}

FakeLiveServer::FakeLiveServer(FakeLiveServerScript script)
    : script_(std::move(script)),
      peer_(std::make_unique<FakePeer>(
          [this](PeerConnection& connection, int index) { serve(connection, index); })) {}

net::SessionEndpoint FakeLiveServer::endpoint() const {
    return {"127.0.0.1", std::to_string(port())};
}

std::vector<RecordedRequest> FakeLiveServer::requests() const {
    std::lock_guard lock(mutex_);
    return requests_;
}

bool FakeLiveServer::waitForRequests(std::size_t count, std::chrono::milliseconds timeout) const {
    std::unique_lock lock(mutex_);
    return recorded_.wait_for(lock, timeout, [&] { return requests_.size() >= count; });
}

void FakeLiveServer::serve(PeerConnection& connection, int index) {
    using Silence = FakeLiveServerScript::Silence;
    const auto fallSilent = [&] { connection.waitForClose(FakePeer::kIoTimeout); };
    if (script_.silence == Silence::AfterAccept) return fallSilent();
    std::vector<std::uint8_t> greeting(16);
    for (std::size_t i = 0; i < 4; ++i) storeLe32(greeting.data() + 4 * i, script_.greeting[i]);
    if (index == 0 && script_.greetingCut) {
        connection.send(std::span(greeting).first(std::min(*script_.greetingCut, greeting.size())));
        connection.close();
        return;
    }
    if (!connection.send(greeting)) return;
    if (script_.silence == Silence::AfterGreeting) return fallSilent();
    while (auto message = connection.receiveFramed()) {
        const net::FramedHead head = net::readHead(*message);
        {
            std::lock_guard lock(mutex_);
            requests_.push_back({index, head, *message});
        }
        recorded_.notify_all();
        if (listed(script_.closeOn, head.command)) return;
        if (listed(script_.truncateOn, head.command)) {
            connection.sendHalfAndClose(replyTo(head));
            return;
        }
        if (listed(script_.holdOn, head.command)) {
            connection.waitForClose(FakePeer::kIoTimeout);
            return;
        }
        if (listed(script_.stallOn, head.command)) {
            const auto reply = replyTo(head);
            connection.send(std::span(reply).first(reply.size() / 2));
            return fallSilent();
        }
        if (!sendReply(connection, replyTo(head))) return;
        const bool videoLogin =
            head.command == 1 && message->size() >= 88 && platform::loadLe32(message->data() + 84) == 1;
        if (videoLogin) {
            streamVideo(connection);
            return;
        }
    }
}

bool FakeLiveServer::sendReply(PeerConnection& connection,
                               const std::vector<std::uint8_t>& reply) const {
    if (script_.trickle.count() == 0) return connection.send(reply);
    for (std::uint8_t byte : reply) {
        if (!connection.send(std::span(&byte, 1))) return false;
        std::this_thread::sleep_for(script_.trickle);
    }
    return true;
}

void FakeLiveServer::streamVideo(PeerConnection& connection) const {
    if (script_.videoWaitsFor) {
        const std::uint32_t command = script_.videoWaitsFor->first;
        const std::size_t count = script_.videoWaitsFor->second;
        std::unique_lock lock(mutex_);
        const bool asked = recorded_.wait_for(lock, FakePeer::kIoTimeout, [&] {
            return static_cast<std::size_t>(std::count_if(
                       requests_.begin(), requests_.end(), [&](const RecordedRequest& request) {
                           return request.connection == 0 && request.head.command == command;
                       })) >= count;
        });
        lock.unlock();
        if (!asked) return;
    }
    // With a cut, the stream ends after that many bytes, wherever they fall.
    std::size_t budget = script_.videoCut.value_or(SIZE_MAX);
    const auto send = [&](std::span<const std::uint8_t> bytes) {
        const std::size_t count = std::min(budget, bytes.size());
        budget -= count;
        if (!connection.send(bytes.first(count))) return false;
        if (count == bytes.size()) return true;
        connection.close();
        return false;
    };
    if (script_.statusRecordIndex) {
        std::vector<std::uint8_t> record(1200, 0x11);
        platform::storeLe16(record.data() + 12, *script_.statusRecordIndex);
        if (!send(record)) return;
    }
    const auto deadline = std::chrono::steady_clock::now() + FakePeer::kIoTimeout;
    do {
        for (const FakeVideoFrame& frame : script_.videoFrames) {
            std::vector<std::uint8_t> head(36, 0);
            putWord(head, 0, script_.videoMagic.value_or('e' | ('S' << 8) | ('o' << 16) | ('R' << 24)));
            const auto length = static_cast<std::uint32_t>(36 + frame.payload.size());
            putWord(head, 4, frame.announcedLength ? frame.announcedLength : length);
            putWord(head, 16, frame.sequence);
            head[32] = frame.sizeCode;
            head[34] = frame.kind;
            if (!send(head)) return;
            if (frame.breakHalfway) {
                connection.sendHalfAndClose(frame.payload);
                return;
            }
            if (!send(frame.payload)) return;
            if (script_.repeatVideo) std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
    } while (script_.repeatVideo && std::chrono::steady_clock::now() < deadline);
    connection.waitForClose(FakePeer::kIoTimeout);
}

std::array<std::uint8_t, 64> FakeLiveServerScript::ptzRecordFor(bool present, std::uint32_t line,
                                                               std::uint32_t address,
                                                               std::uint32_t speedLevel,
                                                               const std::string& protocol) {
    std::array<std::uint8_t, 64> record{};
    storeLe32(record.data(), present ? 1 : 0);
    storeLe32(record.data() + 4, line);
    storeLe32(record.data() + 8, address);
    storeLe32(record.data() + 12, speedLevel);
    std::memcpy(record.data() + 20, protocol.data(), std::min<std::size_t>(protocol.size(), 43));
    return record;
}

std::vector<std::uint8_t> FakeLiveServer::replyTo(const net::FramedHead& head) const {
    if (auto found = script_.replyOverrides.find(head.command);
        found != script_.replyOverrides.end()) {
        return found->second;
    }
    const std::uint32_t command = head.command;
    switch (command) {
        case 3: {
            auto reply = serverReply(command, 0, 36);
            std::copy(script_.sessionKey.begin(), script_.sessionKey.end(), reply.begin() + 16);
            putWord(reply, 32, script_.keyWord);
            return reply;
        }
        case 1: {
            auto reply = serverReply(command, script_.ticket, 20);
            putWord(reply, 16, script_.loginStatus);
            return reply;
        }
        case 7: {
            auto reply = serverReply(command, 0, 16 + net::kServerInformationSize);
            std::copy(script_.information.begin(), script_.information.end(), reply.begin() + 16);
            return reply;
        }
        case 8: {
            auto reply = serverReply(command, 0, 16 + net::kServerDescriptionSize);
            std::copy(script_.description.begin(), script_.description.end(), reply.begin() + 16);
            return reply;
        }
        case 226: {
            auto reply = serverReply(command, 0, 84);
            putWord(reply, 16, script_.extraBlockWord);
            std::fill(reply.begin() + 20, reply.end(), 0x5A);
            return reply;
        }
        case 176:
        case 18: {
            auto reply = serverReply(command, 0, 24);
            putWord(reply, 16, command == 176 ? script_.auxiliaryWord : script_.videoWord);
            return reply;
        }
        case 56: {
            auto reply = serverReply(command, 0, 84);
            std::copy(script_.ptzRecord.begin(), script_.ptzRecord.end(), reply.begin() + 20);
            return reply;
        }
        default:
            return serverReply(command, 0, 20);
    }
}

}  // namespace ambro::test
