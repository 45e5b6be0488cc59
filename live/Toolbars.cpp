#include "live/Toolbars.h"

namespace ambro::live {

namespace {

using ptz::DomeAction;
using Buttons = std::vector<ToolbarButton>;

ToolbarButton plain(ButtonKind kind, const char* tooltip, int page = 0) {
    return {kind, 0, std::nullopt, page, tooltip};
}

ToolbarButton numbered(ButtonKind kind, int number, const char* prefix, int page = 0) {
    return {kind, number, std::nullopt, page, prefix + std::to_string(number)};
}

ToolbarButton move(DomeAction action, const char* tooltip) {
    return {ButtonKind::CameraMove, 0, action, 0, tooltip};
}

ToolbarButton back() { return plain(ButtonKind::BackToCameraFunction, "Back to Camera Function"); }

void addNumbered(Buttons& buttons, ButtonKind kind, int first, int last, const char* prefix,
                 int page = 0) {
    for (int n = first; n <= last; ++n) buttons.push_back(numbered(kind, n, prefix, page));
}

Buttons mainButtons() {
    return {plain(ButtonKind::Exit, "Exit"),
            plain(ButtonKind::CameraFocusFunction, "Camera Focus Function"),
            plain(ButtonKind::CameraMoveFunction, "Camera Move Function"),
            plain(ButtonKind::CameraPresetFunction, "Camera Preset Function"),
            plain(ButtonKind::ImageFunction, "Image Function"),
            plain(ButtonKind::IoModuleSetting, "IO Module Setting/Monitor"),
            plain(ButtonKind::MonitoringFunction, "Monitoring Function"),
            plain(ButtonKind::ViewCameraStatus, "View Camera Status")};
}

Buttons secondMainButtons() {
    return {plain(ButtonKind::Exit, "Exit"), plain(ButtonKind::ImageFunction, "Image Function"),
            plain(ButtonKind::IoModuleSetting, "IO Module Setting/Monitor"),
            plain(ButtonKind::MonitoringFunction, "Monitoring Function"),
            plain(ButtonKind::ViewCameraStatus, "View Camera Status")};
}

Buttons focusButtons() {
    return {back(),
            move(DomeAction::AutoFocus, "Camera Auto Focus"),
            move(DomeAction::FocusFar, "Camera Focus Far"),
            move(DomeAction::FocusNear, "Camera Focus Near"),
            move(DomeAction::ZoomOut, "Camera Zoom Out"),
            move(DomeAction::ZoomIn, "Camera Zoom In")};
}

Buttons presetButtons() {
    Buttons buttons = {back(), plain(ButtonKind::NextPage, "Next", 1)};
    buttons.front().page = 1;
    addNumbered(buttons, ButtonKind::GoPreset, 1, 7, "Go Preset ", 1);
    buttons.push_back(plain(ButtonKind::PreviousPage, "Previous", 2));
    buttons.push_back(plain(ButtonKind::NextPage, "Next", 2));
    addNumbered(buttons, ButtonKind::GoPreset, 8, 14, "Go Preset ", 2);
    buttons.push_back(plain(ButtonKind::PreviousPage, "Previous", 3));
    buttons.push_back(plain(ButtonKind::NextPage, "Next", 3));
    addNumbered(buttons, ButtonKind::GoPreset, 15, 16, "Go Preset ", 3);
    buttons.push_back(plain(ButtonKind::GoPresetElse, "Go Preset else", 3));
    return buttons;
}

Buttons imageButtons() {
    return {back(),
            plain(ButtonKind::HighQuality, "High Quality"),
            plain(ButtonKind::MidQuality, "Mid Quality"),
            plain(ButtonKind::LowQuality, "Low Quality"),
            plain(ButtonKind::ImageRotate, "Image Rotate"),
            plain(ButtonKind::ImageSnapshot, "Image Snapshot"),
            plain(ButtonKind::ImageSize320x240, "Image Size 320x240"),
            plain(ButtonKind::ImageSize176x144, "Image Size 176x144")};
}

Buttons moveButtons(int speed) {
    return {back(),
            move(DomeAction::PanLeft, "Move Camera Left"),
            move(DomeAction::TiltUp, "Move Camera Up"),
            move(DomeAction::TiltDown, "Move Camera Down"),
            move(DomeAction::PanRight, "Move Camera Right"),
            move(DomeAction::Home, "Move Camera Home"),
            move(DomeAction::AutoMove, "Camera Auto Move"),
            numbered(ButtonKind::ChangeSpeed, speed, "Change Speed ")};
}

Buttons ioModuleButtons() {
    Buttons buttons = {back()};
    addNumbered(buttons, ButtonKind::IoModule, 1, 8, "IO Module ");
    return buttons;
}

Buttons moduleFunctionButtons() {
    return {plain(ButtonKind::BackToModuleFunction, "Back to Module Function"),
            plain(ButtonKind::GetInput, "Get Input"),
            plain(ButtonKind::ForceOutputFunction, "Force Output")};
}

ToolbarButton backToInOut(int page = 0) {
    return plain(ButtonKind::BackToInOutFunction, "Back to In/Out Function", page);
}

Buttons inputButtons() {
    Buttons buttons = {backToInOut()};
    addNumbered(buttons, ButtonKind::GetInputNumber, 1, 16, "Get Input ");
    return buttons;
}

// The output page buttons have no names of their own; their tooltips say
// where they lead.
Buttons outputButtons() {
    Buttons buttons = {backToInOut(1), plain(ButtonKind::NextPage, "Next Outputs", 1)};
    addNumbered(buttons, ButtonKind::ForceOutput, 1, 7, "Force Output ", 1);
    buttons.push_back(plain(ButtonKind::PreviousPage, "Previous Outputs", 2));
    buttons.push_back(plain(ButtonKind::NextPage, "Next Outputs", 2));
    addNumbered(buttons, ButtonKind::ForceOutput, 8, 14, "Force Output ", 2);
    buttons.push_back(plain(ButtonKind::PreviousPage, "Previous Outputs", 3));
    buttons.push_back(plain(ButtonKind::NextPage, "Next Outputs", 3));
    addNumbered(buttons, ButtonKind::ForceOutput, 15, 16, "Force Output ", 3);
    return buttons;
}

Buttons monitoringButtons() {
    return {back(),
            plain(ButtonKind::CurrentCameraMonitoring, "Current Camera Monitoring"),
            plain(ButtonKind::StopCurrentCameraMonitoring, "Stop  Current Camera Monitoring"),
            plain(ButtonKind::StartAllMonitoring, "Start All Monitoring"),
            plain(ButtonKind::StopAllMonitoring, "Stop All Monitoring")};
}

std::vector<Buttons> allToolbars() {
    return {mainButtons(),    secondMainButtons(), focusButtons(),     presetButtons(),
            imageButtons(),   moveButtons(1),      moveButtons(2),     moveButtons(3),
            moveButtons(4),   moveButtons(5),      ioModuleButtons(),  moduleFunctionButtons(),
            inputButtons(),   outputButtons(),     monitoringButtons()};
}

}  // namespace

ToolbarId moveToolbar(int speed) {
    constexpr ToolbarId kMoves[] = {ToolbarId::MoveSpeed1, ToolbarId::MoveSpeed2,
                                    ToolbarId::MoveSpeed3, ToolbarId::MoveSpeed4,
                                    ToolbarId::MoveSpeed5};
    return kMoves[(speed >= 1 && speed <= 5 ? speed : 1) - 1];
}

bool isMoveToolbar(ToolbarId toolbar) {
    return toolbar >= ToolbarId::MoveSpeed1 && toolbar <= ToolbarId::MoveSpeed5;
}

std::span<const ToolbarButton> toolbarButtons(ToolbarId toolbar) {
    static const std::vector<Buttons> kToolbars = allToolbars();
    return kToolbars.at(static_cast<std::size_t>(toolbar));
}

}  // namespace ambro::live
