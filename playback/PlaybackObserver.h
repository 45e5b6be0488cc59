#pragma once

#include <filesystem>
#include <string>

namespace ambro::playback {

// What a playback session reports to its window. Calls come from the
// session's own threads (the opening worker, the receiver, the picture
// thread); an implementation marshals them to its own thread. None comes
// after the session has been closed.
class PlaybackObserver {
public:
    virtual ~PlaybackObserver() = default;

    // The opening ended with a status: 1 open, 4..10 failed
    // (openingFailureMessage says what the user is told).
    virtual void openingFinished(int /*status*/) {}
    // The session ended while open ("Disconnected"): nothing more can be
    // asked and no picture will come.
    virtual void sessionEnded() {}
    // A frame has been handled; the picture slot holds its picture when one
    // was decoded. `shownFrames` is the new count.
    virtual void pictureShown(int /*shownFrames*/) {}
    virtual void snapshotSaved(const std::filesystem::path& /*path*/) {}
    virtual void snapshotFailed(const std::string& /*why*/) {}
};

}  // namespace ambro::playback
