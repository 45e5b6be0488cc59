#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

#include "net/TwoPortConnection.h"
#include "tests/support/FakePeer.h"

namespace ambro::test {

using Bytes = std::vector<std::uint8_t>;

// One request the fake control server expects and what it answers.
struct ControlExchange {
    std::size_t requestLength;
    Bytes reply;
};

// A fake older-generation control server: a command port that runs the
// connect steps and then either the scripted exchanges or, without a
// script, answers every request it understands by its first byte (log-in
// 7, camera commands 53 and 54, channel command 100), and a data port that
// takes the session number.
class FakeControlServer {
public:
    std::int32_t version = 6100;
    std::int32_t sessionNumber = 7;
    Bytes confirmation = {'R', 'D', 'Y', 0};
    std::vector<ControlExchange> exchanges;
    bool closeAfterExchanges = false;
    // Answers of the understood requests: the log-in's status, and the first
    // answer byte of camera and channel commands (0 means "not there").
    std::uint8_t loginStatus = 1;
    std::uint8_t cameraAnswer = 1;
    std::uint8_t channelAnswer = 1;

    mutable std::mutex mutex;
    std::uint32_t clientType = 0;
    std::vector<Bytes> requests;
    std::optional<std::uint32_t> dataSessionNumber;

    ~FakeControlServer();

    // Starts listening (after the fields above are set) and returns the two
    // ports: the command port first.
    std::pair<std::uint16_t, std::uint16_t> listen();
    // Listens and makes a connection object for it.
    std::unique_ptr<net::TwoPortConnection> connection();

    std::vector<Bytes> recorded() const;
    FakePeer* dataPeer() { return dataPeer_ ? &*dataPeer_ : nullptr; }

private:
    void serve(PeerConnection& connection);
    void answer(PeerConnection& connection);
    void record(const Bytes& request);

    std::optional<FakePeer> dataPeer_;
    std::optional<FakePeer> commandPeer_;
};

}  // namespace ambro::test
