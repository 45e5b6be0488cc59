#include "live/AlarmReport.h"

#include <cstdio>

namespace ambro::live {

namespace {

std::string inputName(const std::vector<std::vector<std::string>>& names, int module, int input) {
    if (module >= static_cast<int>(names.size())) return {};
    const auto& inputs = names[module];
    return input < static_cast<int>(inputs.size()) ? inputs[input] : std::string();
}

}  // namespace

std::optional<AlarmReport> buildAlarmReport(
    const std::array<std::uint16_t, kAlarmModules>& inputMasks, const platform::DateTime& time,
    const std::vector<std::vector<std::string>>& inputNames) {
    if (time.year == 0) return std::nullopt;
    AlarmReport report;
    char text[64];
    std::snprintf(text, sizeof text, "%04d/%02d/%02d", time.year, time.month, time.day);
    report.date = text;
    std::snprintf(text, sizeof text, "%02d:%02d:%02d", time.hour, time.minute, time.second);
    report.time = text;
    for (int module = 0; module < kAlarmModules; ++module) {
        for (int input = 0; input < kInputsPerModule; ++input) {
            if (!((inputMasks[module] >> input) & 1u)) continue;
            std::snprintf(text, sizeof text, "(Module %02d)", module + 1);
            report.alarms.push_back(text + inputName(inputNames, module, input));
        }
    }
    return report;
}

}  // namespace ambro::live
