#include "tools/cli/PlaybackCommand.h"

#include <algorithm>
#include <condition_variable>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <mutex>
#include <optional>
#include <thread>
#include <ostream>

#include "platform/Deadline.h"
#include "playback/DayTree.h"
#include "playback/PlaybackSession.h"
#include "playback/PlaybackTime.h"
#include "tools/cli/CommandLine.h"
#include "tools/cli/ExitStatus.h"
#include "tools/cli/Interrupt.h"
#include "tools/cli/OptionCheck.h"
#include "tools/cli/PictureFile.h"
#include "tools/cli/ProgressBar.h"
#include "tools/cli/ServerOptions.h"
#include "tools/cli/TextOutput.h"
#include "tools/cli/VideoFileWriter.h"

namespace ambro::cli {

namespace {

using playback::PlaybackSession;

constexpr const char* kUsage =
    "usage: ambro-cli playback COMMAND HOST:PORT --user U [--password W | --password-file F]\n"
    "                          [--db dvr|video-server] [--json] ...\n"
    "       (or --host H --port P instead of HOST:PORT)\n"
    "  cameras                              the cameras of the recording database\n"
    "  days --camera N                      the recording days of camera N\n"
    "  files --camera N --day YYYYMMDD      the recordings of camera N on that day\n"
    "  export --camera N --day YYYYMMDD --time HH:MM:SS --out FILE.mkv|.mp4|.avi\n"
    "         [--from HH:MM:SS] [--to HH:MM:SS] [--codec NAME]\n"
    "                                       the recording that starts at that time,\n"
    "                                       or the part of it from/to those times, as\n"
    "                                       a video file, faster than real time\n"
    "The password may also come from AMBRO_PASSWORD; the server needs one.\n";

const CommandOptions kCommandOptions = {
    {"cameras", {}},
    {"days", {"camera"}},
    {"files", {"camera", "day"}},
    {"export", {"camera", "day", "time", "out", "from", "to", "codec"}},
};

const std::map<std::string, std::uint8_t> kDatabases = {{"dvr", 0}, {"video-server", 1}};

struct PlaybackRequest {
    std::string command;
    ServerOptions server;
    std::uint8_t database = 0;
    bool json = false;
    int camera = 0;
    std::optional<playback::RecordingDay> day;
    std::string time;
    std::optional<int> from;  // seconds of the day
    std::optional<int> to;
    std::string out;
    std::string codec = "mpeg4";
};

// A date written YYYYMMDD with a month and day that exist in some year.
std::optional<playback::RecordingDay> dayOption(const std::string& text) {
    if (text.size() != 8 || text.find_first_not_of("0123456789") != std::string::npos) {
        return std::nullopt;
    }
    const auto day = playback::recordingDayOf(static_cast<std::uint32_t>(std::stoul(text)));
    if (!day) return std::nullopt;
    const int month = std::stoi(day->month);
    const int dayOfMonth = std::stoi(day->day);
    if (month < 1 || month > 12 || dayOfMonth < 1 || dayOfMonth > 31) return std::nullopt;
    return day;
}

// A time of day written HH:MM:SS, as seconds of the day.
std::optional<int> secondsOfDay(const std::string& text) {
    if (text.size() != 8 || text[2] != ':' || text[5] != ':') return std::nullopt;
    for (const std::size_t i : {0u, 1u, 3u, 4u, 6u, 7u}) {
        if (text[i] < '0' || text[i] > '9') return std::nullopt;
    }
    const int hour = std::stoi(text.substr(0, 2));
    const int minute = std::stoi(text.substr(3, 2));
    const int second = std::stoi(text.substr(6, 2));
    if (hour > 23 || minute > 59 || second > 59) return std::nullopt;
    return (hour * 60 + minute) * 60 + second;
}

bool timeOption(OptionCheck& check, const std::string& name, bool required,
                std::optional<int>& seconds, std::string* text = nullptr) {
    std::string given;
    if (!check.text(name, required, given)) return false;
    if (given.empty()) return true;
    seconds = secondsOfDay(given);
    if (!seconds) return check.fail("--" + name + " must be a time written HH:MM:SS");
    if (text) *text = given;
    return true;
}

bool checkExport(OptionCheck& check, PlaybackRequest& request, std::ostream& err, int& status) {
    std::optional<int> start;
    if (!timeOption(check, "time", true, start, &request.time) ||
        !timeOption(check, "from", false, request.from) ||
        !timeOption(check, "to", false, request.to) || !check.text("out", true, request.out) ||
        !check.text("codec", false, request.codec)) {
        return false;
    }
    if (request.from && request.to && *request.to < *request.from) {
        return check.fail("--to must not come before --from");
    }
    if (!VideoFileWriter::knowsContainer(request.out)) {
        return check.fail("--out: no video container is known for the name " + request.out);
    }
    if (!VideoFileWriter::knowsEncoder(request.codec)) {
        return check.fail("--codec: the installed FFmpeg has no video encoder named " +
                          request.codec);
    }
    const auto folder = std::filesystem::absolute(request.out).parent_path();
    std::error_code error;
    if (!std::filesystem::is_directory(folder, error)) {
        status = kCannotWriteFile;
        err << "ambro-cli playback: cannot write " << request.out << ": no folder "
            << folder.string() << "\n";
        return false;
    }
    return true;
}

std::optional<PlaybackRequest> parseRequest(const std::vector<std::string>& words,
                                            std::ostream& err, int& status) {
    status = kUsageError;
    const CommandLine line(words, {"json"});
    OptionCheck check(line, "ambro-cli playback", kUsage, err);
    if (!line.valid()) {
        check.fail(line.error());
        return std::nullopt;
    }
    PlaybackRequest request;
    std::vector<std::string> common(std::begin(kServerOptionNames), std::end(kServerOptionNames));
    common.insert(common.end(), {"db", "json"});
    auto command = check.command(kCommandOptions, std::move(common));
    if (!command) return std::nullopt;
    request.command = std::move(*command);
    bool serverArgument = false;
    const auto server = readServerOptions(check, 1, serverArgument, false);
    if (!server) return std::nullopt;
    request.server = *server;
    const std::size_t arguments = serverArgument ? 2 : 1;
    if (line.arguments().size() > arguments) {
        check.fail("unexpected argument '" + line.arguments()[arguments] + "'");
        return std::nullopt;
    }
    if (request.server.password.empty()) {
        check.fail("a password is required (--password, --password-file or AMBRO_PASSWORD): "
                   "the server refuses an empty one");
        return std::nullopt;
    }
    if (!playback::encodeCredentials(request.server.user, request.server.password)) {
        check.fail("--user and --password together may hold at most 254 bytes");
        return std::nullopt;
    }
    const auto database = kDatabases.find(line.option("db").value_or("dvr"));
    if (database == kDatabases.end()) {
        check.fail("--db must be dvr or video-server");
        return std::nullopt;
    }
    request.database = database->second;
    request.json = line.hasSwitch("json");
    if (!check.number("camera", 1, 32, request.command != "cameras", request.camera)) {
        return std::nullopt;
    }
    if (request.command == "files" || request.command == "export") {
        std::string dayText;
        if (!check.text("day", true, dayText)) return std::nullopt;
        request.day = dayOption(dayText);
        if (!request.day) {
            check.fail("--day must be a date written YYYYMMDD");
            return std::nullopt;
        }
    }
    if (request.command == "export" && !checkExport(check, request, err, status)) {
        return std::nullopt;
    }
    status = kSuccess;
    return request;
}

// The system's message for a failed opening, then why in plain words.
std::string openingFailure(int status, const PlaybackRequest& request) {
    const std::string message(playback::openingFailureMessage(status));
    const std::string timeout =
        " (timed out after " + std::to_string(platform::replyTimeout().count()) + " ms)";
    switch (status) {
        case playback::opening::kNoSocket: return message + ": no socket could be made";
        case playback::opening::kUnknownHost: return message + ": cannot resolve " + request.server.host;
        case playback::opening::kConnectFailed:
            return message + ": cannot connect to " + request.server.server();
        case playback::opening::kWorkPathFailed:
            return message + ": " + request.server.server() +
                   " did not answer the work-path request in time" + timeout +
                   " or answered something else";
        case playback::opening::kServerTooOld:
            return message + ": the server's protocol version is older than 5";
        case playback::opening::kLoginFailed:
            return message + ": the server refused the user name or password";
        case playback::opening::kDatabaseFailed:
            return message + ": the server did not answer the camera requests" + timeout;
    }
    return message;
}

int listCameras(const PlaybackRequest& request, PlaybackSession& session, std::ostream& out) {
    const auto cameras = session.cameras();
    if (request.json) {
        out << "{\"cameras\":[";
        for (std::size_t i = 0; i < cameras.size(); ++i) {
            out << (i ? "," : "") << "{\"number\":" << cameras[i].number
                << ",\"name\":" << jsonText(cameras[i].name) << "}";
        }
        out << "]}\n";
        return kSuccess;
    }
    for (const auto& camera : cameras) {
        out << "camera " << camera.number << ": " << terminalText(camera.name) << "\n";
    }
    return kSuccess;
}

// Makes the requested camera the current one; kSuccess when it is.
int chooseCamera(const PlaybackRequest& request, PlaybackSession& session, std::ostream& err) {
    const auto cameras = session.cameras();
    const bool listed = std::any_of(cameras.begin(), cameras.end(), [&](const auto& camera) {
        return camera.number == request.camera;
    });
    if (!listed) {
        err << "camera " << request.camera << " is not in the camera list\n";
        return kOperationFailed;
    }
    if (!session.selectCamera(request.camera)) {
        err << "the recording days of camera " << request.camera << " could not be read from "
            << request.server.server() << (session.ended() ? ": Disconnected" : "") << "\n";
        return kOperationFailed;
    }
    return kSuccess;
}

int listDays(const PlaybackRequest& request, PlaybackSession& session, std::ostream& out,
             std::ostream& err) {
    if (const int status = chooseCamera(request, session, err); status != kSuccess) return status;
    const auto days = playback::buildDayTree(session.recordingDays()).days();
    std::vector<std::string> texts;
    for (const auto& day : days) texts.push_back(day.year + day.month + day.day);
    if (request.json) {
        out << "{\"camera\":" << request.camera << ",\"days\":" << jsonList(texts) << "}\n";
        return kSuccess;
    }
    for (const auto& text : texts) out << text << "\n";
    return kSuccess;
}

int listFiles(const PlaybackRequest& request, PlaybackSession& session, std::ostream& out,
              std::ostream& err) {
    if (const int status = chooseCamera(request, session, err); status != kSuccess) return status;
    const auto rows = session.chooseDay(*request.day);
    const std::string dayText = request.day->year + request.day->month + request.day->day;
    if (!rows) {
        err << "the recordings of " << dayText << " could not be read from " << request.server.server()
            << (session.ended() ? ": Disconnected" : "") << "\n";
        return kOperationFailed;
    }
    if (request.json) {
        out << "{\"camera\":" << request.camera << ",\"day\":\"" << dayText << "\",\"files\":[";
        for (std::size_t i = 0; i < rows->size(); ++i) {
            out << (i ? "," : "") << "{\"text\":" << jsonText((*rows)[i].text)
                << ",\"daylight\":" << ((*rows)[i].daylight ? "true" : "false") << "}";
        }
        out << "]}\n";
        return kSuccess;
    }
    for (const auto& row : *rows) out << terminalText(row.text) << "\n";
    return kSuccess;
}

}  // namespace

// The pictures of one recording, as the picture thread decodes them, into
// the video file: those between --from and --to, timed by their place in
// the file.
class Exporter : public playback::PlaybackObserver {
public:
    explicit Exporter(const PlaybackRequest& request)
        : request_(request), file_(request.out, request.codec) {}

