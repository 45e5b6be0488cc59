#include <iostream>
#include <string>
#include <vector>

#include "platform/ProgramFolder.h"
#include "platform/Version.h"
#include "tools/cli/DecodeCommand.h"
#include "tools/cli/ExitStatus.h"
#include "tools/cli/Interrupt.h"
#include "tools/cli/LiveCommand.h"

namespace {

constexpr const char* kUsage =
    "usage: ambro-cli COMMAND ...\n"
    "commands:\n"
    "  decode   decode frame payloads into pictures\n"
    "  live     talk to a live server: info, snapshot, record, ptz, output\n"
    "options:\n"
    "  --help     this text (after a command: that command's)\n"
    "  --version  the program's version\n"
    "Exit status: 0 success, 1 usage error, 2 an input cannot be read or the\n"
    "connection or log-in failed, 3 the operation cannot be done, 4 a file cannot\n"
    "be written, 130 interrupted.\n";

bool asksForHelp(const std::vector<std::string>& words) {
    for (const auto& word : words) {
        if (word == "--help" || word == "-h") return true;
    }
    return false;
}

}  // namespace

int main(int argc, char* argv[]) {
    using namespace ambro;
    const std::vector<std::string> words(argv + 1, argv + argc);
    if (words.empty()) {
        std::cerr << kUsage;
        return cli::kUsageError;
    }
    if (words[0] == "--version") {
        std::cout << "ambro-cli " << platform::kVersion << "\n";
        return cli::kSuccess;
    }
    const std::vector<std::string> rest(words.begin() + 1, words.end());
    const bool help = asksForHelp(words);
    if (words[0] == "--help" || words[0] == "-h") {
        std::cout << kUsage;
        return cli::kSuccess;
    }
    cli::installInterruptHandler();
    if (words[0] == "decode") {
        if (help) return std::cout << cli::decodeUsage(), cli::kSuccess;
        return cli::runDecode(rest, std::cout, std::cerr);
    }
    if (words[0] == "live") {
        if (help) return std::cout << cli::liveUsage(), cli::kSuccess;
        const auto ptzDirectory = platform::programFolder() / "PTZSetup_New";
        return cli::runLive(rest, ptzDirectory.string(), std::cout, std::cerr);
    }
    std::cerr << "unknown command '" << words[0] << "'\n" << kUsage;
    return cli::kUsageError;
}
