#pragma once

#include <map>
#include <optional>
#include <string>

namespace ambro::sim {

// The accounts every server of the simulated installation accepts.
class UserTable {
public:
    UserTable() = default;
    UserTable(const std::string& user, const std::string& password);

    // A file of "user:password" lines; blank lines and lines starting with
    // "#" are skipped. The password is everything after the first ":".
    // Returns none, with `error` set, when the file cannot be read or holds
    // no account.
    static std::optional<UserTable> fromFile(const std::string& path, std::string& error);

    void add(const std::string& user, const std::string& password);
    std::optional<std::string> passwordOf(const std::string& user) const;
    bool accepts(const std::string& user, const std::string& password) const;
    std::size_t size() const { return accounts_.size(); }
    const std::map<std::string, std::string>& accounts() const { return accounts_; }

private:
    std::map<std::string, std::string> accounts_;
};

}  // namespace ambro::sim
