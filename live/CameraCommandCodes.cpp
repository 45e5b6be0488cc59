#include "live/CameraCommandCodes.h"

namespace ambro::live {

int olderGenerationCameraCode(ptz::DomeAction action) {
    using ptz::DomeAction;
    switch (action) {
        case DomeAction::PanLeft: return 1;
        case DomeAction::PanRight: return 2;
        case DomeAction::TiltUp: return 3;
        case DomeAction::TiltDown: return 4;
        case DomeAction::ZoomIn: return 5;
        case DomeAction::ZoomOut: return 6;
        case DomeAction::Home: return 7;
        case DomeAction::AutoMove: return 8;
        case DomeAction::FocusNear: return 9;
        case DomeAction::FocusFar: return 10;
        case DomeAction::AutoFocus: return 16;
    }
    return 0;
}

int olderGenerationPresetCode(int presetNumber) { return 46 + presetNumber; }

int olderGenerationOutputValue(int output) { return output + 30; }

}  // namespace ambro::live
