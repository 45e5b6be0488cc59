#include "tests/sim/PlaybackClient.h"

#include <cstdio>

#include "platform/ByteOrder.h"

namespace ambro::test {

namespace {

void put16(Bytes& bytes, std::size_t offset, std::uint16_t value) {
    if (bytes.size() < offset + 2) bytes.resize(offset + 2);
    platform::storeLe16(bytes.data() + offset, value);
}

void put32(Bytes& bytes, std::size_t offset, std::uint32_t value) {
    if (bytes.size() < offset + 4) bytes.resize(offset + 4);
    platform::storeLe32(bytes.data() + offset, value);
}

}  // namespace

std::uint16_t PlaybackClient::Message::word16(std::size_t offset) const {
    return bytes.size() >= offset + 2 ? platform::loadLe16(bytes.data() + offset) : 0;
}

std::uint32_t PlaybackClient::Message::word32(std::size_t offset) const {
    return bytes.size() >= offset + 4 ? platform::loadLe32(bytes.data() + offset) : 0;
}

std::string PlaybackClient::Message::text(std::size_t offset, std::size_t field) const {
    std::string text;
    for (std::size_t i = offset; i < offset + field && i < bytes.size() && bytes[i]; ++i) {
        text += static_cast<char>(bytes[i]);
    }
    return text;
}

PlaybackClient::PlaybackClient(std::uint16_t port) : socket_(port) {}

bool PlaybackClient::send(std::uint8_t group, std::uint8_t command, bool replyExpected,
                          const Bytes& body) {
    Bytes message(5 + 64);
    const std::uint32_t size = static_cast<std::uint32_t>(64 + body.size());
    platform::storeLe32(message.data() + 1, size);
    message[5] = 25;
    message[6] = group;
    message[7] = command;
    message[8] = replyExpected ? 1 : 0;
    platform::storeLe32(message.data() + 9, 0x7E57);
    platform::storeLe32(message.data() + 13, size);
    message.insert(message.end(), body.begin(), body.end());
    return socket_.send(message);
}

std::optional<PlaybackClient::Message> PlaybackClient::receive() {
    const auto prefix = socket_.receive(5);
    if (!prefix) return std::nullopt;
    const std::uint32_t length = platform::loadLe32(prefix->data() + 1);
    if ((*prefix)[0] != 0 || length < 64 || length > 262136) return std::nullopt;
    auto bytes = socket_.receive(length);
    if (!bytes) return std::nullopt;
    return Message{(*prefix)[0], std::move(*bytes)};
}

std::optional<PlaybackClient::Message> PlaybackClient::exchange(std::uint8_t group,
                                                                std::uint8_t command,
                                                                const Bytes& body) {
    if (!send(group, command, true, body)) return std::nullopt;
    for (int skipped = 0; skipped < 100; ++skipped) {
        auto reply = receive();
        if (!reply || (reply->group() == group && reply->command() == command)) return reply;
    }
    return std::nullopt;
}

std::optional<PlaybackClient::Message> PlaybackClient::workPath() {
    return exchange(4, 0, Bytes(12, 0));
}

std::string PlaybackClient::encodeCredentials(const std::string& user, const std::string& password) {
    const std::string text = user + ":" + password;
    std::string hex;
    for (std::size_t i = 0; i < text.size(); ++i) {
        char digits[4];
        std::snprintf(digits, sizeof digits, "%02x",
                      static_cast<unsigned>((static_cast<unsigned char>(text[i]) + text.size() - i) % 256));
        hex += digits;
    }
    return hex;
}

std::optional<PlaybackClient::Message> PlaybackClient::logIn(const std::string& user,
                                                             const std::string& password) {
    const std::string hex = encodeCredentials(user, password);
    Bytes body(8);
    body[1] = 1;
    put32(body, 4, static_cast<std::uint32_t>(hex.size()));
    body.insert(body.end(), hex.begin(), hex.end());
    return exchange(4, 4, body);
}

std::optional<PlaybackClient::Message> PlaybackClient::camera(int number) {
    Bytes body(48);
    body[0] = static_cast<std::uint8_t>(number);
    return exchange(5, 17, body);
}

std::optional<PlaybackClient::Message> PlaybackClient::day(std::uint32_t day,
                                                           std::uint32_t reference) {
    Bytes body(12);
    put32(body, 0, day);
    put32(body, 4, reference);
    return exchange(5, 2, body);
}

std::optional<PlaybackClient::Message> PlaybackClient::file(std::uint32_t reference,
                                                            const Bytes& time) {
    Bytes body(24);
    put32(body, 0, reference);
    std::copy(time.begin(), time.end(), body.begin() + 4);
    return exchange(5, 8, body);
}

std::optional<PlaybackClient::Message> PlaybackClient::open(const std::string& path) {
    Bytes body(8);
    put32(body, 4, static_cast<std::uint32_t>(path.size()));
    body.insert(body.end(), path.begin(), path.end());
    return exchange(0, 0, body);
}

bool PlaybackClient::requestFrames(std::uint32_t handle, const Bytes& fileTime,
                                   std::uint16_t first, int count) {
    Bytes body(32);
    body[0] = 1;
    body[1] = 1;
    put16(body, 2, static_cast<std::uint16_t>(count));
    put32(body, 8, handle);
    std::copy(fileTime.begin(), fileTime.end(), body.begin() + 16);
    for (int i = 0; i < count; ++i) put16(body, 32 + 2 * static_cast<std::size_t>(i), static_cast<std::uint16_t>(first + i));
    return send(0, 3, false, body);
}

std::optional<PlaybackClient::Message> PlaybackClient::seek(std::uint32_t handle,
                                                            const Bytes& target) {
    Bytes body(24);
    put32(body, 4, handle);
    std::copy(target.begin(), target.end(), body.begin() + 8);
    return exchange(0, 5, body);
}

Bytes PlaybackClient::dateTime(int year, int month, int day, int hour, int minute, int second,
                               int millisecond) {
    Bytes bytes(16);
    const int fields[] = {year, month, 0, day, hour, minute, second, millisecond};
    for (std::size_t i = 0; i < 8; ++i) {
        platform::storeLe16(bytes.data() + 2 * i, static_cast<std::uint16_t>(fields[i]));
    }
    return bytes;
}

}  // namespace ambro::test
