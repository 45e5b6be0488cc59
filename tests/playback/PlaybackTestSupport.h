#pragma once

#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "platform/Deadline.h"
#include "playback/PlaybackObserver.h"
#include "playback/PlaybackSession.h"
#include "tests/support/FakePlaybackServer.h"
#include "tests/support/ObservedEvents.h"

namespace ambro::test {

// Everything a session reports, kept for the test to look at.
class RecordingObserver : public playback::PlaybackObserver, public ObservedEvents {
public:
    void openingFinished(int status) override { update([&] { openings.push_back(status); }); }
    void sessionEnded() override { update([&] { ++endings; }); }
    void pictureShown(int shown) override { update([&] { lastShown = shown; ++shownCalls; }); }
    void snapshotSaved(const std::filesystem::path& path) override {
        update([&] { snapshots.push_back(path); });
    }
    void snapshotFailed(const std::string& why) override { update([&] { failures.push_back(why); }); }

    std::vector<int> openings;
    int endings = 0;
    int lastShown = 0;
    int shownCalls = 0;
    std::vector<std::filesystem::path> snapshots;
    std::vector<std::string> failures;
};

// The pictures of a fixture stream, wrapped as a server sends them.
std::vector<Bytes> fixturePayloads(const std::string& fixture);

// A folder of its own under the temporary folder, removed at the end.
class TemporaryFolder {
public:
    TemporaryFolder();
    ~TemporaryFolder();
    const std::filesystem::path& path() const { return path_; }

private:
    std::filesystem::path path_;
};

// Sets the reply timeout for one test and restores the default after it.
class ReplyTimeoutScope {
public:
    explicit ReplyTimeoutScope(std::chrono::milliseconds timeout) {
        platform::setReplyTimeout(timeout);
    }
    ~ReplyTimeoutScope() { platform::setReplyTimeout(platform::kDefaultReplyTimeout); }
};

}  // namespace ambro::test
