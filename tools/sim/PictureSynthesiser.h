#pragma once

#include <memory>
#include <mutex>
#include <vector>

#include "tools/sim/CameraCatalogue.h"
#include "tools/sim/LocalTime.h"
#include "tools/sim/DomeModel.h"
#include "tools/sim/IoModel.h"
#include "tools/sim/Panorama.h"
#include "tools/sim/YuvPicture.h"

namespace ambro::sim {

// The moment a picture shows. Live pictures follow the domes and show the
// outputs forced lately; recorded pictures look from the home position.
struct SceneMoment {
    TimePoint wallTime;
    SteadyPoint steadyTime;
    bool live = true;
};

// Draws the synthetic camera pictures: the camera's window on its panorama,
// a car driving along the road, a marker that moves in every picture, the
// camera name, a running clock, the dome position, recent outputs and active
// alarms; for a lost camera a "VIDEO LOST" screen.
class PictureSynthesiser {
public:
    PictureSynthesiser(const CameraCatalogue& cameras, std::vector<DomeModel*> domes,
                       const IoModel& io);

    // Draws camera `index` (0-based) into `cell` of `picture`.
    void drawCamera(int index, const SceneMoment& moment, YuvPicture& picture,
                    const PixelRect& cell);
    // A view of grid x grid cells showing cameras first, first + 1, ...
    void drawView(int grid, int firstCamera, const SceneMoment& moment, YuvPicture& picture);

    // The privacy masks of camera `index` drawn into `cell`, in pixels of the
    // picture, top-down.
    std::vector<PixelRect> masksIn(int index, const PixelRect& cell) const;
    static PixelRect viewCell(int grid, int position, int width, int height);

private:
    const Panorama& panorama(int index);
    void drawScene(int index, const SceneMoment& moment, YuvPicture& picture,
                   const PixelRect& cell);
    void drawCar(const Panorama::Window& window, double seconds, int index, YuvPicture& picture,
                 const PixelRect& cell) const;
    void drawOverlay(int index, const SceneMoment& moment, YuvPicture& picture,
                     const PixelRect& cell);
    void drawLost(int index, YuvPicture& picture, const PixelRect& cell) const;

    const CameraCatalogue& cameras_;
    std::vector<DomeModel*> domes_;
    const IoModel& io_;
    std::mutex panoramasMutex_;
    std::vector<std::unique_ptr<Panorama>> panoramas_;
};

}  // namespace ambro::sim
