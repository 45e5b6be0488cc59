#include "tools/sim/CurrentSession.h"

#include "tools/sim/ClientLink.h"

namespace ambro::sim {

CurrentSession::CurrentSession(std::uint32_t ticket, const Key& key, std::string user)
    : ticket_(ticket), key_(key), user_(std::move(user)) {}

void CurrentSession::setChannelMask(std::uint32_t mask) {
    {
        std::lock_guard lock(mutex_);
        channelMask_ = mask;
    }
    changed_.notify_all();
}

std::uint32_t CurrentSession::channelMask() const {
    std::lock_guard lock(mutex_);
    return channelMask_;
}

void CurrentSession::startVideo() {
    {
        std::lock_guard lock(mutex_);
        videoStarted_ = true;
    }
    changed_.notify_all();
}

bool CurrentSession::videoStarted() const {
    std::lock_guard lock(mutex_);
    return videoStarted_;
}

void CurrentSession::attach(ClientLink& link) {
    std::lock_guard lock(mutex_);
    if (!open_) link.shutdown();
    links_.insert(&link);
}

void CurrentSession::detach(ClientLink& link) {
    std::lock_guard lock(mutex_);
    links_.erase(&link);
}

void CurrentSession::close() {
    {
        std::lock_guard lock(mutex_);
        open_ = false;
        for (ClientLink* link : links_) link->shutdown();
    }
    changed_.notify_all();
}

bool CurrentSession::open() const {
    std::lock_guard lock(mutex_);
    return open_;
}

void CurrentSession::waitUntil(std::chrono::steady_clock::time_point deadline) {
    std::unique_lock lock(mutex_);
    const std::uint32_t mask = channelMask_;
    const bool started = videoStarted_;
    changed_.wait_until(lock, deadline, [&] {
        return !open_ || channelMask_ != mask || videoStarted_ != started;
    });
}

bool CurrentSession::takeFirstPicture() {
    std::lock_guard lock(mutex_);
    const bool first = !firstPictureTaken_;
    firstPictureTaken_ = true;
    return first;
}

std::shared_ptr<CurrentSession> CurrentSessionTable::create(const CurrentSession::Key& key,
                                                            const std::string& user) {
    std::lock_guard lock(mutex_);
    std::uint32_t ticket = 0;
    while (ticket == 0 || sessions_.count(ticket)) ticket = random_();
    auto session = std::make_shared<CurrentSession>(ticket, key, user);
    sessions_[ticket] = session;
    return session;
}

std::shared_ptr<CurrentSession> CurrentSessionTable::find(std::uint32_t ticket) const {
    std::lock_guard lock(mutex_);
    const auto found = sessions_.find(ticket);
    return found == sessions_.end() ? nullptr : found->second;
}

void CurrentSessionTable::remove(std::uint32_t ticket) {
    std::lock_guard lock(mutex_);
    sessions_.erase(ticket);
}

CurrentSession::Key CurrentSessionTable::newKey() {
    std::lock_guard lock(mutex_);
    CurrentSession::Key key;
    for (auto& byte : key) byte = static_cast<std::uint8_t>(random_());
    return key;
}

}  // namespace ambro::sim
