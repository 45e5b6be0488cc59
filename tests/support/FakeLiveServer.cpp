#include "tests/support/FakeLiveServer.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

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
    for (std::uint32_t word : script_.greeting) {
        if (!connection.sendLe32(word)) return;
    }
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
        if (!connection.send(replyTo(head))) return;
    }
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
            putWord(reply, 16, script_.extraWord);
            std::fill(reply.begin() + 20, reply.end(), 0x5A);
            return reply;
        }
        case 176:
        case 18: {
            auto reply = serverReply(command, 0, 24);
            putWord(reply, 16, command == 176 ? script_.auxiliaryWord : script_.videoWord);
            return reply;
        }
        default:
            return serverReply(command, 0, 20);
    }
}

}  // namespace ambro::test
