#pragma once

#include <QString>
#include <filesystem>

namespace ambro::app {

// The folder snapshots of a session go to: a relative path names a folder
// under the user's pictures folder, an absolute path is taken as it stands.
// An empty path is the default "SnapShot".
std::filesystem::path resolveSnapshotFolder(const QString& path);

}  // namespace ambro::app
