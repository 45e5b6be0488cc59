#pragma once

#include <atomic>
#include <cstddef>

namespace ambro::bench {

// Counts every heap allocation of the process, its shared libraries included:
// the benchmark program replaces malloc and friends and forwards to glibc.
std::size_t allocationCount();

}  // namespace ambro::bench
