#pragma once

#include <array>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "net/LiveConnection.h"
#include "net/ServerBlocks.h"
#include "tests/support/FakePeer.h"

namespace ambro::test {

// One frame the fake server pushes on the video connection.
struct FakeVideoFrame {
    std::uint32_t sequence = 0;
    std::uint8_t sizeCode = 21;
    std::uint8_t kind = 0;
    std::vector<std::uint8_t> payload;
    std::uint32_t announcedLength = 0;  // total length in the head; 0: the real one
    bool breakHalfway = false;          // send half the payload, then drop the connection
};

// What the fake current-generation server says; tests change what they need.
struct FakeLiveServerScript {
    net::Greeting greeting = {net::kServerMagic, 0, 0, 0};
    std::array<std::uint8_t, 16> sessionKey = {0x10, 0x21, 0x32, 0x43, 0x54, 0x65, 0x76, 0x87,
                                               0x98, 0xA9, 0xBA, 0xCB, 0xDC, 0xED, 0xFE, 0x0F};
    std::uint32_t keyWord = 0xC0FFEE01;
    std::uint32_t ticket = 0x5EED1234;
    std::uint32_t loginStatus = 0xF0000000;
    net::ServerInformation information{};
    net::ServerDescription description{};
    std::uint32_t extraBlockWord = 0xABCD0001;
    std::uint32_t auxiliaryWord = 0x176;
    std::uint32_t videoWord = 0x18;
    // Raw replies sent instead of the normal one, by command code.
    std::map<std::uint32_t, std::vector<std::uint8_t>> replyOverrides;
    // Command codes after which the server drops the connection without a reply.
    std::vector<std::uint32_t> closeOn;
    // Command codes answered with the first half of their reply, then a close.
    std::vector<std::uint32_t> truncateOn;
    // Command codes that get no reply; the server waits for the client to go.
    std::vector<std::uint32_t> holdOn;
    // Command codes answered with the first half of their reply, then silence.
    std::vector<std::uint32_t> stallOn;
    // Where the server falls silent on every connection, waiting for the
    // client to go.
    enum class Silence { None, AfterAccept, AfterGreeting };
    Silence silence = Silence::None;
    // Replies trickled out one byte at a time, this far apart (0: at once).
    std::chrono::milliseconds trickle{0};
    // The command connection closes after this many bytes of its greeting.
    std::optional<std::size_t> greetingCut;
    // The video connection closes after this many bytes of what it streams
    // after the login (status record, heads, payloads).
    std::optional<std::size_t> videoCut;
    // The magic of every video head, when not "eSoR".
    std::optional<std::uint32_t> videoMagic;
    // The video connection streams only once the command connection has
    // had this many requests of this command (a camera change: {32, 2}).
    std::optional<std::pair<std::uint32_t, std::size_t>> videoWaitsFor;

    // The video connection: a camera status record with this index (none:
    // no record), then the frames, once or over and over until the client goes.
    std::optional<std::uint16_t> statusRecordIndex = 0;
    std::vector<FakeVideoFrame> videoFrames;
    bool repeatVideo = false;
    // The 64-byte record of every PTZ description reply.
    std::array<std::uint8_t, 64> ptzRecord{};

    static std::array<std::uint8_t, 64> ptzRecordFor(bool present, std::uint32_t line,
                                                     std::uint32_t address,
                                                     std::uint32_t speedLevel,
                                                     const std::string& protocol);

    // A server of the given kind with these cameras (bit i = camera i + 1),
    // camera records named "Cam 1" to "Cam 32".
    static FakeLiveServerScript withCameras(std::int32_t serverKind, std::uint32_t channelMask);
};

// A reply head from the server: magic "WaXq", total length, command, parameter.
std::vector<std::uint8_t> serverReply(std::uint32_t command, std::uint32_t parameter,
                                      std::size_t totalLength);

struct RecordedRequest {
    int connection = 0;  // index in accept order: 0 command, 1 auxiliary, 2 video
    net::FramedHead head;
    std::vector<std::uint8_t> bytes;
};

// An in-process current-generation server on 127.0.0.1. It greets every
// connection, answers each framed request by its command code and records it.
class FakeLiveServer {
public:
    explicit FakeLiveServer(FakeLiveServerScript script = {});

    std::uint16_t port() const { return peer_->port(); }
    net::SessionEndpoint endpoint() const;
    const FakeLiveServerScript& script() const { return script_; }

    std::vector<RecordedRequest> requests() const;
    // Waits (bounded) until at least `count` requests have been recorded.
    bool waitForRequests(std::size_t count, std::chrono::milliseconds timeout) const;

    int acceptedCount() const { return peer_->acceptedCount(); }

private:
    void serve(PeerConnection& connection, int index);
    void streamVideo(PeerConnection& connection) const;
    bool sendReply(PeerConnection& connection, const std::vector<std::uint8_t>& reply) const;
    std::vector<std::uint8_t> replyTo(const net::FramedHead& head) const;

    FakeLiveServerScript script_;
    mutable std::mutex mutex_;
    mutable std::condition_variable recorded_;
    std::vector<RecordedRequest> requests_;
    std::unique_ptr<FakePeer> peer_;  // last: its threads stop before the rest goes
};

}  // namespace ambro::test
