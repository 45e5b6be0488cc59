#include "tools/sim/UserTable.h"

#include <fstream>

namespace ambro::sim {

UserTable::UserTable(const std::string& user, const std::string& password) {
    add(user, password);
}

std::optional<UserTable> UserTable::fromFile(const std::string& path, std::string& error) {
    std::ifstream file(path);
    if (!file) {
        error = "cannot read the users file " + path;
        return std::nullopt;
    }
    UserTable table;
    std::string line;
    int number = 0;
    while (std::getline(file, line)) {
        ++number;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.empty() || line[0] == '#') continue;
        const auto colon = line.find(':');
        if (colon == std::string::npos || colon == 0) {
            error = path + ":" + std::to_string(number) + ": expected user:password";
            return std::nullopt;
        }
        table.add(line.substr(0, colon), line.substr(colon + 1));
    }
    if (table.size() == 0) {
        error = "the users file " + path + " holds no account";
        return std::nullopt;
    }
    return table;
}

void UserTable::add(const std::string& user, const std::string& password) {
    accounts_[user] = password;
}

std::optional<std::string> UserTable::passwordOf(const std::string& user) const {
    const auto found = accounts_.find(user);
    if (found == accounts_.end()) return std::nullopt;
    return found->second;
}

bool UserTable::accepts(const std::string& user, const std::string& password) const {
    const auto stored = passwordOf(user);
    return stored && *stored == password;
}

}  // namespace ambro::sim
