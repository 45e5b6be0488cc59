#include "tools/sim/Installation.h"

namespace ambro::sim {

namespace {

std::vector<std::unique_ptr<DomeModel>> domesFor(const CameraCatalogue& cameras) {
    std::vector<std::unique_ptr<DomeModel>> domes;
    for (int i = 0; i < cameras.count(); ++i) {
        domes.push_back(cameras.camera(i).hasDome() ? std::make_unique<DomeModel>() : nullptr);
    }
    return domes;
}

}  // namespace

Installation::Installation(const SimOptions& options, SimLog& log)
    : log_(log), cameras_(options.cameras, options.liveSizeCode), domes_(domesFor(cameras_)), io_(log),
      recordings_(cameras_, options.recordingDays),
      synthesiser_(cameras_, pointersTo(domes_), io_), users_(options.users),
      faults_(options.faults), recordingSize_(options.recordingSize) {}

std::vector<DomeModel*> Installation::pointersTo(
    const std::vector<std::unique_ptr<DomeModel>>& domes) {
    std::vector<DomeModel*> pointers;
    for (const auto& dome : domes) pointers.push_back(dome.get());
    return pointers;
}

DomeModel* Installation::dome(int camera) {
    if (camera < 0 || camera >= static_cast<int>(domes_.size())) return nullptr;
    return domes_[static_cast<std::size_t>(camera)].get();
}

}  // namespace ambro::sim
