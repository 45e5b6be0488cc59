// ambro-sim: a simulated installation of the three servers on one machine.
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <string>
#include <vector>

#include "tools/sim/Simulator.h"

using namespace ambro::sim;

namespace {

// Written under a temporary name and renamed, so a script that waits for the
// file never reads half of it.
bool writePortFile(const std::string& path, const std::string& json) {
    const std::string temporary = path + ".tmp";
    {
        std::ofstream file(temporary, std::ios::trunc);
        file << json;
        if (!file) return false;
    }
    std::error_code error;
    std::filesystem::rename(temporary, path, error);
    return !error;
}

// Waits for SIGINT or SIGTERM, which every thread blocks.
void waitForStopSignal(const sigset_t& signals) {
    const timespec poll{1, 0};
    for (;;) {
        const int signal = sigtimedwait(&signals, nullptr, &poll);
        if (signal == SIGINT || signal == SIGTERM) return;
    }
}

}  // namespace

int main(int argc, char* argv[]) {
    std::string error;
    const auto options = SimOptions::parse(std::vector<std::string>(argv + 1, argv + argc), error);
    if (!options) {
        std::cerr << "ambro-sim: " << error << "\n" << SimOptions::usage();
        return 1;
    }
    if (options->help) {
        std::cout << SimOptions::usage();
        return 0;
    }
    // Blocked before any thread starts, so only the main thread takes them.
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGINT);
    sigaddset(&signals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &signals, nullptr);
    std::signal(SIGPIPE, SIG_IGN);

    SimLog log([](const std::string& line) { std::cerr << line << std::endl; }, options->verbose);
    Simulator simulator(*options, log);
    if (!simulator.start(error)) {
        std::cerr << "ambro-sim: " << error << "\n";
        return 2;
    }
    std::cout << simulator.startupLine() << std::endl;
    if (!options->portFile.empty() && !writePortFile(options->portFile, simulator.portsJson())) {
        std::cerr << "ambro-sim: cannot write " << options->portFile << "\n";
        simulator.stop();
        return 4;
    }
    waitForStopSignal(signals);
    std::cerr << "ambro-sim: stopping" << std::endl;
    simulator.stop();
    return 0;
}
