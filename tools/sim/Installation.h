#pragma once

#include <memory>
#include <vector>

#include "tools/sim/CameraCatalogue.h"
#include "tools/sim/DomeModel.h"
#include "tools/sim/FaultPlan.h"
#include "tools/sim/IoModel.h"
#include "tools/sim/PictureSynthesiser.h"
#include "tools/sim/RecordingModel.h"
#include "tools/sim/SimLog.h"
#include "tools/sim/SimOptions.h"
#include "tools/sim/UserTable.h"

namespace ambro::sim {

// Everything the three servers share: the cameras and their domes, the I/O
// modules, the recordings, the accounts, the faults to show and the log.
class Installation {
public:
    Installation(const SimOptions& options, SimLog& log);

    const CameraCatalogue& cameras() const { return cameras_; }
    DomeModel* dome(int camera);  // none for a fixed camera
    IoModel& io() { return io_; }
    const RecordingModel& recordings() const { return recordings_; }
    PictureSynthesiser& synthesiser() { return synthesiser_; }
    const UserTable& users() const { return users_; }
    const FaultPlan& faults() const { return faults_; }
    RecordingSize recordingSize() const { return recordingSize_; }
    SimLog& log() { return log_; }

private:
    static std::vector<DomeModel*> pointersTo(const std::vector<std::unique_ptr<DomeModel>>& domes);

    SimLog& log_;
    CameraCatalogue cameras_;
    std::vector<std::unique_ptr<DomeModel>> domes_;
    IoModel io_;
    RecordingModel recordings_;
    PictureSynthesiser synthesiser_;
    UserTable users_;
    FaultPlan faults_;
    RecordingSize recordingSize_;
};

}  // namespace ambro::sim
