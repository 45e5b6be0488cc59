#include <iostream>
#include <string>
#include <vector>

#include "platform/ProgramFolder.h"
#include "tools/cli/DecodeCommand.h"
#include "tools/cli/ExitStatus.h"
#include "tools/cli/LiveCommand.h"
#include "tools/cli/PlaybackCommand.h"

namespace {

constexpr const char* kUsage =
    "usage: ambro-cli COMMAND ...\n"
    "commands:\n"
    "  decode   decode frame payloads into pictures\n"
    "  live     talk to a live server: info, snapshot, ptz, output\n"
    "  playback list a recorder's recordings: cameras, days, files\n";

}  // namespace

int main(int argc, char* argv[]) {
    const std::vector<std::string> words(argv + 1, argv + argc);
    if (words.empty()) {
        std::cerr << kUsage;
        return ambro::cli::kUsageError;
    }
    const std::vector<std::string> rest(words.begin() + 1, words.end());
    if (words[0] == "decode") return ambro::cli::runDecode(rest, std::cout, std::cerr);
    if (words[0] == "live") {
        const auto ptzDirectory = ambro::platform::programFolder() / "PTZSetup_New";
        return ambro::cli::runLive(rest, ptzDirectory.string(), std::cout, std::cerr);
    }
    if (words[0] == "playback") return ambro::cli::runPlayback(rest, std::cout, std::cerr);
    std::cerr << "unknown command '" << words[0] << "'\n" << kUsage;
    return ambro::cli::kUsageError;
}
