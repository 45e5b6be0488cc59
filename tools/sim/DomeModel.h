#pragma once

#include <chrono>
#include <map>
#include <mutex>
#include <optional>
#include <string>

namespace ambro::sim {

using SteadyPoint = std::chrono::steady_clock::time_point;

// Where a dome looks: the centre of its window on the camera's panorama, in
// panorama pixels, and the zoom factor (1 shows the widest window).
struct DomePosition {
    double x = 0;
    double y = 0;
    double zoom = 1;
};

// One request to a dome, decoded from its serial bytes or from an older-
// generation camera command. Directions are -1 (left, up, out, near), 0
// (stop) or +1 (right, down, in, far); an absent direction is left as it is.
struct DomeCommand {
    enum class Kind { Motion, Home, GoPreset, SetPreset, ClearPreset, AutoScan, AutoFocus };
    Kind kind = Kind::Motion;
    std::optional<int> pan;
    std::optional<int> tilt;
    std::optional<int> zoom;
    std::optional<int> focus;
    double panSpeed = 0.5;   // 0..1 of the dome's fastest move
    double tiltSpeed = 0.5;
    int preset = 0;          // 1-based
    bool on = true;          // for AutoScan
};

// The pan/tilt/zoom state of one simulated dome, moving with time. A start
// command moves until its stop command; an older-generation click moves for
// a short while. Presets 1 to kPresets start at fixed places of the
// panorama. Safe to use from several threads.
class DomeModel {
public:
    static constexpr int kPresets = 32;

    DomeModel();

    // Applies the command; false when it asks for a preset that is not set.
    bool apply(const DomeCommand& command, SteadyPoint now);
    // As apply, but a motion stops by itself after `duration`.
    bool applyFor(const DomeCommand& command, std::chrono::milliseconds duration, SteadyPoint now);

    DomePosition positionAt(SteadyPoint now);
    std::string statusText(SteadyPoint now);

    static DomePosition homePosition();
    static DomePosition presetPosition(int preset);

private:
    void advance(SteadyPoint now);
    void integrate(double seconds);
    void startMotion(const DomeCommand& command);
    void clampPosition();

    std::mutex mutex_;
    DomePosition position_;
    SteadyPoint last_;
    double panRate_ = 0;   // panorama pixels per second at zoom 1
    double tiltRate_ = 0;
    int zoomDirection_ = 0;
    int focus_ = 0;
    bool autoScan_ = false;
    std::optional<SteadyPoint> motionEnds_;
    std::map<int, DomePosition> presets_;
};

}  // namespace ambro::sim
