#include "platform/DataFolders.h"

#include <cstdlib>
#include <sstream>

#include "platform/ProgramFolder.h"

namespace ambro::platform {

namespace {

constexpr const char* kPtzFolderName = "PTZSetup_New";

std::string environment(const char* name) {
    const char* value = std::getenv(name);
    return value ? value : "";
}

std::vector<std::filesystem::path> xdgDataFolders() {
    std::vector<std::filesystem::path> folders;
    const std::string home = environment("XDG_DATA_HOME");
    if (!home.empty()) {
        folders.emplace_back(home);
    } else if (const std::string user = environment("HOME"); !user.empty()) {
        folders.push_back(std::filesystem::path(user) / ".local" / "share");
    }
    std::string system = environment("XDG_DATA_DIRS");
    if (system.empty()) system = "/usr/local/share:/usr/share";
    std::istringstream list(system);
    for (std::string folder; std::getline(list, folder, ':');) {
        if (!folder.empty()) folders.emplace_back(folder);
    }
    return folders;
}

}  // namespace

std::vector<std::filesystem::path> dataFolderCandidates(const std::string& name) {
    const std::filesystem::path program = programFolder();
    std::vector<std::filesystem::path> candidates = {
        program / name, (program / ".." / "share" / "ambro" / name).lexically_normal()};
    for (const auto& folder : xdgDataFolders()) candidates.push_back(folder / "ambro" / name);
    return candidates;
}

std::optional<std::filesystem::path> findDataFolder(const std::string& name) {
    for (const auto& candidate : dataFolderCandidates(name)) {
        std::error_code error;
        if (std::filesystem::is_directory(candidate, error)) return candidate;
    }
    return std::nullopt;
}

std::filesystem::path ptzFolder() {
    return findDataFolder(kPtzFolderName).value_or(programFolder() / kPtzFolderName);
}

}  // namespace ambro::platform
