#include "live/ToolbarModel.h"

#include <algorithm>

#include "live/CameraCommandCodes.h"
#include "net/CameraList.h"

namespace ambro::live {

namespace {

using ptz::DomeAction;

constexpr int kPresetsPerPage = 7;
constexpr int kFirstListedPreset = 17;
constexpr int kReducedButtonsKind = static_cast<int>(net::ServerKind::ReducedButtons);
constexpr int kCapabilityPreset = 7;
constexpr int kCapabilityMonitorStart = 8;
constexpr int kCapabilityMonitorStop = 9;
constexpr int kCapabilityIoModules = 11;

// The capability bit that shows a dome action's buttons.
int capabilityBitOf(DomeAction action) {
    switch (action) {
        case DomeAction::Home: return 0;
        case DomeAction::AutoFocus: return 1;
        case DomeAction::TiltUp:
        case DomeAction::TiltDown: return 2;
        case DomeAction::PanLeft:
        case DomeAction::PanRight: return 3;
        case DomeAction::ZoomIn:
        case DomeAction::ZoomOut: return 4;
        case DomeAction::FocusFar:
        case DomeAction::FocusNear: return 5;
        case DomeAction::AutoMove: return 6;
    }
    return 0;
}

bool isHeldMove(ToolbarId toolbar, DomeAction action) {
    switch (action) {
        case DomeAction::PanLeft:
        case DomeAction::PanRight:
        case DomeAction::TiltUp:
        case DomeAction::TiltDown: return isMoveToolbar(toolbar);
        case DomeAction::ZoomIn:
        case DomeAction::ZoomOut:
        case DomeAction::FocusFar:
        case DomeAction::FocusNear: return toolbar == ToolbarId::Focus;
        default: return false;
    }
}

ToolbarCommand commandOf(CommandKind kind, int number = 0, int second = 0) {
    ToolbarCommand command;
    command.kind = kind;
    command.number = number;
    command.second = second;
    return command;
}

// The commands of the image toolbar's quality and size buttons.
ToolbarCommand imageCommand(ButtonKind kind) {
    switch (kind) {
        case ButtonKind::HighQuality: return commandOf(CommandKind::SetQuality, 75, 1);
        case ButtonKind::MidQuality: return commandOf(CommandKind::SetQuality, 50, 2);
        case ButtonKind::LowQuality: return commandOf(CommandKind::SetQuality, 30, 2);
        case ButtonKind::ImageSize320x240: {
            ToolbarCommand size = commandOf(CommandKind::SetImageSize, 0);
            size.lowQualityFirst = true;
            return size;
        }
        case ButtonKind::ImageSize176x144: return commandOf(CommandKind::SetImageSize, 1);
        default: return {};
    }
}

bool isBack(ButtonKind kind) {
    return kind == ButtonKind::BackToCameraFunction || kind == ButtonKind::BackToModuleFunction ||
           kind == ButtonKind::BackToInOutFunction;
}

}  // namespace

std::vector<ToolbarCommand> ToolbarModel::logInImageCommands() {
    return {imageCommand(ButtonKind::ImageSize176x144), imageCommand(ButtonKind::MidQuality)};
}

void ToolbarModel::setServer(ToolbarServer server) {
    if (server.outputCounts.size() > kMaxModules) server.outputCounts.resize(kMaxModules);
    server_ = std::move(server);
}

void ToolbarModel::setCamera(ToolbarCamera camera) { camera_ = camera; }

void ToolbarModel::showMain() { show(ToolbarId::Main); }

std::optional<ToolbarId> ToolbarModel::visibleToolbar() const {
    return monitorOpen_ ? std::nullopt : shown_;
}

const ToolbarButton* ToolbarModel::button(ToolbarId toolbar, int index) const {
    const auto buttons = toolbarButtons(toolbar);
    if (index < 0 || index >= static_cast<int>(buttons.size())) return nullptr;
    return &buttons[static_cast<std::size_t>(index)];
}

bool ToolbarModel::reducedSet() const {
    return server_.currentGeneration && server_.serverKind == kReducedButtonsKind;
}

int ToolbarModel::moduleCount() const { return static_cast<int>(server_.outputCounts.size()); }

int ToolbarModel::outputCount() const {
    if (selectedModule_ < 1 || selectedModule_ > moduleCount()) return 0;
    return std::clamp(server_.outputCounts[selectedModule_ - 1], 0, kMaxOutputs);
}

bool ToolbarModel::buttonVisible(ToolbarId toolbar, int index) const {
    const ToolbarButton* found = button(toolbar, index);
    return found && visible(toolbar, *found);
}

bool ToolbarModel::buttonEnabled(ToolbarId toolbar, int index) const {
    const ToolbarButton* found = button(toolbar, index);
    return found && enabled(toolbar, *found);
}

bool ToolbarModel::repeatsWhileHeld(ToolbarId toolbar, int index) const {
    const ToolbarButton* found = button(toolbar, index);
    return found && found->action && isHeldMove(toolbar, *found->action);
}

bool ToolbarModel::visible(ToolbarId toolbar, const ToolbarButton& button) const {
    switch (toolbar) {
        case ToolbarId::Main:
        case ToolbarId::SecondMain: return mainVisible(button);
        case ToolbarId::Preset: return presetVisible(button);
        case ToolbarId::Output: return outputVisible(button);
        case ToolbarId::Image:
            return !reducedSet() || button.kind == ButtonKind::BackToCameraFunction ||
                   button.kind == ButtonKind::ImageSnapshot;
        case ToolbarId::IoModule:
            return button.kind != ButtonKind::IoModule ||
                   (capability(kCapabilityIoModules) && button.number <= moduleCount());
        case ToolbarId::ModuleFunction: return button.kind != ButtonKind::GetInput || !reducedSet();
        case ToolbarId::Input: return button.kind != ButtonKind::GetInputNumber;
        case ToolbarId::Monitoring:
            switch (button.kind) {
                case ButtonKind::CurrentCameraMonitoring:
                case ButtonKind::StartAllMonitoring: return capability(kCapabilityMonitorStart);
                case ButtonKind::StopCurrentCameraMonitoring:
                case ButtonKind::StopAllMonitoring: return capability(kCapabilityMonitorStop);
                default: return true;
            }
        default: return !button.action || moveVisible(*button.action);
    }
}

bool ToolbarModel::mainVisible(const ToolbarButton& button) const {
    if (reducedSet()) {
        return button.kind == ButtonKind::Exit || button.kind == ButtonKind::ImageFunction;
    }
    switch (button.kind) {
        case ButtonKind::CameraFocusFunction:
        case ButtonKind::CameraMoveFunction: return camera_.hasPtz;
        case ButtonKind::CameraPresetFunction:
            return camera_.hasPtz && capability(kCapabilityPreset);
        case ButtonKind::IoModuleSetting:
            return capability(kCapabilityIoModules) && moduleCount() > 0;
        case ButtonKind::MonitoringFunction:
            return capability(kCapabilityMonitorStart) || capability(kCapabilityMonitorStop);
        default: return true;
    }
}

bool ToolbarModel::moveVisible(DomeAction action) const {
    return capability(capabilityBitOf(action));
}

// Page 1: Back, presets 1 to 7 and Next beyond 7; page 2: Previous, Next
// and presets 8 to 14; page 3: Previous, Next, presets 15 and 16, and
// "Go Preset else" beyond 16. Only presets the camera has are shown.
bool ToolbarModel::presetVisible(const ToolbarButton& button) const {
    if (button.page != presetPage_) return false;
    const int presets = camera_.presetCount;
    const bool firstPageShown = presetPage_ != 1 || capability(kCapabilityPreset);
    switch (button.kind) {
        case ButtonKind::BackToCameraFunction: return true;
        case ButtonKind::GoPreset: return firstPageShown && button.number <= presets;
        case ButtonKind::NextPage:
            return presetPage_ != 1 || (firstPageShown && presets > kPresetsPerPage);
        case ButtonKind::GoPresetElse: return presets >= kFirstListedPreset;
        default: return true;
    }
}

// Page 1: Back, outputs 1 to 7 and a page button beyond 7; page 2: back to
// page 1, outputs 8 to 14 and a page button beyond 14; page 3: both page
// buttons and outputs 15 and 16. Only the module's outputs are shown.
bool ToolbarModel::outputVisible(const ToolbarButton& button) const {
    if (button.page != outputPage_) return false;
    const int outputs = outputCount();
    switch (button.kind) {
        case ButtonKind::ForceOutput: return button.number <= outputs;
        case ButtonKind::NextPage:
            return outputPage_ == 3 || outputs > outputPage_ * kPresetsPerPage;
        default: return true;
    }
}

bool ToolbarModel::enabled(ToolbarId toolbar, const ToolbarButton& button) const {
    if (isBack(button.kind)) return true;
    switch (toolbar) {
        case ToolbarId::Main:
            switch (button.kind) {
                case ButtonKind::CameraFocusFunction:
                case ButtonKind::CameraMoveFunction:
                case ButtonKind::CameraPresetFunction: return ptzButtonsEnabled_;
                default: return true;
            }
        case ToolbarId::Focus: return ptzButtonsEnabled_;
        case ToolbarId::Preset:
            return button.kind == ButtonKind::NextPage || button.kind == ButtonKind::PreviousPage ||
                   ptzButtonsEnabled_;
        case ToolbarId::ModuleFunction:
            return button.kind != ButtonKind::ForceOutputFunction || outputsEnabled_;
        case ToolbarId::Output: return button.kind != ButtonKind::ForceOutput || outputsEnabled_;
        default: return !isMoveToolbar(toolbar) || ptzButtonsEnabled_;
    }
}

ToolbarOutcome ToolbarModel::press(ToolbarId toolbar, int index) {
    const ToolbarButton* found = button(toolbar, index);
    if (!found || visibleToolbar() != toolbar || !visible(toolbar, *found) ||
        !enabled(toolbar, *found)) {
        return {};
    }
    return navigate(toolbar, *found);
}

ToolbarOutcome ToolbarModel::show(ToolbarId toolbar, bool statusPageOff) {
    shown_ = toolbar;
    ToolbarOutcome outcome;
    outcome.toolbarChanged = true;
    outcome.cameraStatusPageOff = statusPageOff;
    return outcome;
}

ToolbarOutcome ToolbarModel::command(ToolbarCommand command) const {
    ToolbarOutcome outcome;
    outcome.command = command;
    return outcome;
}

ToolbarOutcome ToolbarModel::navigate(ToolbarId toolbar, const ToolbarButton& button) {
    switch (button.kind) {
        case ButtonKind::Exit: return command(commandOf(CommandKind::Close));
        case ButtonKind::CameraFocusFunction:
        case ButtonKind::CameraMoveFunction:
        case ButtonKind::CameraPresetFunction: {
            // Without a dome the main toolbar stays, rather than none at all.
            if (!camera_.hasPtz) return show(ToolbarId::Main, true);
            presetPage_ = 1;
            if (button.kind == ButtonKind::CameraFocusFunction) return show(ToolbarId::Focus, true);
            if (button.kind == ButtonKind::CameraMoveFunction) {
                return show(moveToolbar(speed_), true);
            }
            return show(ToolbarId::Preset, true);
        }
        case ButtonKind::ImageFunction: return show(ToolbarId::Image, true);
        case ButtonKind::MonitoringFunction: return show(ToolbarId::Monitoring, true);
        case ButtonKind::ViewCameraStatus:
            return command(commandOf(CommandKind::ToggleCameraStatus));
        case ButtonKind::IoModuleSetting: {
            ioMode_ = true;
            bottomPair_ = BottomPair::Io;
            ioLabel_ = "IO Wait";
            ToolbarOutcome outcome = show(ToolbarId::IoModule, true);
            outcome.bottomRowChanged = true;
            return outcome;
        }
        case ButtonKind::BackToCameraFunction: {
            ioMode_ = false;
            bottomPair_ = BottomPair::Time;
            ToolbarOutcome outcome = show(ToolbarId::Main, true);
            outcome.bottomRowChanged = true;
            return outcome;
        }
        case ButtonKind::CameraMove:
        case ButtonKind::GoPreset: {
            const bool preset = button.kind == ButtonKind::GoPreset;
            ToolbarCommand move =
                commandOf(preset ? CommandKind::GoPreset : CommandKind::CameraMove, button.number);
            move.action = button.action;
            move.speed = speed_;
            return command(move);
        }
        case ButtonKind::GoPresetElse: {
            bottomPair_ = bottomPair_ == BottomPair::Preset ? BottomPair::Time : BottomPair::Preset;
            ToolbarOutcome outcome;
            outcome.bottomRowChanged = true;
            return outcome;
        }
        case ButtonKind::NextPage:
        case ButtonKind::PreviousPage:
            return toolbar == ToolbarId::Preset ? turnPresetPage(button.kind)
                                                : turnOutputPage(button.kind);
        case ButtonKind::HighQuality:
        case ButtonKind::MidQuality:
        case ButtonKind::LowQuality:
        case ButtonKind::ImageSize320x240:
        case ButtonKind::ImageSize176x144: return command(imageCommand(button.kind));
        case ButtonKind::ImageRotate: return command(commandOf(CommandKind::RotateImage));
        case ButtonKind::ImageSnapshot: return command(commandOf(CommandKind::TakeSnapshot));
        case ButtonKind::ChangeSpeed:
            speed_ = speed_ % 5 + 1;
            return show(moveToolbar(speed_));
        case ButtonKind::IoModule:
            selectedModule_ = button.number;
            return show(ToolbarId::ModuleFunction);
        case ButtonKind::BackToModuleFunction: return show(ToolbarId::IoModule);
        case ButtonKind::GetInput: {
            ToolbarOutcome outcome = show(ToolbarId::Input);
            monitorOpen_ = true;
            outcome.command = commandOf(CommandKind::OpenInputMonitor);
            return outcome;
        }
        case ButtonKind::ForceOutputFunction:
            outputPage_ = 1;
            return show(ToolbarId::Output);
        case ButtonKind::BackToInOutFunction: return show(ToolbarId::ModuleFunction);
        case ButtonKind::GetInputNumber:
            if (button.number != 1) return {};
            monitorOpen_ = true;
            return command(commandOf(CommandKind::OpenInputMonitor));
        case ButtonKind::ForceOutput: {
            ToolbarCommand output = commandOf(CommandKind::ForceOutput, button.number);
            output.module = selectedModule_;
            return command(output);
        }
        case ButtonKind::CurrentCameraMonitoring:
            return command(commandOf(CommandKind::Monitoring, 29));
        case ButtonKind::StopCurrentCameraMonitoring:
            return command(commandOf(CommandKind::Monitoring, 31));
        case ButtonKind::StartAllMonitoring:
            return command(commandOf(CommandKind::Monitoring, 28));
        case ButtonKind::StopAllMonitoring:
            return command(commandOf(CommandKind::Monitoring, 30));
    }
    return {};
}

// Next on page 2 goes on to page 3 only when the camera has presets there.
ToolbarOutcome ToolbarModel::turnPresetPage(ButtonKind kind) {
    const bool next = kind == ButtonKind::NextPage;
    switch (presetPage_) {
        case 1: presetPage_ = next ? 2 : 1; break;
        case 2: presetPage_ = !next ? 1 : (camera_.presetCount >= 15 ? 3 : 1); break;
        default: presetPage_ = next ? 1 : 2; break;
    }
    ToolbarOutcome outcome = show(ToolbarId::Preset);
    outcome.presetListChanged = presetPage_ == 3;
    return outcome;
}

ToolbarOutcome ToolbarModel::turnOutputPage(ButtonKind kind) {
    const bool next = kind == ButtonKind::NextPage;
    switch (outputPage_) {
        case 1: outputPage_ = next ? 2 : 1; break;
        case 2: outputPage_ = next ? 3 : 1; break;
        default: outputPage_ = next ? 1 : 2; break;
    }
    return show(ToolbarId::Output);
}

std::vector<int> ToolbarModel::presetList() const {
    std::vector<int> presets;
    const int last = std::min(camera_.presetCount, kLastListedPreset);
    for (int preset = kFirstListedPreset; preset <= last; ++preset) presets.push_back(preset);
    return presets;
}

ToolbarOutcome ToolbarModel::choosePresetListEntry(int entry) {
    const int preset = entry + kFirstListedPreset;
    if (entry < 0 || preset > std::min(camera_.presetCount, kLastListedPreset)) return {};
    bottomPair_ = BottomPair::Time;
    ToolbarOutcome outcome = command(commandOf(CommandKind::GoListedPreset, preset));
    outcome.bottomRowChanged = true;
    return outcome;
}

void ToolbarModel::inputMonitorClosed() { monitorOpen_ = false; }

void ToolbarModel::refresh(std::uint8_t ptzAnswer, std::uint8_t ioAnswer) {
    if (ioMode_) {
        outputsEnabled_ = ioAnswer != 0;
        ioLabel_ = ptzAnswer != 0 ? "IO Time" : "IO Wait";
    } else {
        ptzButtonsEnabled_ = camera_.hasPtz;
        timeLabel_ = ptzAnswer != 0 ? "Time" : "Wait";
    }
}

const std::string& ToolbarModel::bottomLabel() const {
    static const std::string kPreset = "Preset";
    switch (bottomPair_) {
        case BottomPair::Io: return ioLabel_;
        case BottomPair::Preset: return kPreset;
        default: return timeLabel_;
    }
}

}  // namespace ambro::live
