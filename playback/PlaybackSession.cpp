#include "playback/PlaybackSession.h"

#include <algorithm>
#include <climits>
#include <utility>

#include "playback/PlaybackTime.h"

namespace ambro::playback {

namespace {

constexpr int kCameraCount = 32;
// Frame indices are 16-bit on the wire; a count beyond int is not a file.
constexpr std::uint32_t kMostFrames = INT_MAX;

std::optional<int> twoDigits(const std::string& text, std::size_t at) {
    if (at + 2 > text.size()) return std::nullopt;
    const char high = text[at];
    const char low = text[at + 1];
    if (high < '0' || high > '9' || low < '0' || low > '9') return std::nullopt;
    return (high - '0') * 10 + (low - '0');
}

std::uint16_t numberOf(const std::string& digits) {
    std::uint32_t value = 0;
    for (const char c : digits) {
        if (c < '0' || c > '9') return 0;
        value = std::min<std::uint32_t>(value * 10 + static_cast<std::uint32_t>(c - '0'), 0xFFFF);
    }
    return static_cast<std::uint16_t>(value);
}

}  // namespace

PlaybackSession::PlaybackSession(PlaybackSettings settings, PlaybackObserver& observer)
    : settings_(std::move(settings)),
      observer_(observer),
      pictures_(observer, settings_.snapshotFolder, settings_.clock),
      connection_(pictures_, [this] { connectionEnded(); }) {}

PlaybackSession::~PlaybackSession() { close(); }

void PlaybackSession::start() {
    if (worker_.joinable() || closing_) return;
    worker_ = std::thread([this] {
        const int status = runOpening();
        if (!closing_) observer_.openingFinished(status);
        reportEndIfDue();
    });
}

int PlaybackSession::openNow() {
    const int status = runOpening();
    reportEndIfDue();
    return status;
}

// The opening: connection, work path and version, log-in, camera names and
// the days of the current camera. Each failed step leaves its status.
int PlaybackSession::runOpening() {
    int status = connection_.connect(settings_.host, settings_.port);
    if (status == PlaybackConnection::kConnected) status = logIn();
    if (status == opening::kConnecting) status = readCameras();
    status_ = status;
    return status;
}

int PlaybackSession::logIn() {
    const auto workPath = connection_.exchangeWorkPath();
    if (!workPath) return opening::kWorkPathFailed;
    if (workPath->serverVersion < kLeastServerVersion) return opening::kServerTooOld;
    const auto credentials = encodeCredentials(settings_.user, settings_.password);
    if (!credentials) return opening::kLoginFailed;
    const auto login = connection_.exchangeLogin(loginRequest(*credentials));
    if (!login || !login->accepted) return opening::kLoginFailed;
    return opening::kConnecting;
}

int PlaybackSession::readCameras() {
    std::vector<CameraEntry> cameras;
    for (int number = 1; number <= kCameraCount; ++number) {
        const auto reply = connection_.exchangeCamera(cameraRequest(number, settings_.databaseType));
        if (!reply) return opening::kDatabaseFailed;
        if (!reply->name.empty()) cameras.push_back({number, reply->name});
    }
    // The list's first entry is the camera chosen at first.
    const int current = cameras.empty() ? 1 : cameras.front().number;
    const auto reply = connection_.exchangeCamera(cameraRequest(current, settings_.databaseType));
    if (!reply) return opening::kDatabaseFailed;
    std::lock_guard lock(camerasMutex_);
    cameras_ = std::move(cameras);
    cameraNumber_ = current;
    recordingDays_ = reply->days;
    databaseReference_ = reply->databaseReference;
    return opening::kOpen;
}

std::vector<CameraEntry> PlaybackSession::cameras() const {
    std::lock_guard lock(camerasMutex_);
    return cameras_;
}

int PlaybackSession::cameraNumber() const {
    std::lock_guard lock(camerasMutex_);
    return cameraNumber_;
}

std::vector<std::uint32_t> PlaybackSession::recordingDays() const {
    std::lock_guard lock(camerasMutex_);
    return recordingDays_;
}

bool PlaybackSession::selectCamera(int number) {
    if (!isOpen() || playing_ || number < 1 || number > kCameraCount) return false;
    {
        std::lock_guard lock(camerasMutex_);
        cameraNumber_ = number;
        recordingDays_.clear();
    }
    filePath_.clear();
    currentDay_.reset();
    const auto reply = connection_.exchangeCamera(cameraRequest(number, settings_.databaseType));
    if (!reply) return false;
    std::lock_guard lock(camerasMutex_);
    recordingDays_ = reply->days;
    databaseReference_ = reply->databaseReference;
    return true;
}

std::optional<std::vector<TimeCodeRow>> PlaybackSession::chooseDay(const RecordingDay& day) {
    if (!isOpen() || playing_) return std::nullopt;
    currentDay_ = day;
    std::uint32_t reference = 0;
    {
        std::lock_guard lock(camerasMutex_);
        reference = databaseReference_;
    }
    const auto reply =
        connection_.exchangeDay(dayRequest(day.number(), reference, settings_.databaseType));
    if (!reply) return std::nullopt;
    return timeCodeRows(reply->timeCodes, numberOf(day.day));
}

bool PlaybackSession::chooseFile(const TimeCodeRow& row) {
    if (!isOpen() || playing_ || !currentDay_) return false;
    const auto hour = twoDigits(row.text, 0);
    const auto minute = twoDigits(row.text, 3);
    const auto second = twoDigits(row.text, 6);
    if (!hour || !minute || !second) return false;
    if (row.daylight) firstRequest_ = false;
    const bool daylightSaving = !firstRequest_;
    firstRequest_ = true;

    platform::DateTime time;
    time.year = numberOf(currentDay_->year);
    time.month = numberOf(currentDay_->month);
    time.day = numberOf(currentDay_->day);
    time.hour = static_cast<std::uint16_t>(*hour);
    time.minute = static_cast<std::uint16_t>(*minute);
    time.second = static_cast<std::uint16_t>(*second);
    std::uint32_t reference = 0;
    {
        std::lock_guard lock(camerasMutex_);
        // The milliseconds slot carries the camera number.
        time.millisecond = static_cast<std::uint16_t>(cameraNumber_);
        reference = databaseReference_;
    }
    // A failed choice leaves no path behind, so Play cannot open the file
    // of an earlier row.
    filePath_.clear();
    const auto reply = connection_.exchangeFile(
        fileRequest(reference, time, settings_.databaseType, daylightSaving));
    if (!reply) return false;
    filePath_ = reply->path;
    fileTime_ = time;
    return true;
}

PlayResult PlaybackSession::play() {
    if (!isOpen()) return PlayResult::NothingToPlay;
    if (playing_) {
        paused_ = !paused_;
        if (!paused_) pictures_.resetClock();
        return PlayResult::PauseToggled;
    }
    if (filePath_.empty()) return PlayResult::NothingToPlay;
    // A file that played to its end is still open on the server.
    // A failed send ends the connection; the open below then fails.
    if (fileHandle_ != 0) (void)connection_.send(closeRequest(std::exchange(fileHandle_, 0)));
    const auto reply = connection_.exchangeOpen(openRequest(filePath_));
    if (!reply) return PlayResult::RequestFailed;
    if (reply->fileHandle == 0) return PlayResult::FileNotOpened;

    fileHandle_ = reply->fileHandle;
    fileInformation_ = reply->information;
    keyFrames_ = reply->keyFrames;
    nextFrame_ = 0;
    totalFrames_ = static_cast<int>(std::min(fileInformation_.frameCount, kMostFrames));
    pictures_.setFrameInterval(settings_.pacedPictures ? frameInterval(fileInformation_)
                                                       : std::chrono::microseconds{0});
    pictures_.restart(0);
    if (!requestFrames()) {
        pictures_.halt();
        return PlayResult::RequestFailed;
    }
    paused_ = false;
    playing_ = true;
    pictures_.cancelSnapshot();
    return PlayResult::Started;
}

// Frames next .. next + n - 1, n at most 10; nothing to send at the end.
bool PlaybackSession::requestFrames() {
    const int next = nextFrame_;
    const int count = std::min(totalFrames_.load() - next, kBatch);
    if (count <= 0) return true;
    if (!connection_.send(frameRequest(fileHandle_, fileTime_, static_cast<std::uint32_t>(next),
                                       count))) {
        return false;
    }
    nextFrame_ = next + count;
    return true;
}

PaceResult PlaybackSession::pace() {
    if (!playing_) return PaceResult::Idle;
    const int next = nextFrame_;
    const int shown = pictures_.shownFrames();
    const int total = totalFrames_;
    if ((next >= total && shown >= total) || connection_.stopped()) {
        playing_ = false;
        paused_ = false;
        return PaceResult::Finished;
    }
    if (paused_ || next >= total || next - shown >= kLowWater) return PaceResult::Waiting;
    return requestFrames() ? PaceResult::Requested : PaceResult::SendFailed;
}

bool PlaybackSession::stop() {
    playing_ = false;
    paused_ = false;
    pictures_.halt();
    if (closing_ || !isOpen()) return false;
    bool closed = true;
    if (fileHandle_ != 0) closed = connection_.send(closeRequest(std::exchange(fileHandle_, 0)));
    return closed && connection_.exchangeWorkPath().has_value();
}

SeekResult PlaybackSession::seek(int position) {
    if (!isOpen() || !playing_ || fileHandle_ == 0) return SeekResult::NotPossible;
    const auto target = timeAtFrame(fileInformation_, position);
    if (!target) return SeekResult::NotPossible;
    paused_ = true;
    const auto reply = connection_.exchangeSeek(seekRequest(fileHandle_, *target));
    if (!reply) {
        if (!connection_.stopped()) return SeekResult::NoReply;
        paused_ = false;
        return SeekResult::SendFailed;
    }
    const int restart = restartFrame(keyFrames_, reply->frameIndex);
    nextFrame_ = restart;
    pictures_.restart(restart);
    paused_ = false;
    return SeekResult::Restarted;
}

std::optional<std::string> PlaybackSession::pictureTimeText() const {
    const auto time = timeAtFrame(fileInformation_, pictures_.shownFrames());
    if (!time) return std::nullopt;
    return playback::pictureTimeText(*time);
}

void PlaybackSession::close() {
    if (closed_.exchange(true)) return;
    closing_ = true;
    playing_ = false;
    paused_ = false;
    if (fileHandle_ != 0 && isOpen()) {
        // Closing goes on whether or not the server heard of it.
        (void)connection_.send(closeRequest(std::exchange(fileHandle_, 0)),
                               platform::Deadline::after(kClosingSendLimit));
    }
    pictures_.stop();
    connection_.interrupt();
    if (worker_.joinable()) worker_.join();
    connection_.close();
}

void PlaybackSession::connectionEnded() { reportEndIfDue(); }

// "Disconnected" is the session's one message when it ends in use; during
// the opening the failed step's message says it instead.
void PlaybackSession::reportEndIfDue() {
    if (closing_ || status_.load() != opening::kOpen || !connection_.stopped()) return;
    if (!endReported_.exchange(true)) observer_.sessionEnded();
}

}  // namespace ambro::playback
