#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "live/Toolbars.h"

namespace ambro::live {

// The server's side of the toolbars, known after log-in.
struct ToolbarServer {
    bool currentGeneration = false;
    int serverKind = 0;              // current generation: the kind of the server description
    std::vector<int> outputCounts;   // one per I/O module (at most 8)
};

// The current camera's side, refreshed by every camera selection.
struct ToolbarCamera {
    std::uint32_t capabilityWord = 0;
    bool hasPtz = false;
    int presetCount = 0;
};

// Which label and field the first two columns of the bottom row show.
enum class BottomPair { Time, Io, Preset };

enum class CommandKind {
    None, Close, ToggleCameraStatus, CameraMove, GoPreset, GoListedPreset, SetQuality, RotateImage,
    TakeSnapshot, SetImageSize, Monitoring, ForceOutput, OpenInputMonitor,
};

// What a button asks the window to send or do.
struct ToolbarCommand {
    CommandKind kind = CommandKind::None;
    std::optional<ptz::DomeAction> action;  // CameraMove
    // GoPreset / GoListedPreset: the preset number (1-based); ForceOutput:
    // the output; SetImageSize: the size index; Monitoring: the mailbox
    // code; SetQuality: the quality.
    int number = 0;
    int second = 0;                // SetQuality: the second value
    int speed = 0;                 // CameraMove, GoPreset: the camera speed
    int module = 0;                // ForceOutput: the selected module (1 to 8)
    bool lowQualityFirst = false;  // SetImageSize: send Low Quality first

    friend bool operator==(const ToolbarCommand&, const ToolbarCommand&) = default;
};

struct ToolbarOutcome {
    bool toolbarChanged = false;     // another toolbar or page: read visibility again
    bool cameraStatusPageOff = false;
    bool bottomRowChanged = false;
    bool presetListChanged = false;  // fill the preset list from presetList()
    ToolbarCommand command;
};

// The toolbar stack of the live view: which toolbar and page is shown, which
// buttons are visible and enabled, the camera speed, the I/O pages' state
// and the bottom row's label and field. User-interface thread.
class ToolbarModel {
public:
    static constexpr int kMaxModules = 8;
    static constexpr int kMaxOutputs = 16;

    // What the view sends once after logging in to an older-generation
    // server: Image Size 176x144, then Mid Quality.
    static std::vector<ToolbarCommand> logInImageCommands();

    void setServer(ToolbarServer server);
    void setCamera(ToolbarCamera camera);
    // After log-in: the main toolbar.
    void showMain();

    // None before log-in and while the input monitor is open.
    std::optional<ToolbarId> visibleToolbar() const;
    bool buttonVisible(ToolbarId toolbar, int index) const;
    bool buttonEnabled(ToolbarId toolbar, int index) const;
    // Held down, the button's command is repeated by the control thread.
    bool repeatsWhileHeld(ToolbarId toolbar, int index) const;

    // A click; hidden, disabled or unknown buttons do nothing.
    ToolbarOutcome press(ToolbarId toolbar, int index);
    // Presets 17 and up, for the preset list.
    std::vector<int> presetList() const;
    // Entry `entry` of the preset list chosen.
    ToolbarOutcome choosePresetListEntry(int entry);
    void inputMonitorClosed();

    // The I/O and PTZ answers of the control connection (older generation):
    // enables and labels.
    void refresh(std::uint8_t ptzAnswer, std::uint8_t ioAnswer);

    BottomPair bottomPair() const { return bottomPair_; }
    const std::string& bottomLabel() const;
    int speed() const { return speed_; }
    int presetPage() const { return presetPage_; }
    bool ioMode() const { return ioMode_; }
    int selectedModule() const { return selectedModule_; }

private:
    const ToolbarButton* button(ToolbarId toolbar, int index) const;
    bool capability(int bit) const { return (camera_.capabilityWord >> bit) & 1u; }
    bool reducedSet() const;
    int moduleCount() const;
    int outputCount() const;
    bool visible(ToolbarId toolbar, const ToolbarButton& button) const;
    bool mainVisible(const ToolbarButton& button) const;
    bool moveVisible(ptz::DomeAction action) const;
    bool presetVisible(const ToolbarButton& button) const;
    bool outputVisible(const ToolbarButton& button) const;
    bool enabled(ToolbarId toolbar, const ToolbarButton& button) const;

    ToolbarOutcome navigate(ToolbarId toolbar, const ToolbarButton& button);
    ToolbarOutcome turnPresetPage(ButtonKind kind);
    ToolbarOutcome turnOutputPage(ButtonKind kind);
    ToolbarOutcome show(ToolbarId toolbar, bool statusPageOff = false);
    ToolbarOutcome command(ToolbarCommand command) const;

    ToolbarServer server_;
    ToolbarCamera camera_;
    std::optional<ToolbarId> shown_;
    bool monitorOpen_ = false;
    int speed_ = 1;
    int presetPage_ = 1;
    int outputPage_ = 1;
    bool ioMode_ = false;
    int selectedModule_ = 0;
    BottomPair bottomPair_ = BottomPair::Time;
    std::string timeLabel_ = "Time";
    std::string ioLabel_ = "IO Time";
    bool ptzButtonsEnabled_ = true;
    bool outputsEnabled_ = true;
};

}  // namespace ambro::live
