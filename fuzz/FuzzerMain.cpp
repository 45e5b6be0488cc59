// One libFuzzer program per target; AMBRO_FUZZ_ENTRY names its entry point.
#include "fuzz/targets/FuzzTargets.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    return ambro::fuzz::AMBRO_FUZZ_ENTRY(data, size);
}
