#include "playback/TimeCodeRows.h"

#include <cstdio>

namespace ambro::playback {

namespace {

constexpr std::int64_t kDayScale = 1000000;
constexpr std::size_t kFirstRunDigits = 9;

// A code at or above 1000000 carries the day, which is taken off.
std::int64_t reduced(std::uint32_t code, std::int64_t dayPart) {
    return code >= kDayScale ? static_cast<std::int64_t>(code) - dayPart : code;
}

std::string sixDigits(std::int64_t value) {
    char text[32];
    std::snprintf(text, sizeof text, "%06lld", static_cast<long long>(value));
    return text;
}

std::string clockText(const std::string& digits, std::size_t from) {
    return digits.substr(from, 2) + ":" + digits.substr(from + 2, 2) + ":" +
           digits.substr(from + 4, 2);
}

}  // namespace

std::vector<TimeCodeRow> timeCodeRows(const std::vector<std::uint32_t>& codes, int dayOfMonth) {
    const std::int64_t dayPart = static_cast<std::int64_t>(dayOfMonth) * kDayScale;
    std::vector<TimeCodeRow> rows;
    std::size_t i = 0;
    for (; i < codes.size() && codes[i] != 0; ++i) {
        const std::int64_t value = reduced(codes[i], dayPart);
        if (value < 0) continue;
        const std::string digits = sixDigits(value);
        // Flag digit, two zeros, HHMMSS: anything else does not read as a time.
        if (digits.size() != kFirstRunDigits) continue;
        const bool daylight = digits[0] == '2';
        rows.push_back({clockText(digits, 3) + (daylight ? "DST" : ""), daylight});
    }
    for (; i < codes.size(); ++i) {
        rows.push_back({clockText(sixDigits(reduced(codes[i], dayPart)), 0) + "(Day Light Save)",
                        false});
    }
    return rows;
}

}  // namespace ambro::playback
