#pragma once

#include <chrono>
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "tools/sim/ClientLink.h"
#include "tools/sim/Installation.h"
#include "tools/sim/RecordedStream.h"
#include "tools/sim/WireBytes.h"

namespace ambro::sim {

// One playback client. Requests are answered in order; pictures asked for by
// a frame request are sent at the recording's pace, 25 a second.
class PlaybackSession {
public:
    static constexpr std::size_t kPrefixSize = 5;
    static constexpr std::size_t kHeaderSize = 64;
    static constexpr std::uint32_t kMaxMessage = 262136;
    static constexpr std::uint8_t kProtocolVersion = 25;
    static constexpr std::uint32_t kReferenceBase = 0x1000;

    PlaybackSession(Installation& installation, ClientLink& link);

    void run();

private:
    struct Message {
        std::uint8_t group = 0;
        std::uint8_t command = 0;
        std::uint32_t senderTag = 0;
        std::vector<std::uint8_t> bytes;  // header and body

        std::uint8_t byte(std::size_t offset) const { return offset < bytes.size() ? bytes[offset] : 0; }
        std::uint16_t word16(std::size_t offset) const;
        std::uint32_t word32(std::size_t offset) const;
    };

    std::optional<Message> receive();
    WireBytes reply(const Message& request, std::size_t size) const;
    void seal(WireBytes& message);
    bool send(WireBytes& message);
    bool handle(const Message& message);
    bool workPath(const Message& request);
    bool logIn(const Message& request);
    bool camera(const Message& request);
    bool day(const Message& request);
    bool file(const Message& request);
    bool open(const Message& request);
    bool frames(const Message& request);
    bool seek(const Message& request);
    bool sendFrame(std::uint32_t handle, RecordedStream& stream, int index);
    std::optional<int> cameraOfReference(std::uint32_t reference) const;

    Installation& installation_;
    ClientLink& link_;
    bool loggedIn_ = false;
    bool firstFrameSent_ = false;
    std::uint32_t nextHandle_ = 1;
    std::map<std::uint32_t, std::unique_ptr<RecordedStream>> files_;
};

}  // namespace ambro::sim
