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
    const std::size_t firstDigit = (*text)[0] == '-' ? 1 : 0;
    if (text->size() == firstDigit || text->size() > 18 ||
        text->find_first_not_of("0123456789", firstDigit) != std::string::npos) {
        return std::nullopt;
    }
    errno = 0;
    char* end = nullptr;
    const long value = std::strtol(text->c_str(), &end, 10);
    if (errno != 0 || *end != '\0' || value < minimum || value > maximum) return std::nullopt;
    return value;
}

bool CommandLine::hasSwitch(const std::string& name) const {
    return std::find(switches_.begin(), switches_.end(), name) != switches_.end();
}

std::optional<std::string> CommandLine::unknownOption(const std::vector<std::string>& known) const {
    const auto isKnown = [&](const std::string& name) {
        return std::find(known.begin(), known.end(), name) != known.end();
    };
    for (const auto& [name, value] : options_) {
        if (!isKnown(name)) return name;
    }
    for (const auto& name : switches_) {
        if (!isKnown(name)) return name;
    }
    return std::nullopt;
}

}  // namespace ambro::cli
