#include "tools/sim/IoModel.h"

#include <cctype>

namespace ambro::sim {

namespace {

std::vector<IoModule> installedModules() {
    return {
        {{"Front Door", "Back Door", "Window Hall", "PIR Lobby", "PIR Yard", "Smoke Store",
          "Glass Break", "Panic Button"},
         {"Siren", "Floodlight", "Gate Lock", "Strobe"}},
        {{"Gate Contact", "Fence Zone 1", "Fence Zone 2", "Vibration", "Water Leak", "Tamper"},
         {"Barrier", "Cam Light 1", "Cam Light 2", "Buzzer", "Relay 5", "Relay 6", "Relay 7",
          "Relay 8", "Relay 9", "Relay 10"}},
    };
}

std::string upper(std::string text) {
    for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return text;
}

}  // namespace

IoModel::IoModel(SimLog& log) : log_(log), modules_(installedModules()) {
    for (const auto& module : modules_) outputs_.emplace_back(module.outputs.size());
}

// Input k is active for kActiveFor once in every 20 + 9k seconds, each input
// at its own phase, so alarms come every few seconds but never all at once.
bool IoModel::inputActive(int flatIndex, TimePoint time) const {
    const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(time.time_since_epoch());
    const long period = 20 + 9L * flatIndex;
    return (seconds.count() + 5L * flatIndex) % period < kActiveFor.count();
}

IoModel::InputMasks IoModel::inputMasks(TimePoint time) const {
    InputMasks masks{};
    int flat = 0;
    for (std::size_t module = 0; module < modules_.size(); ++module) {
        for (std::size_t input = 0; input < modules_[module].inputs.size(); ++input, ++flat) {
            if (inputActive(flat, time)) masks[module] |= static_cast<std::uint16_t>(1u << input);
        }
    }
    return masks;
}

IoModel::OutputState* IoModel::output(int module, int number) {
    if (module < 1 || module > static_cast<int>(outputs_.size())) return nullptr;
    auto& states = outputs_[static_cast<std::size_t>(module - 1)];
    if (number < 1 || number > static_cast<int>(states.size())) return nullptr;
    return &states[static_cast<std::size_t>(number - 1)];
}

bool IoModel::isOn(const OutputState& state, TimePoint now) const {
    return state.on && (!state.offAt || now < *state.offAt);
}

bool IoModel::setOutput(int module, int number, bool on, const std::string& who) {
    std::lock_guard lock(mutex_);
    OutputState* state = output(module, number);
    if (!state) return false;
    const TimePoint now = Clock::now();
    state->on = on;
    state->offAt.reset();
    if (on) state->forcedAt = now;
    const auto& name = modules_[static_cast<std::size_t>(module - 1)]
                           .outputs[static_cast<std::size_t>(number - 1)];
    log_.event("output " + std::to_string(number) + " (" + name + ") of module " +
               std::to_string(module) + " forced " + (on ? "on" : "off") + " by " + who);
    return true;
}

bool IoModel::pulseOutput(int module, int number, std::chrono::milliseconds duration,
                          const std::string& who) {
    if (!setOutput(module, number, true, who)) return false;
    std::lock_guard lock(mutex_);
    output(module, number)->offAt = Clock::now() + duration;
    return true;
}

bool IoModel::setFlatOutput(int index, bool on, const std::string& who) {
    for (std::size_t module = 0; module < modules_.size(); ++module) {
        const int count = static_cast<int>(modules_[module].outputs.size());
        if (index < count) return setOutput(static_cast<int>(module) + 1, index + 1, on, who);
        index -= count;
    }
    return false;
}

std::uint16_t IoModel::outputStates(int module, TimePoint now) const {
    std::lock_guard lock(mutex_);
    if (module < 1 || module > static_cast<int>(outputs_.size())) return 0;
    std::uint16_t states = 0;
    const auto& outputs = outputs_[static_cast<std::size_t>(module - 1)];
    for (std::size_t i = 0; i < outputs.size() && i < 16; ++i) {
        if (isOn(outputs[i], now)) states |= static_cast<std::uint16_t>(1u << i);
    }
    return states;
}

std::vector<std::string> IoModel::flatInputNames() const {
    std::vector<std::string> names;
    for (const auto& module : modules_) names.insert(names.end(), module.inputs.begin(), module.inputs.end());
    return names;
}

std::vector<std::string> IoModel::flatOutputNames() const {
    std::vector<std::string> names;
    for (const auto& module : modules_) names.insert(names.end(), module.outputs.begin(), module.outputs.end());
    return names;
}

std::vector<std::string> IoModel::overlayLines(TimePoint now) const {
    std::vector<std::string> lines;
    {
        std::lock_guard lock(mutex_);
        for (std::size_t module = 0; module < outputs_.size(); ++module) {
            for (std::size_t number = 0; number < outputs_[module].size(); ++number) {
                const OutputState& state = outputs_[module][number];
                if (!state.forcedAt || now - *state.forcedAt > kShownFor) continue;
                lines.push_back("OUT " + std::to_string(module + 1) + "." +
                                std::to_string(number + 1) + " " +
                                upper(modules_[module].outputs[number]) +
                                (isOn(state, now) ? " ON" : " FORCED"));
            }
        }
    }
    const InputMasks masks = inputMasks(now);
    for (std::size_t module = 0; module < modules_.size(); ++module) {
        for (std::size_t input = 0; input < modules_[module].inputs.size(); ++input) {
            if (masks[module] & (1u << input)) {
                lines.push_back("ALARM " + upper(modules_[module].inputs[input]));
            }
        }
    }
    return lines;
}

std::optional<AlarmWatch::Alarm> AlarmWatch::poll(const IoModel& io, TimePoint now) {
    const IoModel::InputMasks current = io.inputMasks(now);
    Alarm alarm;
    bool any = false;
    for (std::size_t module = 0; module < current.size(); ++module) {
        alarm.masks[module] = static_cast<std::uint16_t>(current[module] & ~seen_[module]);
        any = any || alarm.masks[module] != 0;
    }
    seen_ = current;
    if (!any) return std::nullopt;
    alarm.time = localDateTime(now);
    return alarm;
}

}  // namespace ambro::sim
