#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/DateTime.h"

namespace ambro::live {

inline constexpr int kAlarmModules = 8;
inline constexpr int kInputsPerModule = 16;

// The texts an alarm poll hands to the input monitor: one date, one time,
// and one alarm text per input that is set.
struct AlarmReport {
    std::string date;                 // "2010/03/15"
    std::string time;                 // "09:30:05"
    std::vector<std::string> alarms;  // "(Module 02)" followed by the input's name

    friend bool operator==(const AlarmReport&, const AlarmReport&) = default;
};

// The report of one alarm poll: for module m (1 to 8) and each input bit i
// (lowest first) set in its mask, the text "(Module mm)" and the name of
// input i of module m (`inputNames[m - 1][i]`, empty when unknown). An
// alarm time of year 0 reports nothing.
std::optional<AlarmReport> buildAlarmReport(
    const std::array<std::uint16_t, kAlarmModules>& inputMasks, const platform::DateTime& time,
    const std::vector<std::vector<std::string>>& inputNames);

}  // namespace ambro::live
