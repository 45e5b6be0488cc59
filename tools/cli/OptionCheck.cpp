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

}  // namespace ambro::cli
