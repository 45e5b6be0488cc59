#pragma once

#include <map>
#include <optional>
#include <string>
#include <vector>

namespace ambro::cli {

// The words after a subcommand: "--name value" options, "--flag" switches and
// plain arguments, in the order given.
class CommandLine {
public:
    // `switches` are the options that take no value.
    CommandLine(const std::vector<std::string>& words, const std::vector<std::string>& switches);

    bool valid() const { return error_.empty(); }
    const std::string& error() const { return error_; }

    std::optional<std::string> option(const std::string& name) const;
    // A whole number within [minimum, maximum], written in decimal digits
    // with an optional leading minus and nothing else; none otherwise.
    std::optional<long> number(const std::string& name, long minimum, long maximum) const;
    bool hasSwitch(const std::string& name) const;
    // The first option or switch given that is not among `known`, if any.
    std::optional<std::string> unknownOption(const std::vector<std::string>& known) const;
    const std::vector<std::string>& arguments() const { return arguments_; }

private:
    std::map<std::string, std::string> options_;
    std::vector<std::string> switches_;
    std::vector<std::string> arguments_;
    std::string error_;
};

}  // namespace ambro::cli
