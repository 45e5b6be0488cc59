#include "tests/support/FakeControlServer.h"

namespace ambro::test {

FakeControlServer::~FakeControlServer() {
    commandPeer_.reset();
    dataPeer_.reset();
}

std::pair<std::uint16_t, std::uint16_t> FakeControlServer::listen() {
    if (!commandPeer_) {
        dataPeer_.emplace([this](PeerConnection& connection, int) {
            const auto number = connection.receiveLe32();
            std::lock_guard lock(mutex);
            dataSessionNumber = number;
        });
        commandPeer_.emplace([this](PeerConnection& connection, int) { serve(connection); });
    }
    return {commandPeer_->port(), dataPeer_->port()};
}

std::unique_ptr<net::TwoPortConnection> FakeControlServer::connection() {
    const auto [commandPort, dataPort] = listen();
    return std::make_unique<net::TwoPortConnection>("127.0.0.1", commandPort, dataPort);
}

std::vector<Bytes> FakeControlServer::recorded() const {
    std::lock_guard lock(mutex);
    return requests;
}

void FakeControlServer::record(const Bytes& request) {
    std::lock_guard lock(mutex);
    requests.push_back(request);
}

void FakeControlServer::serve(PeerConnection& connection) {
    connection.sendLe32(static_cast<std::uint32_t>(version));
    const auto type = connection.receiveLe32();
    if (!type) return;
    {
        std::lock_guard lock(mutex);
        clientType = *type;
    }
    connection.sendLe32(static_cast<std::uint32_t>(sessionNumber));
    if (sessionNumber < 0) return;
    connection.send(confirmation);
    if (exchanges.empty()) return answer(connection);
    for (const ControlExchange& exchange : exchanges) {
        Bytes request(exchange.requestLength);
        if (!connection.receive(request)) return;
        record(request);
        if (!connection.send(exchange.reply)) return;
    }
    if (!closeAfterExchanges) connection.waitForClose(FakePeer::kIoTimeout);
}

// Reads each request by its first byte and answers it as a server would.
void FakeControlServer::answer(PeerConnection& connection) {
    for (;;) {
        std::uint8_t code = 0;
        if (!connection.receive(std::span(&code, 1))) return;
        std::size_t rest = 0;
        switch (code) {
            case 7: {
                std::uint8_t length = 0;
                if (!connection.receive(std::span(&length, 1))) return;
                Bytes request = {code, length};
                Bytes tail(length);
                if (!connection.receive(tail)) return;
                request.insert(request.end(), tail.begin(), tail.end());
                record(request);
                if (!connection.send(Bytes{loginStatus, 0x4C, 0x49})) return;
                continue;
            }
            case 53: rest = 3; break;
            case 54: rest = 4; break;
            case 100: rest = 2; break;
            default: return;
        }
        Bytes request(1 + rest, code);
        if (!connection.receive(std::span(request).subspan(1))) return;
        record(request);
        const std::uint8_t first = code == 100 ? channelAnswer : cameraAnswer;
        if (!connection.send(Bytes{1, first, 0x12, 0x34})) return;
    }
}

}  // namespace ambro::test
