#pragma once

#include <array>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <random>
#include <set>
#include <string>

namespace ambro::sim {

class ClientLink;

// One client's session with the current-generation server: the key handed
// out on its command connection, its ticket, and the video it asked for. Its
// auxiliary and video connections find it by the ticket.
class CurrentSession {
public:
    using Key = std::array<std::uint8_t, 16>;

    CurrentSession(std::uint32_t ticket, const Key& key, std::string user);

    std::uint32_t ticket() const { return ticket_; }
    const Key& key() const { return key_; }
    const std::string& user() const { return user_; }

    void setChannelMask(std::uint32_t mask);
    std::uint32_t channelMask() const;
    void startVideo();
    bool videoStarted() const;
    // The connections of the session, shut down when it closes.
    void attach(ClientLink& link);
    void detach(ClientLink& link);
    // Ends the session: its connections close.
    void close();
    bool open() const;
    // Sleeps until `deadline` or until the session changes.
    void waitUntil(std::chrono::steady_clock::time_point deadline);
    // True only the first time: the picture a mid-message close cuts.
    bool takeFirstPicture();

private:
    const std::uint32_t ticket_;
    const Key key_;
    const std::string user_;
    mutable std::mutex mutex_;
    std::condition_variable changed_;
    std::uint32_t channelMask_ = 0;
    bool videoStarted_ = false;
    bool open_ = true;
    bool firstPictureTaken_ = false;
    std::set<ClientLink*> links_;
};

// Keeps a connection attached to its session while it is served.
class SessionAttachment {
public:
    SessionAttachment(CurrentSession& session, ClientLink& link) : session_(session), link_(link) {
        session_.attach(link_);
    }
    ~SessionAttachment() { session_.detach(link_); }
    SessionAttachment(const SessionAttachment&) = delete;
    SessionAttachment& operator=(const SessionAttachment&) = delete;

private:
    CurrentSession& session_;
    ClientLink& link_;
};

class CurrentSessionTable {
public:
    std::shared_ptr<CurrentSession> create(const CurrentSession::Key& key, const std::string& user);
    std::shared_ptr<CurrentSession> find(std::uint32_t ticket) const;
    void remove(std::uint32_t ticket);
    CurrentSession::Key newKey();

private:
    mutable std::mutex mutex_;
    std::mt19937 random_{std::random_device{}()};
    std::map<std::uint32_t, std::shared_ptr<CurrentSession>> sessions_;
};

}  // namespace ambro::sim
