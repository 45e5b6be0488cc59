#pragma once

#include <array>
#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "platform/DateTime.h"
#include "tests/support/FakePeer.h"

namespace ambro::test {

using Bytes = std::vector<std::uint8_t>;

// The recorded file the fake server plays.
struct FakePlaybackFile {
    std::uint32_t handle = 0x51;  // 0: the open fails
    std::uint32_t width = 176;
    std::uint32_t height = 144;
    platform::DateTime firstTime{2024, 1, 5, 5, 8, 30, 0, 0};
    platform::DateTime lastTime{2024, 1, 5, 5, 8, 30, 1, 0};
    std::uint32_t frameCount = 25;
    std::vector<std::uint16_t> keyFrames = {0};
    // Frame i carries payloads[i % size]; no payloads: empty frames.
    std::vector<Bytes> payloads;
};

// What the fake playback server answers; tests change what they need.
struct FakePlaybackScript {
    using Key = std::pair<std::uint8_t, std::uint8_t>;  // group, command

    std::uint8_t version = 5;
    bool loginAccepted = true;
    // Camera names by camera number - 1; an empty name is no camera.
    std::array<std::string, 32> cameraNames{"Gate", "", "Yard"};
    std::uint32_t databaseReference = 0x00C0FFEE;
    std::uint8_t cameraBlockBytes = 3;
    std::vector<std::uint32_t> recordingDays = {20240101, 20240105};
    std::vector<std::uint32_t> timeCodes = {105083000, 205123456};
    std::string filePath = "D:\\Rec\\Cam01\\20240105_0830.rec";
    FakePlaybackFile file;
    // The frame index each seek reply names, in turn; the last one repeats.
    std::vector<std::uint32_t> seekFrames = {0};
    // Requests that get no reply at all.
    std::vector<Key> unanswered;
    // Bytes sent instead of the reply to a request (prefix included).
    std::map<Key, Bytes> rawReplies;
    // Requests after which the server closes without a reply, and requests
    // answered with the first half of their reply, then a close.
    std::vector<Key> closeOn;
    std::vector<Key> truncateOn;
    // Replies trickled out one byte at a time, this far apart (0: at once).
    std::chrono::milliseconds trickle{0};
    // The faults above and the trickle hit requests from this one on
    // (0-based, in the order received), so that a later request of a kind
    // can be the one.
    std::size_t faultsFrom = 0;
    // Bytes sent once, before the frames of the first frame request.
    Bytes beforeFirstFrames;
    // Bytes sent instead of the frames of the first frame request.
    std::optional<Bytes> insteadOfFirstFrames;
};

// A message as the server sends it: 64-byte header of `size` bytes in all,
// the rest zero.
Bytes playbackMessage(std::uint8_t group, std::uint8_t command, std::size_t size);
// The 5-byte prefix and the message.
Bytes framed(const Bytes& message);
// A frame message carrying `payload`.
Bytes frameMessage(const Bytes& payload);

// One message the client sent, without its prefix.
struct ReceivedMessage {
    std::uint8_t group = 0;
    std::uint8_t command = 0;
    Bytes bytes;
};

// An in-process playback server on 127.0.0.1: answers the opening, camera,
// day, file, open, seek and frame requests from its script and records
// every message it receives.
class FakePlaybackServer {
public:
    explicit FakePlaybackServer(FakePlaybackScript script = {});
    ~FakePlaybackServer();

    std::uint16_t port() const;
    std::string portText() const { return std::to_string(port()); }

    std::vector<ReceivedMessage> messages() const;
    std::vector<ReceivedMessage> messagesOf(std::uint8_t group, std::uint8_t command) const;
    // The frame indices of every frame request, one list per request.
    std::vector<std::vector<std::uint16_t>> frameRequests() const;
    // Waits (bounded) until `count` messages of the kind have come.
    bool waitForMessages(std::uint8_t group, std::uint8_t command, std::size_t count,
                         std::chrono::milliseconds timeout = std::chrono::seconds(5)) const;
    // Waits (bounded) until the client has closed its connection.
    bool waitForClientGone(std::chrono::milliseconds timeout = std::chrono::seconds(5)) const;

private:
    void serve(PeerConnection& connection);
    bool answer(PeerConnection& connection, const ReceivedMessage& message, bool faulty);
    bool send(PeerConnection& connection, const Bytes& bytes, bool trickled);
    Bytes replyTo(const ReceivedMessage& message);
    bool sendFrames(PeerConnection& connection, const ReceivedMessage& request);

    FakePlaybackScript script_;
    mutable std::mutex mutex_;
    std::vector<ReceivedMessage> received_;
    bool clientGone_ = false;
    bool firstFramesSent_ = false;
    std::size_t seeksAnswered_ = 0;
    std::unique_ptr<FakePeer> peer_;
};

}  // namespace ambro::test
