#include "tools/cli/Interrupt.h"

#include <csignal>

namespace ambro::cli {

namespace {

volatile std::sig_atomic_t interruptFlag = 0;

extern "C" void onInterrupt(int) { interruptFlag = 1; }

}  // namespace

void installInterruptHandler() {
    struct sigaction action = {};
    action.sa_handler = onInterrupt;
    sigemptyset(&action.sa_mask);
    ::sigaction(SIGINT, &action, nullptr);
    ::sigaction(SIGTERM, &action, nullptr);
}

bool interrupted() { return interruptFlag != 0; }

}  // namespace ambro::cli
