#pragma once

#include <atomic>
#include <functional>
#include <list>
#include <memory>
#include <mutex>
#include <thread>

#include "tools/sim/ClientLink.h"
#include "tools/sim/Listener.h"

namespace ambro::sim {

// One listening port of the installation: an accept thread, and a thread per
// accepted connection running `handler`. A handler that returns (its client
// went, or its protocol ended) frees its thread; stop() wakes every
// connection and joins every thread.
class ServerPort {
public:
    using Handler = std::function<void(ClientLink&)>;

    ServerPort(Listener listener, Handler handler, bool trickle);
    ~ServerPort();
    ServerPort(const ServerPort&) = delete;
    ServerPort& operator=(const ServerPort&) = delete;

    void start();
    void stop();
    std::uint16_t port() const { return listener_.port(); }

private:
    struct Connection {
        std::shared_ptr<ClientLink> link;
        std::shared_ptr<std::atomic<bool>> finished;
        std::thread thread;
    };

    void acceptLoop();
    void serve(int socket);
    void joinFinished();

    Listener listener_;
    Handler handler_;
    const bool trickle_;
    std::atomic<bool> stopping_{false};
    std::thread acceptor_;
    std::mutex connectionsMutex_;
    std::list<Connection> connections_;
};

}  // namespace ambro::sim
