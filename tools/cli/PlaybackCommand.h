#pragma once

#include <iosfwd>
#include <string>
#include <vector>

namespace ambro::cli {

// ambro-cli playback cameras|days|files --host H --port P --user U
// [--password W] [--db dvr|video-server] ...: what a recorder holds, from
// the playback session core without a window.
const char* playbackUsage();

// With `showProgress` (standard error is a terminal) an export draws a
// progress bar there.
int runPlayback(const std::vector<std::string>& words, std::ostream& out, std::ostream& err,
                bool showProgress = false);

}  // namespace ambro::cli
