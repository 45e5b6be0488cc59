#include "tools/cli/OptionCheck.h"

namespace ambro::cli {

bool OptionCheck::fail(const std::string& message) {
    err_ << program_ << ": " << message << "\n" << usage_;
    return false;
}

bool OptionCheck::number(const std::string& name, long minimum, long maximum, bool required,
                         int& value) {
    if (!line_.option(name)) return required ? fail("--" + name + " is required") : true;
    const auto number = line_.number(name, minimum, maximum);
    if (!number) {
        return fail("--" + name + " must be a whole number from " + std::to_string(minimum) +
                    " to " + std::to_string(maximum));
    }
    value = static_cast<int>(*number);
    return true;
}

bool OptionCheck::text(const std::string& name, bool required, std::string& value) {
    const auto given = line_.option(name);
    if (!given || given->empty()) return required ? fail("--" + name + " is required") : true;
    value = *given;
    return true;
}

std::optional<std::string> OptionCheck::command(const CommandOptions& commands,
                                                std::vector<std::string> common) {
    const std::string name = line_.arguments().empty() ? "" : line_.arguments()[0];
    const auto own = commands.find(name);
    if (own == commands.end()) {
        fail(name.empty() ? "a command is required" : "unknown command '" + name + "'");
        return std::nullopt;
    }
    common.insert(common.end(), own->second.begin(), own->second.end());
    if (const auto unknown = line_.unknownOption(common)) {
        fail("unknown option --" + *unknown);
        return std::nullopt;
    }
    return name;
}

}  // namespace ambro::cli
