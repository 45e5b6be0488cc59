#pragma once

#include <map>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "tools/cli/CommandLine.h"

namespace ambro::cli {

// Each command of a program and the options it takes of its own.
using CommandOptions = std::map<std::string, std::vector<std::string>>;

// Checks a command's options before anything is connected: every problem is
// reported once on standard error, naming the option, followed by the
// command's usage.
class OptionCheck {
public:
    OptionCheck(const CommandLine& line, std::string program, std::string usage,
                std::ostream& err)
        : line_(line), program_(std::move(program)), usage_(std::move(usage)), err_(err) {}

    // Reports a usage problem; always false, so a check can end with it.
    bool fail(const std::string& message);
    // A whole number from minimum to maximum into `value`; a missing option
    // is a problem only when `required`.
    bool number(const std::string& name, long minimum, long maximum, bool required, int& value);
    // A text option into `value`; a missing or empty one is a problem only
    // when `required`.
    bool text(const std::string& name, bool required, std::string& value);

    // The command that the first argument names, after checking that every
    // option given is one of its own or one of `common`; nothing after
    // reporting a missing or unknown command or an unknown option.
    std::optional<std::string> command(const CommandOptions& commands,
                                       std::vector<std::string> common);

    const CommandLine& line() const { return line_; }

private:
    const CommandLine& line_;
    const std::string program_;
    const std::string usage_;
    std::ostream& err_;
};

}  // namespace ambro::cli
