#pragma once

#include <array>
#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "tools/sim/LocalTime.h"
#include "tools/sim/SimLog.h"

namespace ambro::sim {

struct IoModule {
    std::vector<std::string> inputs;   // names of at most 16 characters
    std::vector<std::string> outputs;
};

// The I/O modules of the installation. Inputs follow a fixed schedule of the
// wall clock (each goes active for a few seconds now and then, which raises
// an alarm); outputs are forced by clients, logged, and shown in the pictures
// for a while.
class IoModel {
public:
    static constexpr int kMaxModules = 8;
    static constexpr std::chrono::seconds kShownFor{10};
    static constexpr std::chrono::seconds kActiveFor{4};

    using InputMasks = std::array<std::uint16_t, kMaxModules>;  // module 1 first, bit i = input i+1

    explicit IoModel(SimLog& log);

    const std::vector<IoModule>& modules() const { return modules_; }
    InputMasks inputMasks(TimePoint time) const;

    // Module and output count from 1. False when there is no such output.
    bool setOutput(int module, int output, bool on, const std::string& who);
    // On now and off again after `duration` (the older generation's force).
    bool pulseOutput(int module, int output, std::chrono::milliseconds duration,
                     const std::string& who);
    // Outputs counted from 0 across all modules, as the current generation
    // numbers them.
    bool setFlatOutput(int index, bool on, const std::string& who);
    std::uint16_t outputStates(int module, TimePoint now) const;

    std::vector<std::string> flatInputNames() const;
    std::vector<std::string> flatOutputNames() const;

    // Lines for the pictures: outputs forced lately, inputs active now.
    std::vector<std::string> overlayLines(TimePoint now) const;

private:
    struct OutputState {
        bool on = false;
        std::optional<TimePoint> offAt;  // a pulse ends by itself
        std::optional<TimePoint> forcedAt;
    };
    bool inputActive(int flatIndex, TimePoint time) const;
    OutputState* output(int module, int number);
    bool isOn(const OutputState& state, TimePoint now) const;

    SimLog& log_;
    std::vector<IoModule> modules_;
    mutable std::mutex mutex_;
    std::vector<std::vector<OutputState>> outputs_;
};

// What one client has been told of the inputs: an alarm is an input that has
// gone active since the previous look.
class AlarmWatch {
public:
    struct Alarm {
        IoModel::InputMasks masks{};
        DateTime time;
    };
    std::optional<Alarm> poll(const IoModel& io, TimePoint now);

private:
    IoModel::InputMasks seen_{};
};

}  // namespace ambro::sim
