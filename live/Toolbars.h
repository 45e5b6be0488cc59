#pragma once

#include <array>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "ptz/PtzProtocol.h"

namespace ambro::live {

// The toolbars of the live view, one visible at a time.
enum class ToolbarId {
    Main, SecondMain, Focus, Preset, Image, MoveSpeed1, MoveSpeed2, MoveSpeed3, MoveSpeed4,
    MoveSpeed5, IoModule, ModuleFunction, Input, Output, Monitoring,
};

inline constexpr std::array<ToolbarId, 15> kToolbarIds = {
    ToolbarId::Main,       ToolbarId::SecondMain, ToolbarId::Focus,
    ToolbarId::Preset,     ToolbarId::Image,      ToolbarId::MoveSpeed1,
    ToolbarId::MoveSpeed2, ToolbarId::MoveSpeed3, ToolbarId::MoveSpeed4,
    ToolbarId::MoveSpeed5, ToolbarId::IoModule,   ToolbarId::ModuleFunction,
    ToolbarId::Input,      ToolbarId::Output,     ToolbarId::Monitoring,
};

// The camera move toolbar of speed 1 to 5.
ToolbarId moveToolbar(int speed);
bool isMoveToolbar(ToolbarId toolbar);

enum class ButtonKind {
    Exit, CameraFocusFunction, CameraMoveFunction, CameraPresetFunction, ImageFunction,
    IoModuleSetting, MonitoringFunction, ViewCameraStatus, BackToCameraFunction,
    CameraMove,          // a dome action
    GoPreset,            // preset 1 to 16
    GoPresetElse,
    NextPage, PreviousPage,
    HighQuality, MidQuality, LowQuality, ImageRotate, ImageSnapshot, ImageSize320x240,
    ImageSize176x144,
    ChangeSpeed,         // on the move toolbar of this speed
    IoModule,            // module 1 to 8
    BackToModuleFunction, GetInput, ForceOutputFunction, BackToInOutFunction,
    GetInputNumber,      // input 1 to 16
    ForceOutput,         // output 1 to 16
    CurrentCameraMonitoring, StopCurrentCameraMonitoring, StartAllMonitoring, StopAllMonitoring,
};

// One button of a toolbar, in the toolbar's order.
struct ToolbarButton {
    ButtonKind kind{};
    int number = 0;                          // preset, module, input, output or speed
    std::optional<ptz::DomeAction> action;   // CameraMove
    int page = 0;                            // the page it shows on; 0 on every page
    std::string tooltip;
};

// The buttons of a toolbar with their tooltips.
std::span<const ToolbarButton> toolbarButtons(ToolbarId toolbar);

}  // namespace ambro::live
