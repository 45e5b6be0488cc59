#pragma once

#include <string>
#include <vector>

#include "net/ServerBlocks.h"

namespace ambro::net {

// The names of the I/O module of a current-generation server: the first list
// of the description holds the inputs, the second the outputs.
struct IoNames {
    // A module holds 16 inputs and 16 outputs; a larger count is cut to it.
    static constexpr std::size_t kMaxNames = 16;
    // Names are 17-byte fields: 16 characters and a terminating zero.
    static constexpr std::size_t kMaxNameLength = 16;

    bool present = false;
    std::vector<std::string> inputNames;
    std::vector<std::string> outputNames;

    // Each list is enabled by its own flag word of the information block; the
    // one count of the description applies to each enabled list.
    static IoNames fromServer(const ServerInformation& information,
                              const ServerDescription& description);
};

}  // namespace ambro::net
