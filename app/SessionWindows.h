#pragma once

#include <filesystem>
#include <string>

#include "app/SessionWindowFactory.h"

namespace ambro::app {

// The program's session windows: the live view for a live session. The
// playback window is not part of the program yet; a playback session
// therefore cannot be created.
class SessionWindows : public SessionWindowFactory {
public:
    std::unique_ptr<SessionWindow> create(SessionKind kind, const SessionParameters& parameters,
                                          QWidget* parent) override;
};

// The folder snapshots go to for the connect dialog's "SnapShot Path": a
// relative path is a folder of that name in the user's pictures folder.
std::filesystem::path liveSnapshotFolder(const std::string& snapshotPath);

}  // namespace ambro::app
