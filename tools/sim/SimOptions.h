#pragma once

#include <optional>
#include <string>
#include <vector>

#include "tools/sim/FaultPlan.h"
#include "tools/sim/UserTable.h"

namespace ambro::sim {

// The picture size of recorded files.
enum class RecordingSize { Cif, D1 };

// Everything ambro-sim is told on its command line.
struct SimOptions {
    static constexpr int kDefaultCurrentPort = 17860;
    static constexpr int kDefaultOlderPort = 17870;
    static constexpr int kDefaultPlaybackPort = 17880;
    static constexpr int kMaxCameras = 32;

    // A port of 0 asks for any free port; none switches that server off.
    std::optional<int> liveCurrentPort = kDefaultCurrentPort;
    std::optional<int> liveOlderPort = kDefaultOlderPort;
    std::optional<int> playbackPort = kDefaultPlaybackPort;
    std::string bindAddress = "127.0.0.1";
    UserTable users{"admin", "1234"};
    int cameras = 8;
    int liveSizeCode = 24;  // the current generation's picture size code
    int recordingDays = 3;
    RecordingSize recordingSize = RecordingSize::Cif;
    FaultPlan faults;
    std::string portFile;
    bool verbose = false;
    bool help = false;

    // Parses the words after the program name; none, with `error` set, on a
    // word that is not understood.
    static std::optional<SimOptions> parse(const std::vector<std::string>& words,
                                           std::string& error);
    static std::string usage();
};

}  // namespace ambro::sim
