#pragma once

#include <filesystem>

namespace ambro::platform {

// The folder that holds the running program's file.
std::filesystem::path programFolder();

}  // namespace ambro::platform
