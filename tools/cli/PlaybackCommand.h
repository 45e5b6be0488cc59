#pragma once

#include <iosfwd>
#include <string>
#include <vector>

namespace ambro::cli {

// ambro-cli playback cameras|days|files --host H --port P --user U
// [--password W] [--db dvr|video-server] ...: what a recorder holds, from
// the playback session core without a window.
const char* playbackUsage();

int runPlayback(const std::vector<std::string>& words, std::ostream& out, std::ostream& err);

}  // namespace ambro::cli
