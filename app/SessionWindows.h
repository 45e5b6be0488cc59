#pragma once

#include "app/SessionWindowFactory.h"
#include "live/LiveSession.h"
#include "playback/PlaybackSession.h"

namespace ambro::app {

// The session windows of the desktop client: the live view and the remote
// playback window.
class SessionWindows : public SessionWindowFactory {
public:
    std::unique_ptr<SessionWindow> create(SessionKind kind, const SessionParameters& parameters,
                                          QWidget* parent) override;
};

// What each session is given: the connect dialog's fields as wire text, the
// snapshot folder resolved (the dialog's "SnapShot Path" for live, "SnapShot"
// for playback), the chosen database, the dome descriptions.
live::LiveSessionSettings liveSettingsOf(const SessionParameters& parameters);
playback::PlaybackSettings playbackSettingsOf(const SessionParameters& parameters);

}  // namespace ambro::app
