#include "tests/support/FakeOlderServer.h"

#include <algorithm>
#include <cstring>
#include <thread>

#include "platform/ByteOrder.h"

namespace ambro::test {

namespace {

constexpr std::uint32_t kOlderGreeting = 0x11223344;
constexpr std::int32_t kFinal = 255;
constexpr std::int32_t kVideo = 41;
constexpr std::size_t kNameSize = 17;
constexpr std::size_t kDataChunk = 4000;

void putWord(Bytes& bytes, std::int32_t value) {
    const std::size_t at = bytes.size();
    bytes.resize(at + 4);
    platform::storeLe32(bytes.data() + at, static_cast<std::uint32_t>(value));
}

Bytes names(const std::vector<std::string>& texts) {
    Bytes bytes(16 * kNameSize, 0);
    for (std::size_t i = 0; i < texts.size() && i < 16; ++i) {
        std::memcpy(bytes.data() + i * kNameSize, texts[i].data(),
                    std::min(texts[i].size(), kNameSize - 1));
    }
    return bytes;
}

bool listed(const std::vector<std::int32_t>& codes, std::int32_t code) {
    return std::find(codes.begin(), codes.end(), code) != codes.end();
}

}  // namespace

platform::DateTime fakeFrameTime(std::int64_t milliseconds) {
    platform::DateTime start;
    start.year = 2024;
    start.month = 1;
    start.day = 5;
    start.hour = 8;
    start.minute = 30;
    return *platform::DateTime::fromFileTime(*start.toFileTime() + milliseconds * 10000);
}

FakeOlderServer::FakeOlderServer(FakeOlderServerScript script) : script_(std::move(script)) {
    control_.listen();
    peer_ = std::make_unique<FakePeer>(
        [this](PeerConnection& connection, int) { serve(connection); });
}

FakeOlderServer::~FakeOlderServer() { peer_.reset(); }

net::SessionEndpoint FakeOlderServer::endpoint() const {
    return {"127.0.0.1", std::to_string(peer_->port())};
}

std::vector<OlderRequest> FakeOlderServer::requests() const {
    std::lock_guard lock(mutex_);
    return requests_;
}

std::vector<std::int32_t> FakeOlderServer::codes() const {
    std::vector<std::int32_t> codes;
    for (const auto& request : requests()) codes.push_back(request.code);
    return codes;
}

bool FakeOlderServer::waitForCode(std::int32_t code, std::size_t count,
                                  std::chrono::milliseconds timeout) const {
    std::unique_lock lock(mutex_);
    return recorded_.wait_for(lock, timeout, [&] {
        return static_cast<std::size_t>(std::count_if(requests_.begin(), requests_.end(),
                                                      [&](const OlderRequest& request) {
                                                          return request.code == code;
                                                      })) >= count;
    });
}

Bytes FakeOlderServer::cameraTable(const FakeOlderServerScript& script) {
    const std::size_t entries = script.version >= 8300 ? 64 : 32;
    Bytes table(entries * 64 + entries * 4, 0);
    for (const auto& [index, name] : script.cameras) {
        if (index < 0 || static_cast<std::size_t>(index) >= entries) continue;
        std::memcpy(table.data() + index * 64, name.data(), std::min<std::size_t>(name.size(), 63));
        platform::storeLe32(table.data() + entries * 64 + index * 4, 1);
    }
    return table;
}

void FakeOlderServer::serve(PeerConnection& connection) {
    const auto [commandPort, dataPort] = control_.listen();
    for (const std::uint32_t word : {kOlderGreeting, 0u, std::uint32_t{commandPort},
                                     std::uint32_t{dataPort}}) {
        if (!connection.sendLe32(word)) return;
    }
    bool streaming = false;
    std::size_t nextFrame = 0;
    for (;;) {
        if (streaming && !script_.frames.empty() &&
            !connection.readable(script_.frameInterval)) {
            if (!sendFrame(connection, nextFrame)) return;
            continue;
        }
        OlderRequest request;
        const auto code = connection.receiveLe32();
        const auto length = connection.receiveLe32();
        if (!code || !length || *length > 40951) return;
        request.code = static_cast<std::int32_t>(*code);
        request.payload.resize(*length);
        if (!connection.receive(request.payload)) return;
        {
            std::lock_guard lock(mutex_);
            requests_.push_back(request);
        }
        recorded_.notify_all();
        if (!handle(connection, request, streaming, nextFrame)) return;
    }
}

bool FakeOlderServer::handle(PeerConnection& connection, const OlderRequest& request,
                             bool& streaming, std::size_t& nextFrame) {
    if (listed(script_.closeOn, request.code)) return false;
    if (listed(script_.silentOn, request.code)) {
        connection.waitForClose(FakePeer::kIoTimeout);
        return false;
    }
    if (const auto raw = script_.rawReplies.find(request.code); raw != script_.rawReplies.end()) {
        return send(connection, raw->second, false);
    }
    if (request.code == 36) {
        streaming = true;
        streamBudget_ = script_.streamCut.value_or(SIZE_MAX);
        return true;
    }
    for (int i = 0; streaming && i < script_.framesBeforeReply && !script_.frames.empty(); ++i) {
        if (!sendFrame(connection, nextFrame)) return false;
    }
    std::int32_t status = kFinal;
    if (request.code == 0) status = script_.version;
    if (request.code == 6) status = script_.passwordStatus;
    if (request.code == 37) status = script_.clientCheckStatus;
    if (listed(script_.truncateOn, request.code)) {
        const Bytes payload = replyPayload(request);
        Bytes whole;
        putWord(whole, status);
        putWord(whole, static_cast<std::int32_t>(payload.size()));
        whole.insert(whole.end(), payload.begin(), payload.end());
        connection.sendHalfAndClose(whole);
        return false;
    }
    return reply(connection, request.code, status, replyPayload(request));
}

bool FakeOlderServer::reply(PeerConnection& connection, std::int32_t code, std::int32_t status,
                            const Bytes& payload) {
    std::int32_t length = static_cast<std::int32_t>(payload.size());
    std::size_t payloadBytes = payload.size();
    if (script_.tamper && script_.tamper(code, status, length)) {
        payloadBytes = std::min<std::size_t>(payload.size(),
                                             static_cast<std::size_t>(std::max(length, 0)));
    }
    Bytes message;
    putWord(message, status);
    putWord(message, length);
    message.insert(message.end(), payload.begin(),
                   payload.begin() + static_cast<std::ptrdiff_t>(payloadBytes));
    return send(connection, message, code == -1);
}

bool FakeOlderServer::send(PeerConnection& connection, std::span<const std::uint8_t> bytes,
                           bool stream) {
    std::size_t count = bytes.size();
    if (stream) {
        count = std::min(count, streamBudget_);
        streamBudget_ -= count;
    }
    bool sent = true;
    if (script_.trickle.count() == 0) {
        sent = connection.send(bytes.first(count));
    } else {
        for (std::size_t i = 0; i < count && sent; ++i) {
            sent = connection.send(bytes.subspan(i, 1));
            std::this_thread::sleep_for(script_.trickle);
        }
    }
    if (sent && count == bytes.size()) return true;
    connection.close();
    return false;
}

Bytes FakeOlderServer::replyPayload(const OlderRequest& request) const {
    Bytes payload;
    const auto word = [&](std::size_t i) {
        return request.payload.size() >= 4 * (i + 1)
                   ? static_cast<std::int32_t>(platform::loadLe32(request.payload.data() + 4 * i))
                   : 0;
    };
    const auto module = [&]() -> const FakeModule* {
        if (request.payload.size() < 2) return nullptr;
        const int number = platform::loadLe16(request.payload.data());
        if (number < 1 || number > static_cast<int>(script_.modules.size())) return nullptr;
        return &script_.modules[number - 1];
    };
    switch (request.code) {
        case 0:
            if (script_.version >= 8200) putWord(payload, static_cast<std::int32_t>(script_.viewWord));
            break;
        case 13:
            putWord(payload, script_.modulus);
            putWord(payload, script_.exponent);
            break;
        case 15:
            payload.resize(2);
            platform::storeLe16(payload.data(), static_cast<std::uint16_t>(script_.modules.size()));
            break;
        case 16: putWord(payload, module() ? module()->firstCount : 0); break;
        case 17: putWord(payload, module() ? module()->outputCount : 0); break;
        case 18: payload = names(module() ? module()->inputNames : std::vector<std::string>{}); break;
        case 19: payload = names(module() ? module()->outputNames : std::vector<std::string>{}); break;
        case 5: payload = cameraTable(script_); break;
        case 14:
            for (const std::int32_t value :
                 {word(0), script_.ptzFlag, 0, 0, script_.audioWord,
                  static_cast<std::int32_t>(script_.capabilityWord), script_.presetCount}) {
                putWord(payload, value);
            }
            break;
        case 32:
            payload.assign(script_.statuses.begin(), script_.statuses.end());
            payload.resize(64, 0);
            break;
        case 20:
            payload.assign(38, 0);
            for (std::size_t m = 0; m < 8; ++m) {
                platform::storeLe16(payload.data() + 4 + 2 * m, script_.alarmMasks[m]);
            }
            script_.alarmTime.toBytes(payload.data() + 22);
            break;
        default: break;
    }
    return payload;
}

bool FakeOlderServer::sendFrame(PeerConnection& connection, std::size_t& nextFrame) {
    const FakeOlderFrame& frame = script_.frames[nextFrame % script_.frames.size()];
    ++nextFrame;
    Bytes header;
    putWord(header, static_cast<std::int32_t>(frame.payload.size()));
    header.resize(20, 0);
    frame.time.toBytes(header.data() + 4);
    if (!reply(connection, -1, kVideo, header)) return false;
    for (std::size_t offset = 0; offset < frame.payload.size(); offset += kDataChunk) {
        const std::size_t count = std::min(kDataChunk, frame.payload.size() - offset);
        const Bytes chunk(frame.payload.begin() + static_cast<std::ptrdiff_t>(offset),
                          frame.payload.begin() + static_cast<std::ptrdiff_t>(offset + count));
        if (!reply(connection, -1, kVideo, chunk)) return false;
    }
    ++framesSent_;
    return true;
}

}  // namespace ambro::test
