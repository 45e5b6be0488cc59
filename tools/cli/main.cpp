#include <functional>
#include <iostream>
#include <string>
#include <vector>

#include "platform/ProgramFolder.h"
#include "platform/Version.h"
#include "tools/cli/DecodeCommand.h"
#include "tools/cli/ExitStatus.h"
#include "tools/cli/Interrupt.h"
#include "tools/cli/LiveCommand.h"
#include "tools/cli/PlaybackCommand.h"

namespace {

using namespace ambro;

constexpr const char* kUsage =
    "usage: ambro-cli COMMAND ...\n"
    "commands:\n"
    "  decode    decode frame payloads into pictures\n"
    "  live      talk to a live server: info, snapshot, record, ptz, output\n"
    "  playback  a recorder's recordings: cameras, days, files\n"
    "options:\n"
    "  --help     this text (after a command: that command's)\n"
    "  --version  the program's version\n"
    "Exit status: 0 success, 1 usage error, 2 an input cannot be read or the\n"
    "connection or log-in failed, 3 the operation cannot be done, 4 a file cannot\n"
    "be written, 130 interrupted.\n";

using Words = std::vector<std::string>;

struct Command {
    const char* name;
    const char* (*usage)();
    std::function<int(const Words&)> run;
};

bool asksForHelp(const Words& words) {
    for (const auto& word : words) {
        if (word == "--help" || word == "-h") return true;
    }
    return false;
}

}  // namespace

int main(int argc, char* argv[]) {
    const Words words(argv + 1, argv + argc);
    if (words.empty()) {
        std::cerr << kUsage;
        return cli::kUsageError;
    }
    if (words[0] == "--version") {
        std::cout << "ambro-cli " << platform::kVersion << "\n";
        return cli::kSuccess;
    }
    if (words[0] == "--help" || words[0] == "-h") {
        std::cout << kUsage;
        return cli::kSuccess;
    }
    const std::string ptzDirectory = (platform::programFolder() / "PTZSetup_New").string();
    const Command commands[] = {
        {"decode", cli::decodeUsage,
         [](const Words& rest) { return cli::runDecode(rest, std::cout, std::cerr); }},
        {"live", cli::liveUsage,
         [&](const Words& rest) { return cli::runLive(rest, ptzDirectory, std::cout, std::cerr); }},
        {"playback", cli::playbackUsage,
         [](const Words& rest) { return cli::runPlayback(rest, std::cout, std::cerr); }},
    };
    for (const Command& command : commands) {
        if (words[0] != command.name) continue;
        if (asksForHelp(words)) {
            std::cout << command.usage();
            return cli::kSuccess;
        }
        cli::installInterruptHandler();
        return command.run(Words(words.begin() + 1, words.end()));
    }
    std::cerr << "unknown command '" << words[0] << "'\n" << kUsage;
    return cli::kUsageError;
}
