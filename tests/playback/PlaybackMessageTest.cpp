#include <gtest/gtest.h>

#include <string>

#include "platform/ByteOrder.h"
#include "playback/PlaybackMessage.h"

namespace ambro::playback {
namespace {

using Bytes = std::vector<std::uint8_t>;

// The expected message with its header: version 25, group, command, reply
// flag, the sender tag of this thread and the size.
Bytes withHeader(std::uint8_t group, std::uint8_t command, bool reply, Bytes body) {
    Bytes message(64, 0);
    message[0] = 25;
    message[1] = group;
    message[2] = command;
    message[3] = reply ? 1 : 0;
    platform::storeLe32(message.data() + 4, currentSenderTag());
    message.insert(message.end(), body.begin(), body.end());
    platform::storeLe32(message.data() + 8, static_cast<std::uint32_t>(message.size()));
    return message;
}

Bytes text(const std::string& s) { return Bytes(s.begin(), s.end()); }

Bytes concat(std::initializer_list<Bytes> parts) {
    Bytes all;
    for (const auto& part : parts) all.insert(all.end(), part.begin(), part.end());
    return all;
}

const platform::DateTime kTime{2024, 1, 0, 5, 8, 30, 15, 3};
// 2024, 1, 0, 5, 8, 30, 15, 3 as eight little-endian u16.
const Bytes kTimeBytes = {0xE8, 0x07, 1, 0, 0, 0, 5, 0, 8, 0, 30, 0, 15, 0, 3, 0};

struct MessageCase {
    const char* name;
    Message built;
    Bytes expected;
};

TEST(PlaybackMessage, EveryRequestHasItsExactBytes) {
    const MessageCase cases[] = {
        {"work path", workPathRequest(), withHeader(4, 0, true, Bytes(12, 0))},
        {"login", loginRequest("6a6b"),
         withHeader(4, 4, true, concat({{0, 1, 0, 0, 4, 0, 0, 0}, text("6a6b")}))},
        {"camera", cameraRequest(7, 1),
         withHeader(5, 17, true, concat({{7, 0, 1, 0, 0, 0, 0, 0}, Bytes(40, 0)}))},
        {"day", dayRequest(20240105, 0xA1B2C3D4, 1),
         withHeader(5, 2, true,
                    {0xE9, 0xD6, 0x34, 0x01, 0xD4, 0xC3, 0xB2, 0xA1, 1, 0, 0, 0})},
        {"file", fileRequest(0x01020304, kTime, 1, true),
         withHeader(5, 8, true, concat({{4, 3, 2, 1}, kTimeBytes, {1, 1, 0, 0}}))},
        {"open", openRequest("D:\\a.rec"),
         withHeader(0, 0, true, concat({{0, 0, 0, 0, 8, 0, 0, 0}, text("D:\\a.rec")}))},
        {"close", closeRequest(0x11223344), withHeader(0, 1, false, {0x44, 0x33, 0x22, 0x11})},
        {"frames", frameRequest(0x55, kTime, 300, 3),
         withHeader(0, 3, false,
                    concat({{1, 1, 3, 0, 0, 0, 0, 0, 0x55, 0, 0, 0, 0, 0, 0, 0},
                            kTimeBytes,
                            {0x2C, 0x01, 0x2D, 0x01, 0x2E, 0x01}}))},
        {"seek", seekRequest(0x55, kTime),
         withHeader(0, 5, true, concat({{0, 0, 0, 0, 0x55, 0, 0, 0}, kTimeBytes}))},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(c.built, c.expected) << c.name;
    }
    EXPECT_EQ(frameRequest(1, kTime, 0, 10).size(), 116u);
}

TEST(PlaybackMessage, CredentialsAreShiftedByTheirDistanceFromTheEnd) {
    // "a:b": n = 3; 'a' + 3, ':' + 2, 'b' + 1.
    EXPECT_EQ(encodeCredentials("a", "b"), "643c63");
    // A byte that wraps past 255 keeps its low byte and two digits.
    EXPECT_EQ(encodeCredentials("\xFF", "\x01"), "023c02");
    const std::string longest(127, 'u');
    EXPECT_EQ(encodeCredentials(longest, std::string(127, 'p'))->size(), 2u * 255);
    EXPECT_FALSE(encodeCredentials(longest, std::string(128, 'p')));
    EXPECT_FALSE(encodeCredentials("", "secret"));
    EXPECT_FALSE(encodeCredentials("admin", ""));
}

TEST(PlaybackMessage, PrefixAnnouncesLengthsFromOneTo262136) {
    struct Case {
        std::uint8_t first;
        std::uint32_t length;
        bool accepted;
    };
    const Case cases[] = {{0, 64, true},      {0, 1, true},   {0, 262136, true},
                          {0, 0, false},      {0, 262137, false}, {1, 64, false},
                          {0, 0xFFFFFFFF, false}};
    for (const auto& c : cases) {
        std::uint8_t prefix[5];
        writePrefix(prefix, c.length);
        prefix[0] = c.first;
        EXPECT_EQ(announcedLength(prefix).has_value(), c.accepted) << c.length;
    }
}

}  // namespace
}  // namespace ambro::playback
