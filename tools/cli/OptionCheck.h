#pragma once

#include <optional>
#include <ostream>
#include <string>

#include "tools/cli/CommandLine.h"

namespace ambro::cli {

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

    const CommandLine& line() const { return line_; }

private:
    const CommandLine& line_;
    const std::string program_;
    const std::string usage_;
    std::ostream& err_;
};

}  // namespace ambro::cli
