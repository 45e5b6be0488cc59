#pragma once

#include <memory>

#include "app/SessionKind.h"
#include "app/SessionParameters.h"

class QWidget;

namespace ambro::app {

// A live or playback session window, run modally until the user leaves it.
class SessionWindow {
public:
    virtual ~SessionWindow() = default;
    virtual int run() = 0;
};

// Creates the session window of a kind; none when it cannot be created.
class SessionWindowFactory {
public:
    virtual ~SessionWindowFactory() = default;
    virtual std::unique_ptr<SessionWindow> create(SessionKind kind,
                                                  const SessionParameters& parameters,
                                                  QWidget* parent) = 0;
};

// The factory of a build without session windows: every session fails to be
// created, which the launcher reports like any other creation failure.
class NoSessionWindows : public SessionWindowFactory {
public:
    std::unique_ptr<SessionWindow> create(SessionKind, const SessionParameters&,
                                          QWidget*) override {
        return nullptr;
    }
};

}  // namespace ambro::app
