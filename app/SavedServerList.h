#pragma once

#include <string>
#include <vector>

#include "app/KeyValueStore.h"
#include "app/ServerEntry.h"
#include "app/SessionKind.h"

namespace ambro::app {

// The servers of one session kind, most recently used first, as the connect
// dialog offers them. Every value is stored as its text followed by a tab.
class SavedServerList {
public:
    static constexpr std::size_t kMaxEntries = 20;
    static constexpr std::size_t kMaxTextLength = 63;  // characters kept of a loaded text
    static constexpr const char* kGuest = "Guest";

    explicit SavedServerList(SessionKind kind);

    static std::string keyFor(SessionKind kind);

    // Reads the list; stops at the first entry with a missing value and skips
    // entries whose user-name value is empty.
    void load(const KeyValueStore& store);
    // Puts `current` first: an identical entry moves to the front, a new one
    // is inserted and the oldest beyond 20 dropped. Nothing is written when the
    // address is empty.
    void save(KeyValueStore& store, const ServerEntry& current);
    // Forgets the list: only the count is removed from the store.
    void clearHistory(KeyValueStore& store);

    const std::vector<ServerEntry>& entries() const { return entries_; }

    // The password field shows nothing for the guest user.
    static std::string passwordFieldFor(const ServerEntry& entry);

private:
    std::string key_;
    std::vector<ServerEntry> entries_;
};

}  // namespace ambro::app
