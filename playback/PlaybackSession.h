#pragma once

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "playback/DayTree.h"
#include "playback/OpeningStatus.h"
#include "playback/PicturePath.h"
#include "playback/PlaybackConnection.h"
#include "playback/PlaybackObserver.h"
#include "playback/PlaybackReplies.h"
#include "playback/SnapshotName.h"
#include "playback/TimeCodeRows.h"

namespace ambro::playback {

// What a playback session is given when it starts (8-bit texts).
struct PlaybackSettings {
    std::string host;
    std::string port;
    std::string user;
    std::string password;
    // 0 "DVR", 1 "Video Server".
    std::uint8_t databaseType = 0;
    // Where snapshots go, an absolute folder.
    std::filesystem::path snapshotFolder;
    // The local time that names snapshots; empty reads the clock.
    SnapshotClock clock;
    // Pictures are shown at the file's recorded pace; without it, as fast
    // as they are decoded (for tools that export a recording).
    bool pacedPictures = true;
};

struct CameraEntry {
    int number = 0;  // 1..32
    std::string name;
    friend bool operator==(const CameraEntry&, const CameraEntry&) = default;
};

enum class [[nodiscard]] PlayResult{
    PauseToggled,   // a file was playing: paused or resumed
    NothingToPlay,  // no file chosen, or the session is not open
    RequestFailed,  // the open or the first frame request failed
    FileNotOpened,  // the server could not open the file
    Started,
};

enum class [[nodiscard]] PaceResult{
    Idle,        // not playing
    Finished,    // every frame shown, or the session ended: playing stopped
    Requested,   // frames were asked for
    Waiting,     // enough frames are on their way, or paused
    SendFailed,  // the frame request could not be sent
};

enum class [[nodiscard]] SeekResult{
    Restarted,    // playback goes on from the key frame at or below the server's frame
    NotPossible,  // nothing is playing, or the position has no time
    SendFailed,   // the request could not be sent; paused is cleared
    NoReply,      // no matching reply; playback stays paused until resumed
};

// A remote playback session: the opening, the camera, day and file choices,
// playing with pacing, pause, seek and stop, snapshots. The opening runs on
// a worker thread (start) or on the calling thread (openNow); everything
// else is called from one thread, the window's, and blocks it for at most
// the reply timeout. Pictures reach the window through pictures().
class PlaybackSession {
public:
    // Frames asked for at once, and the outstanding count below which the
    // pacing asks again.
    static constexpr int kBatch = 10;
    static constexpr int kLowWater = 4;
    // How long a close request may take to leave when the session closes.
    static constexpr std::chrono::milliseconds kClosingSendLimit{200};

    PlaybackSession(PlaybackSettings settings, PlaybackObserver& observer);
    ~PlaybackSession();

    PlaybackSession(const PlaybackSession&) = delete;
    PlaybackSession& operator=(const PlaybackSession&) = delete;

    // Runs the opening on the worker thread; observer.openingFinished tells
    // the outcome.
    void start();
    // Runs the opening here and returns its status.
    [[nodiscard]] int openNow();
    int status() const { return status_.load(); }
    // Whether the connection has ended (for whatever reason).
    bool ended() const { return connection_.stopped(); }

    // After the opening: the cameras with names, the current camera and
    // the recording days of the current camera.
    std::vector<CameraEntry> cameras() const;
    int cameraNumber() const;
    std::vector<std::uint32_t> recordingDays() const;

    // Camera change: the recording days of camera `number` (1..32).
    [[nodiscard]] bool selectCamera(int number);
    // Day choice: the file-list rows of the day; none when the request failed.
    std::optional<std::vector<TimeCodeRow>> chooseDay(const RecordingDay& day);
    // File choice: asks for the path of the recording the row names.
    [[nodiscard]] bool chooseFile(const TimeCodeRow& row);
    const std::string& filePath() const { return filePath_; }

    // The shared Play/Pause handler.
    PlayResult play();
    // The 33 ms pacing tick.
    PaceResult pace();
    // Stops playing; then, unless closing, closes the file on the server and
    // exchanges the work path again. True when both went through.
    [[nodiscard]] bool stop();
    // Seek to a slider position (0..total frames).
    SeekResult seek(int position);
    void requestSnapshot() { pictures_.requestSnapshot(); }

    // Ends the session: playing stops, an open file is closed on the server
    // (bounded), and every thread is joined. Returns promptly even against a
    // silent server. Nothing is reported afterwards.
    void close();

    bool playing() const { return playing_.load(); }
    bool paused() const { return paused_.load(); }
    int nextFrame() const { return nextFrame_.load(); }
    int shownFrames() const { return pictures_.shownFrames(); }
    int totalFrames() const { return totalFrames_.load(); }
    const FileInformation& fileInformation() const { return fileInformation_; }
    const std::vector<std::uint16_t>& keyFrames() const { return keyFrames_; }
    // The recording time of the shown frame, as "YYYY/MM/DD hh:mm:ss".
    std::optional<std::string> pictureTimeText() const;

    PictureSlot& pictures() { return pictures_.slot(); }
    PicturePath::Statistics pictureStatistics() const { return pictures_.statistics(); }

private:
    int runOpening();
    int logIn();
    int readCameras();
    bool requestFrames();
    void connectionEnded();
    void reportEndIfDue();
    bool isOpen() const { return status_.load() == opening::kOpen && !connection_.stopped(); }

    const PlaybackSettings settings_;
    PlaybackObserver& observer_;
    PicturePath pictures_;
    PlaybackConnection connection_;
    std::thread worker_;

    std::atomic<int> status_{opening::kConnecting};
    std::atomic<bool> closing_{false};
    std::atomic<bool> closed_{false};
    std::atomic<bool> endReported_{false};

    // Written by the opening, then by the window's thread.
    mutable std::mutex camerasMutex_;
    std::vector<CameraEntry> cameras_;
    int cameraNumber_ = 1;
    std::vector<std::uint32_t> recordingDays_;
    std::uint32_t databaseReference_ = 0;

    // The window's thread only.
    std::optional<RecordingDay> currentDay_;
    bool firstRequest_ = true;
    std::string filePath_;
    platform::DateTime fileTime_;
    std::uint32_t fileHandle_ = 0;
    FileInformation fileInformation_;
    std::vector<std::uint16_t> keyFrames_;

    std::atomic<bool> playing_{false};
    std::atomic<bool> paused_{false};
    std::atomic<int> nextFrame_{0};
    std::atomic<int> totalFrames_{0};
};

}  // namespace ambro::playback
