#pragma once

#include <memory>

#include "app/KeyValueStore.h"
#include "app/NetworkBringUp.h"
#include "app/SessionKind.h"
#include "app/SessionParameters.h"
#include "app/SessionWindowFactory.h"

namespace ambro::app {

class MainWindow;

// Runs a session command: brings the network up, ends the previous session,
// asks for the server in the connect dialog and runs the session window of
// the chosen kind. At most one session exists at a time.
class SessionLauncher {
public:
    SessionLauncher(MainWindow& window, KeyValueStore& store, SessionWindowFactory& factory,
                    NetworkBringUp network);
    ~SessionLauncher();

    void run(SessionKind kind);

    // The fields of the last confirmed connect dialog; the port stays from
    // the previous dialog when left empty.
    const SessionParameters& parameters() const { return parameters_; }

private:
    void closeSessions();
    bool waitForNetwork();

    MainWindow& window_;
    KeyValueStore& store_;
    SessionWindowFactory& factory_;
    NetworkBringUp network_;
    SessionParameters parameters_;
    std::unique_ptr<SessionWindow> liveSession_;
    std::unique_ptr<SessionWindow> playbackSession_;
};

}  // namespace ambro::app
