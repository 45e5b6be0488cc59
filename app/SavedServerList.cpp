#include "app/SavedServerList.h"

#include <algorithm>
#include <cctype>
#include <optional>

namespace ambro::app {

namespace {

constexpr const char* kCountName = "CountVal";

std::string valueName(const char* prefix, std::size_t index) {
    return std::string(prefix) + "_" + std::to_string(index);
}

// Cuts UTF-8 text to `limit` characters without splitting one.
std::string cutToCharacters(const std::string& text, std::size_t limit) {
    std::size_t characters = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const bool startsCharacter = (static_cast<unsigned char>(text[i]) & 0xC0) != 0x80;
        if (startsCharacter && characters++ == limit) return text.substr(0, i);
    }
    return text;
}

std::string withoutTrailingSpace(std::string text) {
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.back()))) text.pop_back();
    return text;
}

std::string loadedText(const std::string& stored) {
    return withoutTrailingSpace(cutToCharacters(stored, SavedServerList::kMaxTextLength));
}

// The leading decimal number of the count text; 0 when there is none.
std::size_t leadingCount(const std::string& text) {
    std::size_t count = 0;
    for (char c : text) {
        if (!std::isdigit(static_cast<unsigned char>(c))) break;
        count = std::min<std::size_t>(count * 10 + static_cast<std::size_t>(c - '0'), 1000000);
    }
    return count;
}

}  // namespace

SavedServerList::SavedServerList(SessionKind kind) : key_(keyFor(kind)) {}

std::string SavedServerList::keyFor(SessionKind kind) {
    return kind == SessionKind::Live ? "Software\\Brevantis\\AmbroV2"
                                     : "Software\\Brevantis\\AmbroV2Rpb";
}

void SavedServerList::load(const KeyValueStore& store) {
    entries_.clear();
    const std::size_t count = leadingCount(store.value(key_, kCountName).value_or(""));
    for (std::size_t i = 0; i < std::min(count, kMaxEntries); ++i) {
        const auto address = store.value(key_, valueName("IP", i));
        const auto port = store.value(key_, valueName("Port", i));
        const auto password = store.value(key_, valueName("Pass", i));
        const auto name = store.value(key_, valueName("Name", i));
        if (!address || !port || !password || !name) break;
        if (name->empty()) continue;
        entries_.push_back(
            {loadedText(*address), loadedText(*port), loadedText(*name), loadedText(*password)});
    }
}

void SavedServerList::save(KeyValueStore& store, const ServerEntry& current) {
    if (current.address.empty()) return;
    std::vector<ServerEntry> updated{current};
    const auto same = std::find(entries_.begin(), entries_.end(), current);
    for (auto entry = entries_.begin(); entry != entries_.end(); ++entry) {
        if (entry == same) continue;
        if (same == entries_.end() && updated.size() == kMaxEntries) break;
        updated.push_back(*entry);
    }
    entries_ = std::move(updated);

    store.setValue(key_, kCountName, std::to_string(entries_.size()) + "\t");
    for (std::size_t i = 0; i < entries_.size(); ++i) {
        store.setValue(key_, valueName("IP", i), entries_[i].address + "\t");
        store.setValue(key_, valueName("Port", i), entries_[i].port + "\t");
        store.setValue(key_, valueName("Name", i), entries_[i].userName + "\t");
        store.setValue(key_, valueName("Pass", i), entries_[i].password + "\t");
    }
}

void SavedServerList::clearHistory(KeyValueStore& store) {
    store.removeValue(key_, kCountName);
    entries_.clear();
}

std::string SavedServerList::passwordFieldFor(const ServerEntry& entry) {
    return entry.userName == kGuest ? std::string() : entry.password;
}

}  // namespace ambro::app
