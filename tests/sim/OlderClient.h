#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "net/TwoPortConnection.h"
#include "tests/sim/SimHarness.h"

namespace ambro::test {

// A small client of the older generation's request/reply protocol, written
// from the protocol's description, with the client's own TwoPortConnection
// for the control connection.
class OlderClient {
public:
    struct Message {
        std::int32_t status = 0;
        Bytes payload;

        std::uint32_t word(std::size_t index) const;
    };
    struct Picture {
        Bytes payload;
        Bytes timestamp;  // 16 bytes
        bool audioBefore = false;
    };

    explicit OlderClient(std::uint16_t port);

    const std::array<std::uint32_t, 4>& greeting() const { return greeting_; }
    bool greeted() const { return greeted_; }

    // connect (client type 2) and log-in on the ports of the greeting.
    bool openControl(const std::string& user, const std::string& password);
    net::TwoPortConnection& control() { return *control_; }

    bool send(std::int32_t code, const Bytes& payload = {});
    std::optional<Message> receive();
    // Sends and reads the reply, skipping stream packets.
    std::optional<Message> request(std::int32_t code, const Bytes& payload = {});
    static Bytes word(std::int32_t value);

    // Hello, key, password, module tables and client check. The reply that
    // ended the sequence (or none when the connection broke).
    std::optional<Message> logIn(const std::string& user, const std::string& password);
    std::int32_t version() const { return version_; }
    std::uint32_t viewWord() const { return viewWord_; }

    // The next picture of a running stream.
    std::optional<Picture> receivePicture();

    TestSocket& socket() { return socket_; }

private:
    TestSocket socket_;
    std::array<std::uint32_t, 4> greeting_{};
    bool greeted_ = false;
    std::unique_ptr<net::TwoPortConnection> control_;
    std::int32_t version_ = 0;
    std::uint32_t viewWord_ = 0;
};

}  // namespace ambro::test
