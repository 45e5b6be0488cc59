#include "platform/ProgramFolder.h"

namespace ambro::platform {

std::filesystem::path programFolder() {
    std::error_code error;
    const auto program = std::filesystem::read_symlink("/proc/self/exe", error);
    if (error) return std::filesystem::current_path(error);
    return program.parent_path();
}

}  // namespace ambro::platform
