#pragma once

#include <iosfwd>
#include <string>
#include <vector>

namespace ambro::cli {

// ambro-cli live info|snapshot|ptz|output --host H --port P [--user U]
// [--password W] ...: the live session core without a window.
// `ptzDirectory` is where dome description files are looked up.
// The usage text of the live commands.
const char* liveUsage();

int runLive(const std::vector<std::string>& words, const std::string& ptzDirectory,
            std::ostream& out, std::ostream& err);

}  // namespace ambro::cli
