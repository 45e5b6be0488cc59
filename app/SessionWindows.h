#pragma once

#include "app/SessionWindowFactory.h"
#include "playback/PlaybackSession.h"

namespace ambro::app {

// The session windows of the desktop client. The playback window is built;
// the live window is not yet, so a live session cannot be created.
class SessionWindows : public SessionWindowFactory {
public:
    std::unique_ptr<SessionWindow> create(SessionKind kind, const SessionParameters& parameters,
                                          QWidget* parent) override;
};

// What the playback session is given: the connect dialog's fields as wire
// text, the chosen database and the "SnapShot" folder resolved.
playback::PlaybackSettings playbackSettingsOf(const SessionParameters& parameters);

}  // namespace ambro::app
