#pragma once

#include <optional>
#include <string>

namespace ambro::app {

// A per-user store of text values grouped under keys, the way the saved
// server lists are kept.
class KeyValueStore {
public:
    virtual ~KeyValueStore() = default;
    virtual std::optional<std::string> value(const std::string& key,
                                             const std::string& name) const = 0;
    virtual void setValue(const std::string& key, const std::string& name,
                          const std::string& text) = 0;
    virtual void removeValue(const std::string& key, const std::string& name) = 0;
};

}  // namespace ambro::app
