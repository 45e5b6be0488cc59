#include "tools/sim/DomeModel.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "tools/sim/Panorama.h"

namespace ambro::sim {

namespace {

constexpr double kMaxZoom = 8.0;
constexpr double kZoomPerSecond = 1.8;   // zoom factor gained per second of zooming
constexpr double kSlowestPan = 60.0;     // pixels per second at speed 0
constexpr double kFastestPan = 600.0;    // pixels per second at speed 1
constexpr double kScanRate = 90.0;
constexpr double kClickStep = 6.0;       // the immediate step of a start command

double rateFor(double speed) {
    return kSlowestPan + (kFastestPan - kSlowestPan) * std::clamp(speed, 0.0, 1.0);
}

}  // namespace

DomeModel::DomeModel() : position_(homePosition()), last_(std::chrono::steady_clock::now()) {
    for (int preset = 1; preset <= kPresets; ++preset) presets_[preset] = presetPosition(preset);
}

DomePosition DomeModel::homePosition() {
    return {Panorama::kWidth / 2.0, Panorama::kHeight / 2.0, 1.0};
}

DomePosition DomeModel::presetPosition(int preset) {
    const int slot = (preset - 1) % 8;
    const int row = ((preset - 1) / 8) % 2;
    return {Panorama::kWidth * (0.12 + 0.76 * slot / 7.0), Panorama::kHeight * (0.42 + 0.22 * row),
            1.6 + 0.7 * ((preset - 1) % 3)};
}

bool DomeModel::apply(const DomeCommand& command, SteadyPoint now) {
    std::lock_guard lock(mutex_);
    advance(now);
    motionEnds_.reset();
    switch (command.kind) {
        case DomeCommand::Kind::Motion: startMotion(command); return true;
        case DomeCommand::Kind::Home:
            panRate_ = tiltRate_ = 0;
            zoomDirection_ = 0;
            autoScan_ = false;
            position_ = homePosition();
            return true;
        case DomeCommand::Kind::GoPreset: {
            const auto found = presets_.find(command.preset);
            if (found == presets_.end()) return false;
            panRate_ = tiltRate_ = 0;
            zoomDirection_ = 0;
            autoScan_ = false;
            position_ = found->second;
            return true;
        }
        case DomeCommand::Kind::SetPreset: presets_[command.preset] = position_; return true;
        case DomeCommand::Kind::ClearPreset: return presets_.erase(command.preset) != 0;
        case DomeCommand::Kind::AutoScan:
            autoScan_ = command.on;
            panRate_ = command.on ? kScanRate : 0;
            return true;
        case DomeCommand::Kind::AutoFocus: focus_ = 0; return true;
    }
    return false;
}

bool DomeModel::applyFor(const DomeCommand& command, std::chrono::milliseconds duration,
                         SteadyPoint now) {
    const bool applied = apply(command, now);
    if (applied && command.kind == DomeCommand::Kind::Motion) {
        std::lock_guard lock(mutex_);
        motionEnds_ = now + duration;
    }
    return applied;
}

void DomeModel::startMotion(const DomeCommand& command) {
    autoScan_ = false;
    if (command.pan) {
        panRate_ = *command.pan * rateFor(command.panSpeed);
        position_.x += *command.pan * kClickStep / position_.zoom;
    }
    if (command.tilt) {
        tiltRate_ = *command.tilt * rateFor(command.tiltSpeed);
        position_.y += *command.tilt * kClickStep / position_.zoom;
    }
    if (command.zoom) zoomDirection_ = *command.zoom;
    if (command.focus) focus_ = std::clamp(focus_ + *command.focus, -9, 9);
    clampPosition();
}

DomePosition DomeModel::positionAt(SteadyPoint now) {
    std::lock_guard lock(mutex_);
    advance(now);
    return position_;
}

std::string DomeModel::statusText(SteadyPoint now) {
    const DomePosition at = positionAt(now);
    const int pan = static_cast<int>(std::lround((at.x / Panorama::kWidth - 0.5) * 180.0));
    const int tilt = static_cast<int>(std::lround((0.5 - at.y / Panorama::kHeight) * 60.0));
    char text[96];
    std::snprintf(text, sizeof text, "PAN %+04d TILT %+03d ZOOM %.1fX", pan, tilt, at.zoom);
    return text;
}

void DomeModel::advance(SteadyPoint now) {
    if (now <= last_) return;
    if (motionEnds_ && now > *motionEnds_) {
        if (*motionEnds_ > last_) {
            integrate(std::chrono::duration<double>(*motionEnds_ - last_).count());
        }
        panRate_ = tiltRate_ = 0;
        zoomDirection_ = 0;
        motionEnds_.reset();
    } else {
        integrate(std::chrono::duration<double>(now - last_).count());
    }
    last_ = now;
}

void DomeModel::integrate(double seconds) {
    position_.x += panRate_ * seconds / position_.zoom;
    position_.y += tiltRate_ * seconds / position_.zoom;
    if (zoomDirection_ != 0) position_.zoom *= std::pow(kZoomPerSecond, zoomDirection_ * seconds);
    if (autoScan_) {
        // A scan sweeps from one end of the panorama to the other and back.
        if (position_.x <= 0 || position_.x >= Panorama::kWidth) panRate_ = -panRate_;
    }
    clampPosition();
}

void DomeModel::clampPosition() {
    position_.x = std::clamp(position_.x, 0.0, double{Panorama::kWidth});
    position_.y = std::clamp(position_.y, 0.0, double{Panorama::kHeight});
    position_.zoom = std::clamp(position_.zoom, 1.0, kMaxZoom);
}

}  // namespace ambro::sim
