#pragma once

#include <array>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "net/SessionEndpoint.h"
#include "platform/DateTime.h"
#include "tests/support/FakeControlServer.h"
#include "tests/support/FakePeer.h"

namespace ambro::test {

// One I/O module of the fake server.
struct FakeModule {
    std::int32_t firstCount = 4;
    std::int32_t outputCount = 0;
    std::vector<std::string> inputNames;
    std::vector<std::string> outputNames;
};

// One picture of the fake server's stream, with its time stamp.
struct FakeOlderFrame {
    Bytes payload;
    platform::DateTime time;
};

// What the fake older-generation server says; tests change what they need.
struct FakeOlderServerScript {
    std::int32_t version = 8300;
    std::uint32_t viewWord = 0;
    std::int32_t modulus = 3233;
    std::int32_t exponent = 17;
    std::int32_t passwordStatus = 255;
    std::int32_t clientCheckStatus = 255;
    std::vector<FakeModule> modules;
    // Cameras by index (0-based) with their names; the rest are absent.
    std::vector<std::pair<int, std::string>> cameras = {{0, "Gate"}, {2, "Yard"}};
    std::array<std::uint8_t, 32> statuses{};
    // The camera-select reply: the camera word echoes the request.
    std::int32_t ptzFlag = 1;
    std::int32_t audioWord = 0;
    std::uint32_t capabilityWord = 0xFFF;
    std::int32_t presetCount = 9;
    // The stream: the frames, over and over, this far apart.
    std::vector<FakeOlderFrame> frames;
    std::chrono::milliseconds frameInterval{20};
    // Complete frames sent between a request and its reply while streaming.
    int framesBeforeReply = 1;
    // The alarm poll's answer.
    std::array<std::uint16_t, 8> alarmMasks{};
    platform::DateTime alarmTime;
    // Request codes after which the server closes, or falls silent.
    std::vector<std::int32_t> closeOn;
    std::vector<std::int32_t> silentOn;
    // Replaces the reply header of a code: status and announced length.
    std::function<bool(std::int32_t code, std::int32_t& status, std::int32_t& length)> tamper;
    // Request codes answered with the first half of their reply, then a close.
    std::vector<std::int32_t> truncateOn;
    // Bytes sent instead of the reply to a request code.
    std::map<std::int32_t, Bytes> rawReplies;
    // Replies trickled out one byte at a time, this far apart (0: at once).
    std::chrono::milliseconds trickle{0};
    // The session connection closes after this many bytes of the stream
    // (video headers, data packets, audio) once streaming has begun.
    std::optional<std::size_t> streamCut;
};

struct OlderRequest {
    std::int32_t code = 0;
    Bytes payload;
};

// An in-process older-generation installation on 127.0.0.1: every
// connection to the session port greets with the older generation's word and the two control ports,
// speaks the request/reply protocol and streams its frames; the control
// connection is a FakeControlServer. Everything sent is recorded.
class FakeOlderServer {
public:
    explicit FakeOlderServer(FakeOlderServerScript script = {});
    ~FakeOlderServer();

    net::SessionEndpoint endpoint() const;
    FakeOlderServerScript& script() { return script_; }
    FakeControlServer& control() { return control_; }

    std::vector<OlderRequest> requests() const;
    std::vector<std::int32_t> codes() const;
    // Waits (bounded) until `count` requests of `code` have been recorded.
    bool waitForCode(std::int32_t code, std::size_t count = 1,
                     std::chrono::milliseconds timeout = std::chrono::seconds(5)) const;
    int framesSent() const { return framesSent_.load(); }

    // The camera table of the camera list reply, by version.
    static Bytes cameraTable(const FakeOlderServerScript& script);

private:
    void serve(PeerConnection& connection);
    bool handle(PeerConnection& connection, const OlderRequest& request, bool& streaming,
                std::size_t& nextFrame);
    bool reply(PeerConnection& connection, std::int32_t code, std::int32_t status,
               const Bytes& payload);
    // Sends as the script's trickle and stream cut say.
    bool send(PeerConnection& connection, std::span<const std::uint8_t> bytes, bool stream);
    bool sendFrame(PeerConnection& connection, std::size_t& nextFrame);
    Bytes replyPayload(const OlderRequest& request) const;

    FakeOlderServerScript script_;
    FakeControlServer control_;
    mutable std::mutex mutex_;
    mutable std::condition_variable recorded_;
    std::vector<OlderRequest> requests_;
    std::atomic<int> framesSent_{0};
    std::size_t streamBudget_ = SIZE_MAX;  // the serving thread's only
    std::unique_ptr<FakePeer> peer_;  // last: its threads stop first
};

// A frame time: a day of 2024, shifted by `milliseconds`.
platform::DateTime fakeFrameTime(std::int64_t milliseconds);

}  // namespace ambro::test
