#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "live/CameraCommandCodes.h"
#include "live/ToolbarModel.h"

namespace ambro::live {
namespace {

using Texts = std::vector<std::string>;
using ptz::DomeAction;

constexpr std::uint32_t kAllCapabilities = 0xBFF;  // bits 0-9 and 11

std::vector<std::string> tooltips(ToolbarId toolbar) {
    Texts texts;
    for (const auto& button : toolbarButtons(toolbar)) texts.push_back(button.tooltip);
    return texts;
}

Texts visibleTooltips(const ToolbarModel& model, ToolbarId toolbar) {
    Texts texts;
    const auto buttons = toolbarButtons(toolbar);
    for (int i = 0; i < static_cast<int>(buttons.size()); ++i) {
        if (model.buttonVisible(toolbar, i)) texts.push_back(buttons[i].tooltip);
    }
    return texts;
}

Texts shownTooltips(const ToolbarModel& model) {
    return model.visibleToolbar() ? visibleTooltips(model, *model.visibleToolbar()) : Texts{};
}

int indexOf(const ToolbarModel& model, ToolbarId toolbar, const std::string& tooltip) {
    const auto buttons = toolbarButtons(toolbar);
    for (int i = 0; i < static_cast<int>(buttons.size()); ++i) {
        if (buttons[i].tooltip == tooltip && model.buttonVisible(toolbar, i)) return i;
    }
    return -1;
}

// Presses the visible button of the shown toolbar with that tooltip.
ToolbarOutcome press(ToolbarModel& model, const std::string& tooltip) {
    const ToolbarId toolbar = model.visibleToolbar().value_or(ToolbarId::Main);
    const int index = indexOf(model, toolbar, tooltip);
    EXPECT_GE(index, 0) << "no visible \"" << tooltip << "\"";
    return model.press(toolbar, index);
}

ToolbarModel loggedIn(ToolbarCamera camera, ToolbarServer server = {}) {
    ToolbarModel model;
    model.setServer(std::move(server));
    model.setCamera(camera);
    model.showMain();
    return model;
}

Texts numberedTexts(const char* prefix, int first, int last) {
    Texts texts;
    for (int n = first; n <= last; ++n) texts.push_back(prefix + std::to_string(n));
    return texts;
}

Texts join(std::initializer_list<Texts> parts) {
    Texts all;
    for (const auto& part : parts) all.insert(all.end(), part.begin(), part.end());
    return all;
}

TEST(Toolbars, ButtonsAndTooltipsInOrder) {
    EXPECT_EQ(tooltips(ToolbarId::Main),
              (Texts{"Exit", "Camera Focus Function", "Camera Move Function",
                     "Camera Preset Function", "Image Function", "IO Module Setting/Monitor",
                     "Monitoring Function", "View Camera Status"}));
    EXPECT_EQ(tooltips(ToolbarId::SecondMain),
              (Texts{"Exit", "Image Function", "IO Module Setting/Monitor", "Monitoring Function",
                     "View Camera Status"}));
    EXPECT_EQ(tooltips(ToolbarId::Focus),
              (Texts{"Back to Camera Function", "Camera Auto Focus", "Camera Focus Far",
                     "Camera Focus Near", "Camera Zoom Out", "Camera Zoom In"}));
    EXPECT_EQ(tooltips(ToolbarId::Preset),
              join({{"Back to Camera Function", "Next"}, numberedTexts("Go Preset ", 1, 7),
                    {"Previous", "Next"}, numberedTexts("Go Preset ", 8, 14),
                    {"Previous", "Next", "Go Preset 15", "Go Preset 16", "Go Preset else"}}));
    EXPECT_EQ(
        tooltips(ToolbarId::Image),
        (Texts{"Back to Camera Function", "High Quality", "Mid Quality", "Low Quality",
               "Image Rotate", "Image Snapshot", "Image Size 320x240", "Image Size 176x144"}));
    for (int speed = 1; speed <= 5; ++speed) {
        EXPECT_EQ(tooltips(moveToolbar(speed)),
                  (Texts{"Back to Camera Function", "Move Camera Left", "Move Camera Up",
                         "Move Camera Down", "Move Camera Right", "Move Camera Home",
                         "Camera Auto Move", "Change Speed " + std::to_string(speed)}));
    }
    EXPECT_EQ(tooltips(ToolbarId::IoModule),
              join({{"Back to Camera Function"}, numberedTexts("IO Module ", 1, 8)}));
    EXPECT_EQ(tooltips(ToolbarId::ModuleFunction),
              (Texts{"Back to Module Function", "Get Input", "Force Output"}));
    EXPECT_EQ(tooltips(ToolbarId::Input),
              join({{"Back to In/Out Function"}, numberedTexts("Get Input ", 1, 16)}));
    EXPECT_EQ(tooltips(ToolbarId::Output),
              join({{"Back to In/Out Function", "Next Outputs"},
                    numberedTexts("Force Output ", 1, 7), {"Previous Outputs", "Next Outputs"},
                    numberedTexts("Force Output ", 8, 14), {"Previous Outputs", "Next Outputs"},
                    numberedTexts("Force Output ", 15, 16)}));
    EXPECT_EQ(tooltips(ToolbarId::Monitoring),
              (Texts{"Back to Camera Function", "Current Camera Monitoring",
                     "Stop  Current Camera Monitoring", "Start All Monitoring",
                     "Stop All Monitoring"}));
}

TEST(ToolbarVisibility, NothingBeforeLogIn) {
    ToolbarModel model;
    EXPECT_FALSE(model.visibleToolbar());
    EXPECT_EQ(model.press(ToolbarId::Main, 0).command.kind, CommandKind::None);
}

TEST(ToolbarVisibility, MainFollowsCapabilitiesAndDome) {
    struct Case {
        const char* name;
        ToolbarCamera camera;
        std::vector<int> outputCounts;  // one per module
        Texts visible;
    };
    for (const Case& c : {
             Case{"Everything", {kAllCapabilities, true, 20}, {4}, tooltips(ToolbarId::Main)},
             Case{"NoDome",
                  {kAllCapabilities, false, 20},
                  {4},
                  {"Exit", "Image Function", "IO Module Setting/Monitor", "Monitoring Function",
                   "View Camera Status"}},
             Case{"NoPresetBit",
                  {kAllCapabilities & ~(1u << 7), true, 20},
                  {4},
                  {"Exit", "Camera Focus Function", "Camera Move Function", "Image Function",
                   "IO Module Setting/Monitor", "Monitoring Function", "View Camera Status"}},
             Case{"NoModules",
                  {kAllCapabilities, false, 0},
                  {},
                  {"Exit", "Image Function", "Monitoring Function", "View Camera Status"}},
             Case{"ModulesWithoutBit11",
                  {0x3FF, false, 0},
                  {4},
                  {"Exit", "Image Function", "Monitoring Function", "View Camera Status"}},
             Case{"StopMonitoringOnly",
                  {1u << 9, false, 0},
                  {},
                  {"Exit", "Image Function", "Monitoring Function", "View Camera Status"}},
             Case{"NoMonitoring",
                  {0, false, 0},
                  {},
                  {"Exit", "Image Function", "View Camera Status"}},
         }) {
        const ToolbarModel model = loggedIn(c.camera, {false, 0, c.outputCounts});
        EXPECT_EQ(model.visibleToolbar(), ToolbarId::Main) << c.name;
        EXPECT_EQ(visibleTooltips(model, ToolbarId::Main), c.visible) << c.name;
    }
}

TEST(ToolbarVisibility, CapabilityBitsShowTheCameraButtons) {
    struct Case {
        int bit;
        Texts hiddenOnMove;
        Texts hiddenOnFocus;
    };
    for (const Case& c : {Case{0, {"Move Camera Home"}, {}},
                          Case{1, {}, {"Camera Auto Focus"}},
                          Case{2, {"Move Camera Up", "Move Camera Down"}, {}},
                          Case{3, {"Move Camera Left", "Move Camera Right"}, {}},
                          Case{4, {}, {"Camera Zoom Out", "Camera Zoom In"}},
                          Case{5, {}, {"Camera Focus Far", "Camera Focus Near"}},
                          Case{6, {"Camera Auto Move"}, {}}}) {
        const ToolbarModel model = loggedIn({kAllCapabilities & ~(1u << c.bit), true, 0});
        for (int speed = 1; speed <= 5; ++speed) {
            Texts expected;
            for (const auto& text : tooltips(moveToolbar(speed))) {
                if (std::find(c.hiddenOnMove.begin(), c.hiddenOnMove.end(), text) ==
                    c.hiddenOnMove.end()) {
                    expected.push_back(text);
                }
            }
            EXPECT_EQ(visibleTooltips(model, moveToolbar(speed)), expected) << "bit " << c.bit;
        }
        Texts focus;
        for (const auto& text : tooltips(ToolbarId::Focus)) {
            if (std::find(c.hiddenOnFocus.begin(), c.hiddenOnFocus.end(), text) ==
                c.hiddenOnFocus.end()) {
                focus.push_back(text);
            }
        }
        EXPECT_EQ(visibleTooltips(model, ToolbarId::Focus), focus) << "bit " << c.bit;
    }
}

TEST(ToolbarVisibility, MonitoringButtonsByBits8And9) {
    ToolbarModel start = loggedIn({1u << 8, false, 0});
    press(start, "Monitoring Function");
    EXPECT_EQ(shownTooltips(start), (Texts{"Back to Camera Function", "Current Camera Monitoring",
                                           "Start All Monitoring"}));
    ToolbarModel stop = loggedIn({1u << 9, false, 0});
    press(stop, "Monitoring Function");
    EXPECT_EQ(shownTooltips(stop),
              (Texts{"Back to Camera Function", "Stop  Current Camera Monitoring",
                     "Stop All Monitoring"}));
}

TEST(ToolbarVisibility, Kind51ServersShowAFixedReducedSet) {
    ToolbarModel model = loggedIn({kAllCapabilities, true, 20}, {true, 51, {4}});
    EXPECT_EQ(shownTooltips(model), (Texts{"Exit", "Image Function"}));
    press(model, "Image Function");
    EXPECT_EQ(shownTooltips(model), (Texts{"Back to Camera Function", "Image Snapshot"}));
    EXPECT_EQ(visibleTooltips(model, ToolbarId::ModuleFunction),
              (Texts{"Back to Module Function", "Force Output"}));
    // Other current-generation kinds follow the capabilities.
    const ToolbarModel other = loggedIn({kAllCapabilities, true, 20}, {true, 62, {4}});
    EXPECT_EQ(shownTooltips(other), tooltips(ToolbarId::Main));
}

TEST(ToolbarNavigation, ChangeSpeedGoesRoundFiveToOne) {
    ToolbarModel model = loggedIn({kAllCapabilities, true, 0});
    press(model, "Camera Move Function");
    EXPECT_EQ(model.visibleToolbar(), ToolbarId::MoveSpeed1);
    for (int speed = 2; speed <= 5; ++speed) {
        press(model, "Change Speed " + std::to_string(speed - 1));
        EXPECT_EQ(model.speed(), speed);
        EXPECT_EQ(model.visibleToolbar(), moveToolbar(speed));
    }
    press(model, "Change Speed 5");
    EXPECT_EQ(model.speed(), 1);
    EXPECT_EQ(model.visibleToolbar(), ToolbarId::MoveSpeed1);
    // The speed is kept when the move toolbar is shown again.
    press(model, "Change Speed 1");
    press(model, "Back to Camera Function");
    press(model, "Camera Move Function");
    EXPECT_EQ(model.visibleToolbar(), ToolbarId::MoveSpeed2);
}

TEST(ToolbarNavigation, FunctionsSwitchTheStatusPageOff) {
    ToolbarModel model = loggedIn({kAllCapabilities, true, 20}, {false, 0, {2}});
    for (const char* function : {"Camera Focus Function", "Camera Move Function",
                                 "Camera Preset Function", "Image Function",
                                 "Monitoring Function", "IO Module Setting/Monitor"}) {
        const ToolbarOutcome outcome = press(model, function);
        EXPECT_TRUE(outcome.toolbarChanged) << function;
        EXPECT_TRUE(outcome.cameraStatusPageOff) << function;
        EXPECT_TRUE(press(model, "Back to Camera Function").cameraStatusPageOff) << function;
        EXPECT_EQ(model.visibleToolbar(), ToolbarId::Main);
    }
    EXPECT_EQ(press(model, "View Camera Status").command.kind, CommandKind::ToggleCameraStatus);
    EXPECT_EQ(press(model, "Exit").command.kind, CommandKind::Close);
}

struct PresetPages {
    Texts page1, page2, page3;
};

PresetPages presetPages(int presets) {
    ToolbarModel model = loggedIn({kAllCapabilities, true, presets});
    press(model, "Camera Preset Function");
    PresetPages pages;
    pages.page1 = shownTooltips(model);
    if (indexOf(model, ToolbarId::Preset, "Next") < 0) return pages;
    press(model, "Next");
    pages.page2 = shownTooltips(model);
    press(model, "Next");
    if (model.presetPage() == 3) pages.page3 = shownTooltips(model);
    return pages;
}

TEST(PresetPages, NinePresets) {
    const PresetPages pages = presetPages(9);
    EXPECT_EQ(pages.page1,
              join({{"Back to Camera Function", "Next"}, numberedTexts("Go Preset ", 1, 7)}));
    EXPECT_EQ(pages.page2, (Texts{"Previous", "Next", "Go Preset 8", "Go Preset 9"}));
    EXPECT_TRUE(pages.page3.empty());  // Next on page 2 went back to page 1
}

TEST(PresetPages, ByPresetCount) {
    EXPECT_EQ(presetPages(3).page1,
              (Texts{"Back to Camera Function", "Go Preset 1", "Go Preset 2", "Go Preset 3"}));
    EXPECT_EQ(presetPages(7).page1,
              join({{"Back to Camera Function"}, numberedTexts("Go Preset ", 1, 7)}));
    EXPECT_EQ(presetPages(15).page3, (Texts{"Previous", "Next", "Go Preset 15"}));
    EXPECT_EQ(presetPages(16).page3, (Texts{"Previous", "Next", "Go Preset 15", "Go Preset 16"}));
    EXPECT_EQ(presetPages(17).page3,
              (Texts{"Previous", "Next", "Go Preset 15", "Go Preset 16", "Go Preset else"}));
}

TEST(PresetPages, PageTurnsAndTheList) {
    ToolbarModel model = loggedIn({kAllCapabilities, true, 20});
    press(model, "Camera Preset Function");
    press(model, "Next");
    const ToolbarOutcome third = press(model, "Next");
    EXPECT_EQ(model.presetPage(), 3);
    EXPECT_TRUE(third.presetListChanged);
    EXPECT_EQ(model.presetList(), (std::vector<int>{17, 18, 19, 20}));
    press(model, "Previous");
    EXPECT_EQ(model.presetPage(), 2);
    press(model, "Previous");
    EXPECT_EQ(model.presetPage(), 1);
    press(model, "Next");
    press(model, "Next");
    press(model, "Next");
    EXPECT_EQ(model.presetPage(), 1);

    // Go Preset else toggles the bottom row; a list choice shows the time again.
    press(model, "Next");
    press(model, "Next");
    EXPECT_TRUE(press(model, "Go Preset else").bottomRowChanged);
    EXPECT_EQ(model.bottomPair(), BottomPair::Preset);
    EXPECT_EQ(model.bottomLabel(), "Preset");
    press(model, "Go Preset else");
    EXPECT_EQ(model.bottomPair(), BottomPair::Time);
    press(model, "Go Preset else");
    const ToolbarOutcome chosen = model.choosePresetListEntry(0);
    EXPECT_EQ(chosen.command.kind, CommandKind::GoListedPreset);
    EXPECT_EQ(chosen.command.number, 17);
    EXPECT_EQ(model.bottomPair(), BottomPair::Time);
    EXPECT_EQ(model.choosePresetListEntry(4).command.kind, CommandKind::None);
    EXPECT_EQ(model.choosePresetListEntry(-1).command.kind, CommandKind::None);
}

TEST(PresetPages, TheListEndsAtPreset64) {
    ToolbarModel model = loggedIn({kAllCapabilities, true, 100});
    EXPECT_EQ(model.presetList().size(), 48u);
    EXPECT_EQ(model.presetList().back(), 64);
    EXPECT_EQ(model.choosePresetListEntry(47).command.number, 64);
    EXPECT_EQ(model.choosePresetListEntry(48).command.kind, CommandKind::None);
}

struct OutputPages {
    Texts page1, page2, page3;
};

OutputPages outputPages(int outputs) {
    ToolbarModel model = loggedIn({kAllCapabilities, false, 0}, {false, 0, {16, outputs}});
    press(model, "IO Module Setting/Monitor");
    press(model, "IO Module 2");
    press(model, "Force Output");
    OutputPages pages;
    pages.page1 = shownTooltips(model);
    if (indexOf(model, ToolbarId::Output, "Next Outputs") < 0) return pages;
    press(model, "Next Outputs");
    pages.page2 = shownTooltips(model);
    if (indexOf(model, ToolbarId::Output, "Next Outputs") < 0) return pages;
    press(model, "Next Outputs");
    pages.page3 = shownTooltips(model);
    return pages;
}

TEST(OutputPages, NineOutputs) {
    const OutputPages pages = outputPages(9);
    EXPECT_EQ(pages.page1, join({{"Back to In/Out Function", "Next Outputs"},
                                 numberedTexts("Force Output ", 1, 7)}));
    EXPECT_EQ(pages.page2, (Texts{"Previous Outputs", "Force Output 8", "Force Output 9"}));
    EXPECT_TRUE(pages.page3.empty());
}

TEST(OutputPages, ByOutputCount) {
    EXPECT_EQ(outputPages(0).page1, (Texts{"Back to In/Out Function"}));
    EXPECT_EQ(outputPages(7).page1,
              join({{"Back to In/Out Function"}, numberedTexts("Force Output ", 1, 7)}));
    EXPECT_EQ(outputPages(16).page2, join({{"Previous Outputs", "Next Outputs"},
                                           numberedTexts("Force Output ", 8, 14)}));
    EXPECT_EQ(outputPages(15).page3,
              (Texts{"Previous Outputs", "Next Outputs", "Force Output 15"}));
    EXPECT_EQ(outputPages(40).page3,
              (Texts{"Previous Outputs", "Next Outputs", "Force Output 15", "Force Output 16"}));
}

TEST(IoPages, ModulesOutputsAndInputMonitor) {
    ToolbarModel model = loggedIn({kAllCapabilities, false, 0}, {false, 0, {3, 9, 1}});
    const ToolbarOutcome enter = press(model, "IO Module Setting/Monitor");
    EXPECT_TRUE(enter.bottomRowChanged);
    EXPECT_TRUE(model.ioMode());
    EXPECT_EQ(model.bottomPair(), BottomPair::Io);
    EXPECT_EQ(model.bottomLabel(), "IO Wait");
    EXPECT_EQ(shownTooltips(model),
              join({{"Back to Camera Function"}, numberedTexts("IO Module ", 1, 3)}));

    press(model, "IO Module 2");
    EXPECT_EQ(model.selectedModule(), 2);
    EXPECT_EQ(shownTooltips(model),
              (Texts{"Back to Module Function", "Get Input", "Force Output"}));
    press(model, "Force Output");
    const ToolbarOutcome output = press(model, "Force Output 3");
    EXPECT_EQ(output.command.kind, CommandKind::ForceOutput);
    EXPECT_EQ(output.command.number, 3);
    EXPECT_EQ(output.command.module, 2);
    EXPECT_EQ(olderGenerationOutputValue(output.command.number), 33);

    press(model, "Back to In/Out Function");
    const ToolbarOutcome monitor = press(model, "Get Input");
    EXPECT_EQ(monitor.command.kind, CommandKind::OpenInputMonitor);
    EXPECT_FALSE(model.visibleToolbar());
    model.inputMonitorClosed();
    EXPECT_EQ(shownTooltips(model), (Texts{"Back to In/Out Function"}));
    press(model, "Back to In/Out Function");
    press(model, "Back to Module Function");
    EXPECT_EQ(model.visibleToolbar(), ToolbarId::IoModule);

    press(model, "Back to Camera Function");
    EXPECT_FALSE(model.ioMode());
    EXPECT_EQ(model.bottomPair(), BottomPair::Time);
    EXPECT_EQ(model.selectedModule(), 2);  // still polled by the control thread
}

TEST(Refresh, EnablesAndLabelsFromTheAnswers) {
    ToolbarModel model = loggedIn({kAllCapabilities, true, 9}, {false, 0, {9}});
    EXPECT_EQ(model.bottomLabel(), "Time");
    model.refresh(0, 0);
    EXPECT_EQ(model.bottomLabel(), "Wait");
    model.refresh(1, 0);
    EXPECT_EQ(model.bottomLabel(), "Time");

    // A camera without a dome: its buttons are disabled, the way back is not.
    model.setCamera({kAllCapabilities, false, 9});
    model.refresh(1, 0);
    const int left = indexOf(model, ToolbarId::MoveSpeed3, "Move Camera Left");
    EXPECT_FALSE(model.buttonEnabled(ToolbarId::MoveSpeed3, left));
    EXPECT_TRUE(model.buttonEnabled(ToolbarId::MoveSpeed3, 0));
    EXPECT_FALSE(
        model.buttonEnabled(ToolbarId::Focus, indexOf(model, ToolbarId::Focus, "Camera Zoom In")));
    EXPECT_FALSE(
        model.buttonEnabled(ToolbarId::Preset, indexOf(model, ToolbarId::Preset, "Go Preset 1")));
    EXPECT_TRUE(model.buttonEnabled(ToolbarId::Preset, indexOf(model, ToolbarId::Preset, "Next")));
    model.setCamera({kAllCapabilities, true, 9});
    model.refresh(1, 0);
    EXPECT_TRUE(model.buttonEnabled(ToolbarId::MoveSpeed3, left));

    // In I/O mode the outputs follow the I/O answer, the label the PTZ one.
    press(model, "IO Module Setting/Monitor");
    press(model, "IO Module 1");
    model.refresh(1, 0);
    EXPECT_EQ(model.bottomLabel(), "IO Time");
    const int force = indexOf(model, ToolbarId::ModuleFunction, "Force Output");
    EXPECT_FALSE(model.buttonEnabled(ToolbarId::ModuleFunction, force));
    EXPECT_EQ(model.press(ToolbarId::ModuleFunction, force).command.kind, CommandKind::None);
    EXPECT_FALSE(model.buttonEnabled(ToolbarId::Output,
                                     indexOf(model, ToolbarId::Output, "Force Output 1")));
    model.refresh(0, 5);
    EXPECT_EQ(model.bottomLabel(), "IO Wait");
    EXPECT_TRUE(model.buttonEnabled(ToolbarId::ModuleFunction, force));
    press(model, "Force Output");
    EXPECT_EQ(press(model, "Force Output 1").command.kind, CommandKind::ForceOutput);
}

TEST(Commands, WhatEachButtonAsks) {
    ToolbarModel model = loggedIn({kAllCapabilities, true, 16});
    press(model, "Camera Move Function");
    press(model, "Change Speed 1");
    press(model, "Change Speed 2");
    const ToolbarOutcome left = press(model, "Move Camera Left");
    EXPECT_EQ(left.command.kind, CommandKind::CameraMove);
    EXPECT_EQ(left.command.action, DomeAction::PanLeft);
    EXPECT_EQ(left.command.speed, 3);
    press(model, "Back to Camera Function");
    press(model, "Camera Preset Function");
    const ToolbarOutcome preset = press(model, "Go Preset 5");
    EXPECT_EQ(preset.command.kind, CommandKind::GoPreset);
    EXPECT_EQ(preset.command.number, 5);
    EXPECT_EQ(olderGenerationPresetCode(preset.command.number), 51);
    press(model, "Back to Camera Function");

    press(model, "Image Function");
    struct Case {
        const char* button;
        CommandKind kind;
        int number, second;
        bool lowQualityFirst;
    };
    for (const Case& c : {Case{"High Quality", CommandKind::SetQuality, 75, 1, false},
                          Case{"Mid Quality", CommandKind::SetQuality, 50, 2, false},
                          Case{"Low Quality", CommandKind::SetQuality, 30, 2, false},
                          Case{"Image Rotate", CommandKind::RotateImage, 0, 0, false},
                          Case{"Image Snapshot", CommandKind::TakeSnapshot, 0, 0, false},
                          Case{"Image Size 320x240", CommandKind::SetImageSize, 0, 0, true},
                          Case{"Image Size 176x144", CommandKind::SetImageSize, 1, 0, false}}) {
        const ToolbarCommand command = press(model, c.button).command;
        EXPECT_EQ(command.kind, c.kind) << c.button;
        EXPECT_EQ(command.number, c.number) << c.button;
        EXPECT_EQ(command.second, c.second) << c.button;
        EXPECT_EQ(command.lowQualityFirst, c.lowQualityFirst) << c.button;
    }
    press(model, "Back to Camera Function");
    press(model, "Monitoring Function");
    for (const auto& [button, code] : {std::pair{"Current Camera Monitoring", 29},
                                       std::pair{"Stop  Current Camera Monitoring", 31},
                                       std::pair{"Start All Monitoring", 28},
                                       std::pair{"Stop All Monitoring", 30}}) {
        const ToolbarCommand command = press(model, button).command;
        EXPECT_EQ(command.kind, CommandKind::Monitoring) << button;
        EXPECT_EQ(command.number, code) << button;
    }
}

TEST(Commands, OlderGenerationCameraCodes) {
    struct Case {
        DomeAction action;
        int code;
    };
    for (const Case& c : {Case{DomeAction::PanLeft, 1}, Case{DomeAction::PanRight, 2},
                          Case{DomeAction::TiltUp, 3}, Case{DomeAction::TiltDown, 4},
                          Case{DomeAction::ZoomOut, 6}, Case{DomeAction::ZoomIn, 5},
                          Case{DomeAction::Home, 7}, Case{DomeAction::AutoMove, 8},
                          Case{DomeAction::FocusNear, 9}, Case{DomeAction::FocusFar, 10},
                          Case{DomeAction::AutoFocus, 16}}) {
        EXPECT_EQ(olderGenerationCameraCode(c.action), c.code) << static_cast<int>(c.action);
    }
    EXPECT_EQ(olderGenerationPresetCode(1), 47);
    EXPECT_EQ(olderGenerationPresetCode(16), 62);
}

TEST(Commands, HeldButtonsRepeat) {
    const ToolbarModel model = loggedIn({kAllCapabilities, true, 0});
    for (int speed = 1; speed <= 5; ++speed) {
        const ToolbarId toolbar = moveToolbar(speed);
        for (const char* move : {"Move Camera Left", "Move Camera Up", "Move Camera Down",
                                 "Move Camera Right"}) {
            EXPECT_TRUE(model.repeatsWhileHeld(toolbar, indexOf(model, toolbar, move))) << move;
        }
        EXPECT_FALSE(model.repeatsWhileHeld(toolbar, indexOf(model, toolbar, "Move Camera Home")));
        EXPECT_FALSE(model.repeatsWhileHeld(toolbar, indexOf(model, toolbar, "Camera Auto Move")));
    }
    for (const char* focus :
         {"Camera Zoom Out", "Camera Zoom In", "Camera Focus Far", "Camera Focus Near"}) {
        EXPECT_TRUE(
            model.repeatsWhileHeld(ToolbarId::Focus, indexOf(model, ToolbarId::Focus, focus)));
    }
    EXPECT_FALSE(model.repeatsWhileHeld(ToolbarId::Focus,
                                        indexOf(model, ToolbarId::Focus, "Camera Auto Focus")));
}

TEST(Commands, HiddenButtonsDoNothing) {
    ToolbarModel model = loggedIn({kAllCapabilities & ~(1u << 3), true, 9});
    // Not shown: another toolbar's button, a hidden button, an unknown index.
    EXPECT_EQ(model.press(ToolbarId::Image, 1).command.kind, CommandKind::None);
    press(model, "Camera Move Function");
    EXPECT_EQ(model.press(ToolbarId::MoveSpeed1, 1).command.kind, CommandKind::None);  // Left
    EXPECT_EQ(model.press(ToolbarId::MoveSpeed1, 99).command.kind, CommandKind::None);
    EXPECT_EQ(model.visibleToolbar(), ToolbarId::MoveSpeed1);
}

}  // namespace
}  // namespace ambro::live
