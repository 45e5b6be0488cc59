#pragma once

#include <map>
#include <utility>

#include "app/KeyValueStore.h"

namespace ambro::test {

// A key-value store in memory, for tests of what is stored.
class MemoryKeyValueStore : public app::KeyValueStore {
public:
    std::optional<std::string> value(const std::string& key,
                                     const std::string& name) const override {
        const auto found = values.find({key, name});
        if (found == values.end()) return std::nullopt;
        return found->second;
    }
    void setValue(const std::string& key, const std::string& name,
                  const std::string& text) override {
        values[{key, name}] = text;
    }
    void removeValue(const std::string& key, const std::string& name) override {
        values.erase({key, name});
    }

    std::map<std::pair<std::string, std::string>, std::string> values;
};

}  // namespace ambro::test
