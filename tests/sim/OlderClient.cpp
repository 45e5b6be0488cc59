#include "tests/sim/OlderClient.h"

#include <cmath>

#include "net/TwoPortPassword.h"
#include "platform/ByteOrder.h"

namespace ambro::test {

namespace {

constexpr std::int32_t kFinal = 255;
constexpr std::int32_t kVideo = 41;
constexpr std::int32_t kAudio = 40;

// b^e mod m by left-to-right binary exponentiation in double precision, as
// the client computes it.
std::int32_t raise(std::uint8_t byte, std::uint32_t exponent, std::uint32_t modulus) {
    const double m = modulus;
    double result = 1;
    int top = 31;
    while (top > 0 && !(exponent & (1u << top))) --top;
    for (int bit = top; bit >= 0; --bit) {
        result = std::fmod(result * result, m);
        if (exponent & (1u << bit)) result = std::fmod(byte * result, m);
    }
    return static_cast<std::int32_t>(result);
}

Bytes credentialBlock(const std::string& user, const std::string& password,
                      std::uint32_t modulus, std::uint32_t exponent) {
    std::uint8_t plain[64] = {};
    std::copy_n(user.begin(), std::min<std::size_t>(user.size(), 32), plain);
    std::copy_n(password.begin(), std::min<std::size_t>(password.size(), 32), plain + 32);
    Bytes block(256);
    for (std::size_t i = 0; i < 64; ++i) {
        platform::storeLe32(block.data() + 4 * i,
                            static_cast<std::uint32_t>(raise(plain[i], exponent, modulus)));
    }
    return block;
}

}  // namespace

std::uint32_t OlderClient::Message::word(std::size_t index) const {
    return payload.size() >= 4 * index + 4 ? platform::loadLe32(payload.data() + 4 * index) : 0;
}

OlderClient::OlderClient(std::uint16_t port) : socket_(port) {
    const auto bytes = socket_.receive(16);
    if (!bytes) return;
    for (std::size_t i = 0; i < 4; ++i) greeting_[i] = platform::loadLe32(bytes->data() + 4 * i);
    greeted_ = true;
}

bool OlderClient::openControl(const std::string& user, const std::string& password) {
    control_ = std::make_unique<net::TwoPortConnection>(
        "127.0.0.1", static_cast<std::uint16_t>(greeting_[2]), static_cast<std::uint16_t>(greeting_[3]));
    if (control_->connect(net::TwoPortConnection::kClientType) !=
        net::TwoPortConnectResult::Ready) {
        return false;
    }
    return control_->login(net::codeTwoPortPassword(password), user).has_value();
}

Bytes OlderClient::word(std::int32_t value) {
    Bytes bytes(4);
    platform::storeLe32(bytes.data(), static_cast<std::uint32_t>(value));
    return bytes;
}

bool OlderClient::send(std::int32_t code, const Bytes& payload) {
    Bytes message(8);
    platform::storeLe32(message.data(), static_cast<std::uint32_t>(code));
    platform::storeLe32(message.data() + 4, static_cast<std::uint32_t>(payload.size()));
    message.insert(message.end(), payload.begin(), payload.end());
    return socket_.send(message);
}

std::optional<OlderClient::Message> OlderClient::receive() {
    const auto head = socket_.receive(8);
    if (!head) return std::nullopt;
    const std::uint32_t length = platform::loadLe32(head->data() + 4);
    if (length > 40951) return std::nullopt;
    Message message;
    message.status = static_cast<std::int32_t>(platform::loadLe32(head->data()));
    auto payload = socket_.receive(length);
    if (!payload) return std::nullopt;
    message.payload = std::move(*payload);
    return message;
}

std::optional<OlderClient::Message> OlderClient::request(std::int32_t code, const Bytes& payload) {
    if (!send(code, payload)) return std::nullopt;
    for (int skipped = 0; skipped < 10000; ++skipped) {
        auto message = receive();
        if (!message || (message->status != kVideo && message->status != kAudio)) return message;
    }
    return std::nullopt;
}

std::optional<OlderClient::Message> OlderClient::logIn(const std::string& user,
                                                       const std::string& password) {
    if (!send(0)) return std::nullopt;
    auto hello = receive();
    if (!hello) return std::nullopt;
    version_ = hello->status;
    viewWord_ = hello->word(0);
    const auto key = request(13);
    if (!key || key->status != kFinal) return key;
    const auto accepted = request(6, credentialBlock(user, password, key->word(0), key->word(1)));
    if (!accepted || accepted->status != kFinal) return accepted;
    const auto modules = request(15);
    if (!modules || modules->payload.size() < 2) return modules;
    const int count = platform::loadLe16(modules->payload.data());
    for (int module = 1; module <= count; ++module) {
        const Bytes index = {static_cast<std::uint8_t>(module), 0};
        for (std::int32_t code = 16; code <= 19; ++code) {
            const auto reply = request(code, index);
            if (!reply || reply->status != kFinal) return reply;
        }
    }
    return request(37);
}

std::optional<OlderClient::Picture> OlderClient::receivePicture() {
    Picture picture;
    for (int skipped = 0; skipped < 1000; ++skipped) {
        auto header = receive();
        if (!header) return std::nullopt;
        if (header->status == kAudio) {
            const std::uint32_t length = header->word(0);
            for (std::uint32_t taken = 0; taken < length;) {
                const auto packet = receive();
                if (!packet || packet->status != kAudio) return std::nullopt;
                taken += static_cast<std::uint32_t>(packet->payload.size());
            }
            picture.audioBefore = true;
            continue;
        }
        if (header->status != kVideo || header->payload.size() < 20) continue;
        const std::uint32_t length = header->word(0);
        picture.timestamp.assign(header->payload.begin() + 4, header->payload.begin() + 20);
        while (picture.payload.size() < length) {
            const auto packet = receive();
            if (!packet || packet->status != kVideo) return std::nullopt;
            picture.payload.insert(picture.payload.end(), packet->payload.begin(), packet->payload.end());
        }
        return picture;
    }
    return std::nullopt;
}

}  // namespace ambro::test
