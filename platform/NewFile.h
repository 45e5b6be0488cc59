#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <string>

namespace ambro::platform {

// Writes `bytes` into a new file of `folder` (created when missing) named
// stem + extension, or stem_2 + extension, stem_3 + extension, ... when that
// name is taken: an earlier file is never replaced. The bytes go to a
// temporary file first, which is then moved to its name in one step, so a
// half-written file never appears under a real name. Returns the path
// written, or none with `error` saying why.
std::optional<std::filesystem::path> writeNewFile(const std::filesystem::path& folder,
                                                  const std::string& stem,
                                                  const std::string& extension,
                                                  std::span<const std::uint8_t> bytes,
                                                  std::string& error);

// Writes `bytes` as `file`, replacing what was there, through a temporary
// file beside it, so that the file is either the old one or the whole new
// one. False with `error` saying why.
bool replaceFile(const std::filesystem::path& file, std::span<const std::uint8_t> bytes,
                 std::string& error);

}  // namespace ambro::platform
