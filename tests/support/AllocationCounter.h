#pragma once

#include <cstddef>

namespace ambro::test {

// Counts every heap allocation of the process, its shared libraries included.
// A program that links this replaces malloc and friends and forwards them to
// glibc; under a sanitizer, whose allocator must stay in place, the count
// comes from the sanitizer's allocation hook instead.
std::size_t allocationCount();

}  // namespace ambro::test
