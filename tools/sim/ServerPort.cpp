#include "tools/sim/ServerPort.h"

#include <unistd.h>

namespace ambro::sim {

namespace {
constexpr std::chrono::milliseconds kAcceptPoll{100};
}

ServerPort::ServerPort(Listener listener, Handler handler, bool trickle)
    : listener_(std::move(listener)), handler_(std::move(handler)), trickle_(trickle) {}

ServerPort::~ServerPort() {
    stop();
}

void ServerPort::start() {
    acceptor_ = std::thread([this] { acceptLoop(); });
}

void ServerPort::stop() {
    stopping_ = true;
    if (acceptor_.joinable()) acceptor_.join();
    std::list<Connection> remaining;
    {
        std::lock_guard lock(connectionsMutex_);
        remaining.swap(connections_);
    }
    for (auto& connection : remaining) connection.link->shutdown();
    for (auto& connection : remaining) {
        if (connection.thread.joinable()) connection.thread.join();
    }
}

void ServerPort::acceptLoop() {
    while (!stopping_) {
        const int socket = listener_.acceptWithin(kAcceptPoll);
        joinFinished();
        if (socket < 0) continue;
        if (stopping_) {
            ::close(socket);
            break;
        }
        serve(socket);
    }
}

void ServerPort::serve(int socket) {
    Connection connection;
    connection.link = std::make_shared<ClientLink>(socket, stopping_, trickle_);
    connection.finished = std::make_shared<std::atomic<bool>>(false);
    connection.thread = std::thread([this, link = connection.link, done = connection.finished] {
        handler_(*link);
        link->shutdown();
        *done = true;
    });
    std::lock_guard lock(connectionsMutex_);
    connections_.push_back(std::move(connection));
}

// Threads whose client has gone are joined as new clients come, so a long
// run does not collect finished threads.
void ServerPort::joinFinished() {
    std::list<Connection> finished;
    {
        std::lock_guard lock(connectionsMutex_);
        for (auto it = connections_.begin(); it != connections_.end();) {
            auto next = std::next(it);
            if (it->finished->load()) finished.splice(finished.end(), connections_, it);
            it = next;
        }
    }
    for (auto& connection : finished) connection.thread.join();
}

}  // namespace ambro::sim
