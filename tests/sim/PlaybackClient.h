#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "tests/sim/SimHarness.h"

namespace ambro::test {

// A small playback client written from the protocol's description: 5-byte
// prefix, 64-byte header, the requests of the opening and of playing a file.
class PlaybackClient {
public:
    struct Message {
        std::uint8_t prefix = 0;
        Bytes bytes;  // header and body

        std::uint8_t group() const { return bytes.at(1); }
        std::uint8_t command() const { return bytes.at(2); }
        std::uint16_t word16(std::size_t offset) const;
        std::uint32_t word32(std::size_t offset) const;
        std::string text(std::size_t offset, std::size_t field) const;
    };

    explicit PlaybackClient(std::uint16_t port);

    // `body` follows the 64-byte header.
    bool send(std::uint8_t group, std::uint8_t command, bool replyExpected, const Bytes& body);
    std::optional<Message> receive();
    std::optional<Message> exchange(std::uint8_t group, std::uint8_t command, const Bytes& body);

    std::optional<Message> workPath();
    std::optional<Message> logIn(const std::string& user, const std::string& password);
    std::optional<Message> camera(int number);
    std::optional<Message> day(std::uint32_t day, std::uint32_t reference);
    std::optional<Message> file(std::uint32_t reference, const Bytes& time);
    std::optional<Message> open(const std::string& path);
    bool requestFrames(std::uint32_t handle, const Bytes& fileTime, std::uint16_t first, int count);
    std::optional<Message> seek(std::uint32_t handle, const Bytes& target);

    static Bytes dateTime(int year, int month, int day, int hour, int minute, int second,
                          int millisecond);
    static std::string encodeCredentials(const std::string& user, const std::string& password);

    TestSocket& socket() { return socket_; }

private:
    TestSocket socket_;
};

}  // namespace ambro::test
