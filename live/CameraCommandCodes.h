#pragma once

#include "ptz/PtzProtocol.h"

namespace ambro::live {

// The camera command codes an older-generation server takes on its control
// connection for each camera button.
int olderGenerationCameraCode(ptz::DomeAction action);
// Go Preset n (1 to 16): 46 + n.
int olderGenerationPresetCode(int presetNumber);

// Force Output n of the selected module: the channel command value n + 30.
int olderGenerationOutputValue(int output);

// A preset chosen from the preset list (presets 17 and up) is sent with this
// code and the preset number - 1 as parameter, at this speed.
inline constexpr int kPresetListCameraCode = 14;
inline constexpr int kPresetListSpeed = 3;
// The highest preset the preset list can call.
inline constexpr int kLastListedPreset = 64;

}  // namespace ambro::live