    // Once the file is open: its times, and the frames to keep.
    void begin(const playback::FileInformation& file) {
        {
            std::lock_guard lock(mutex_);
            fileInformation_ = file;
            begun_ = true;
        }
        fileKnown_.notify_all();
    }
    // Pictures can be decoded before play() has returned and begin() has
    // given the file's times: the picture thread waits for them (bounded),
    // since a picture timed without them would be stamped wrongly.
    void pictureDecoded(const std::uint8_t* pixels, int width, int height, int frame) override {
        std::unique_lock lock(mutex_);
        fileKnown_.wait_for(lock, platform::replyTimeout(), [&] { return begun_; });
        if (!begun_ || done_ || file_.failed()) return;
        const auto time = playback::timeAtFrame(fileInformation_, frame);
        const int second = time ? (time->hour * 60 + time->minute) * 60 + time->second : 0;
        if (request_.from && second < *request_.from) return;
        if (request_.to && second > *request_.to) {
            done_ = true;
            return;
        }
        // File times count 100 ns; the server's times are whole milliseconds.
        const std::int64_t stamp = time ? time->toFileTime().value_or(0) : 0;
        (void)file_.add(pixels, static_cast<std::size_t>(width) * 3, width, height,
                        stamp / 10000);  // a picture of another size is left out
    }
    bool done() const {
        std::lock_guard lock(mutex_);
        return done_ || file_.failed();
    }
    int frames() const {
        std::lock_guard lock(mutex_);
        return file_.framesWritten();
    }
    // Once the session is closed: the file finished, or nothing left behind.
    int finish(const std::string& why, std::ostream& out, std::ostream& err) {
        std::lock_guard lock(mutex_);
        return file_.finish(why.empty(), "export", why, out, err);
    }

private:
    const PlaybackRequest& request_;
    mutable std::mutex mutex_;
    std::condition_variable fileKnown_;
    bool begun_ = false;
    playback::FileInformation fileInformation_;
    PictureFile file_;
    bool done_ = false;
};

// The frame where a time of day falls in the file, for the first seek.
std::optional<int> frameAt(const playback::FileInformation& file, int secondOfDay) {
    const auto first = file.firstTime.toFileTime();
    const auto last = file.lastTime.toFileTime();
    if (!first || !last || *last <= *first || file.frameCount == 0) return std::nullopt;
    platform::DateTime target = file.firstTime;
    target.hour = static_cast<std::uint16_t>(secondOfDay / 3600);
    target.minute = static_cast<std::uint16_t>(secondOfDay / 60 % 60);
    target.second = static_cast<std::uint16_t>(secondOfDay % 60);
    target.millisecond = 0;
    const auto at = target.toFileTime();
    if (!at || *at <= *first) return std::nullopt;
    const std::int64_t frame = (*at - *first) * file.frameCount / (*last - *first);
    return static_cast<int>(std::min<std::int64_t>(frame, file.frameCount));
}

// Plays the chosen recording as fast as the server answers, keeping every
// picture, until its end, --to, a broken connection or Ctrl-C.
int exportRecording(const PlaybackRequest& request, PlaybackSession& session, Exporter& exporter,
                    bool showProgress, std::ostream& out, std::ostream& err) {
    if (const int status = chooseCamera(request, session, err); status != kSuccess) return status;
    const auto rows = session.chooseDay(*request.day);
    const std::string dayText = request.day->year + request.day->month + request.day->day;
    if (!rows) {
        err << "the recordings of " << dayText << " could not be read from "
            << request.server.server() << "\n";
        return kOperationFailed;
    }
    const auto row = std::find_if(rows->begin(), rows->end(), [&](const auto& candidate) {
        return candidate.text.compare(0, request.time.size(), request.time) == 0;
    });
    if (row == rows->end()) {
        err << "camera " << request.camera << " has no recording at " << request.time << " on "
            << dayText << "\n";
        return kOperationFailed;
    }
    if (!session.chooseFile(*row) || session.play() != playback::PlayResult::Started) {
        err << "the recording at " << request.time << " could not be opened\n";
        session.close();
        return exporter.finish("the server did not open the file", out, err);
    }
    exporter.begin(session.fileInformation());
    if (request.from) {
        if (const auto frame = frameAt(session.fileInformation(), *request.from)) {
            (void)session.seek(*frame);
        }
    }
    // The frame after --to: the export ends there even when pictures do not
    // decode (and so never tell their time).
    int endFrame = session.totalFrames();
    if (request.to) {
        if (const auto frame = frameAt(session.fileInformation(), *request.to + 1)) {
            endFrame = std::min(endFrame, *frame + 1);
        }
    }
    ProgressBar progress(err, showProgress);
    std::string why;
    while (!exporter.done() && session.shownFrames() < endFrame) {
        if (session.pace() == playback::PaceResult::Finished) break;
        if (session.ended()) why = "Disconnected";
        if (interrupted()) why = "interrupted";
        if (!why.empty()) break;
        progress.update(session.shownFrames(), session.totalFrames());
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    if (why.empty() && session.ended() && session.shownFrames() < session.totalFrames() &&
        !exporter.done()) {
        why = "Disconnected";
    }
    progress.finish();
    // No picture reaches the exporter once the session's threads are joined.
    session.close();
    return exporter.finish(why, out, err);
}

const char* playbackUsage() { return kUsage; }

int runPlayback(const std::vector<std::string>& words, std::ostream& out, std::ostream& err,
                bool showProgress) {
    int parseStatus = kSuccess;
    const auto request = parseRequest(words, err, parseStatus);
    if (!request) return parseStatus;

    Exporter exporter(*request);
    playback::PlaybackSettings settings;
    settings.host = request->server.host;
    settings.port = request->server.port;
    settings.user = request->server.user;
    settings.password = request->server.password;
    settings.databaseType = request->database;
    settings.pacedPictures = request->command != "export";
    PlaybackSession session(settings, exporter);
    const int status = session.openNow();
    if (status != playback::opening::kOpen) {
        err << openingFailure(status, *request) << "\n";
        return status == playback::opening::kDatabaseFailed ? kOperationFailed
                                                            : kInputOrConnectionFailure;
    }
    if (request->command == "cameras") return listCameras(*request, session, out);
    if (request->command == "days") return listDays(*request, session, out, err);
    if (request->command == "files") return listFiles(*request, session, out, err);
    return exportRecording(*request, session, exporter, showProgress, out, err);
}

}  // namespace ambro::cli
