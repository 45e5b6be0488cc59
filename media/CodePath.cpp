#include "media/CodePath.h"

#include <atomic>
#include <cstdlib>
#include <cstring>

namespace ambro::media {

namespace {

bool processorHasAvx2() {
#if defined(__x86_64__) && defined(__GNUC__)
    __builtin_cpu_init();
    return __builtin_cpu_supports("avx2");
#else
    return false;
#endif
}

bool plainAskedByEnvironment() {
    const char* value = std::getenv("AMBRO_PLAIN_CODE");
    return value != nullptr && std::strcmp(value, "1") == 0;
}

std::atomic<bool>& plainForced() {
    static std::atomic<bool> forced{plainAskedByEnvironment()};
    return forced;
}

}  // namespace

bool avx2CodeEnabled() {
    static const bool available = processorHasAvx2();
    return available && !plainForced().load(std::memory_order_relaxed);
}

bool forcePlainCode(bool plain) { return plainForced().exchange(plain, std::memory_order_relaxed); }

}  // namespace ambro::media
