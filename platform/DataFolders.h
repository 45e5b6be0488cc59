#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace ambro::platform {

// Where the programs look for a folder of data they ship (the dome
// description folder "PTZSetup_New"), in order: beside the program (the
// build tree, a copied program), "../share/ambro" from the program's folder
// (an installed program), then "ambro" in the user's and the system's data
// folders (XDG_DATA_HOME, default ~/.local/share, then XDG_DATA_DIRS,
// default /usr/local/share:/usr/share).
std::vector<std::filesystem::path> dataFolderCandidates(const std::string& name);

// The first candidate that is a folder; none when no candidate is.
std::optional<std::filesystem::path> findDataFolder(const std::string& name);

// The dome description folder, or where it would be beside the program
// when there is none anywhere (so the lookups fail as for a missing file).
std::filesystem::path ptzFolder();

}  // namespace ambro::platform
