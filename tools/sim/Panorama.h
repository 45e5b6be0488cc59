#pragma once

#include <string>

#include "tools/sim/YuvPicture.h"

namespace ambro::sim {

// The wide still scene a camera looks into: sky, a row of buildings with a
// sign naming the camera, a road, a pan scale along the top and the dome's
// preset marks. Made once per camera from the camera number, so every run
// shows the same scene.
class Panorama {
public:
    static constexpr int kWidth = 1408;
    static constexpr int kHeight = 864;
    // The height of the window a camera shows at zoom 1.
    static constexpr int kBaseWindowHeight = 576;
    static constexpr double kRoadTop = 0.74;
    static constexpr double kRoadBottom = 0.86;

    Panorama(int cameraNumber, const std::string& name);

    const YuvPicture& picture() const { return picture_; }

    // Copies the window of the panorama centred on (centreX, centreY) at the
    // given zoom into `target` (inside `picture`), scaled to fit it. The
    // window keeps the target's proportions and stays inside the panorama.
    void copyWindow(double centreX, double centreY, double zoom, YuvPicture& picture,
                    const PixelRect& target) const;
    // The part of the panorama that copyWindow shows, in panorama pixels.
    struct Window {
        double left = 0;
        double top = 0;
        double width = 0;
        double height = 0;
    };
    static Window windowFor(double centreX, double centreY, double zoom, const PixelRect& target);

private:
    void paintSky(unsigned seed);
    void paintBuildings(unsigned& seed, const std::string& name);
    void paintRoad();
    void paintScale();
    void paintPresetMarks();

    YuvPicture picture_;
};

}  // namespace ambro::sim
