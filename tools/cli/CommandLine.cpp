#include "tools/cli/CommandLine.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>

namespace ambro::cli {

CommandLine::CommandLine(const std::vector<std::string>& words,
                         const std::vector<std::string>& switches) {
    for (std::size_t i = 0; i < words.size(); ++i) {
        const std::string& word = words[i];
        if (word.rfind("--", 0) != 0 || word.size() == 2) {
            arguments_.push_back(word);
            continue;
        }
        const std::string name = word.substr(2);
        if (std::find(switches.begin(), switches.end(), name) != switches.end()) {
            switches_.push_back(name);
        } else if (i + 1 < words.size()) {
            options_[name] = words[++i];
        } else {
            error_ = "option --" + name + " needs a value";
        }
    }
}

std::optional<std::string> CommandLine::option(const std::string& name) const {
    const auto found = options_.find(name);
    if (found == options_.end()) return std::nullopt;
    return found->second;
}

std::optional<long> CommandLine::number(const std::string& name, long minimum,
                                        long maximum) const {
    const auto text = option(name);
    if (!text || text->empty()) return std::nullopt;
    errno = 0;
    char* end = nullptr;
    const long value = std::strtol(text->c_str(), &end, 10);
    if (errno != 0 || *end != '\0' || value < minimum || value > maximum) return std::nullopt;
    return value;
}

bool CommandLine::hasSwitch(const std::string& name) const {
    return std::find(switches_.begin(), switches_.end(), name) != switches_.end();
}

}  // namespace ambro::cli
