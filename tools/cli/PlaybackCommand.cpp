#include "tools/cli/PlaybackCommand.h"

#include <algorithm>
#include <cstdlib>
#include <map>
#include <optional>
#include <ostream>

#include "platform/Deadline.h"
#include "playback/DayTree.h"
#include "playback/PlaybackSession.h"
#include "tools/cli/CommandLine.h"
#include "tools/cli/ExitStatus.h"
#include "tools/cli/TextOutput.h"

namespace ambro::cli {

namespace {

using playback::PlaybackSession;

constexpr const char* kUsage =
    "usage: ambro-cli playback COMMAND --host H --port P --user U [--password W]\n"
    "                          [--db dvr|video-server] [--json] ...\n"
    "  cameras                              the cameras of the recording database\n"
    "  days --camera N                      the recording days of camera N\n"
    "  files --camera N --day YYYYMMDD      the recordings of camera N on that day\n"
    "The password may come from AMBRO_PASSWORD; the server needs one.\n";

const std::map<std::string, std::vector<std::string>> kCommandOptions = {
    {"cameras", {}},
    {"days", {"camera"}},
    {"files", {"camera", "day"}},
};

const std::map<std::string, std::uint8_t> kDatabases = {{"dvr", 0}, {"video-server", 1}};

struct PlaybackRequest {
    std::string command;
    std::string host;
    std::string port;
    std::string user;
    std::string password;
    std::uint8_t database = 0;
    bool json = false;
    int camera = 0;
    std::optional<playback::RecordingDay> day;

    std::string server() const { return host + ":" + port; }
};

std::nullopt_t usageError(std::ostream& err, const std::string& message) {
    err << "ambro-cli playback: " << message << "\n" << kUsage;
    return std::nullopt;
}

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

std::optional<PlaybackRequest> parseRequest(const std::vector<std::string>& words,
                                            std::ostream& err) {
    const CommandLine line(words, {"json"});
    if (!line.valid()) return usageError(err, line.error());
    PlaybackRequest request;
    request.command = line.arguments().empty() ? "" : line.arguments()[0];
    const auto commandOptions = kCommandOptions.find(request.command);
    if (commandOptions == kCommandOptions.end()) {
        return usageError(err, request.command.empty()
                                   ? "a command is required"
                                   : "unknown command '" + request.command + "'");
    }
    std::vector<std::string> known = {"host", "port", "user", "password", "db", "json"};
    known.insert(known.end(), commandOptions->second.begin(), commandOptions->second.end());
    if (const auto unknown = line.unknownOption(known)) {
        return usageError(err, "unknown option --" + *unknown);
    }
    if (line.arguments().size() > 1) {
        return usageError(err, "unexpected argument '" + line.arguments()[1] + "'");
    }

    request.host = line.option("host").value_or("");
    if (request.host.empty()) return usageError(err, "--host is required");
    if (!line.option("port")) return usageError(err, "--port is required");
    const auto port = line.number("port", 1, 65535);
    if (!port) return usageError(err, "--port must be a whole number from 1 to 65535");
    request.port = std::to_string(*port);
    request.user = line.option("user").value_or("");
    if (request.user.empty()) return usageError(err, "--user is required");
    if (const auto password = line.option("password")) {
        request.password = *password;
    } else if (const char* fromEnvironment = std::getenv("AMBRO_PASSWORD")) {
        request.password = fromEnvironment;
    }
    if (request.password.empty()) {
        return usageError(err, "--password (or AMBRO_PASSWORD) is required: the server refuses "
                               "an empty password");
    }
    if (!playback::encodeCredentials(request.user, request.password)) {
        return usageError(err, "--user and --password together may hold at most 254 bytes");
    }
    const auto database = kDatabases.find(line.option("db").value_or("dvr"));
    if (database == kDatabases.end()) return usageError(err, "--db must be dvr or video-server");
    request.database = database->second;
    request.json = line.hasSwitch("json");

    if (request.command != "cameras") {
        if (!line.option("camera")) return usageError(err, "--camera is required");
        const auto camera = line.number("camera", 1, 32);
        if (!camera) return usageError(err, "--camera must be a whole number from 1 to 32");
        request.camera = static_cast<int>(*camera);
    }
    if (request.command == "files") {
        if (!line.option("day")) return usageError(err, "--day is required");
        request.day = dayOption(*line.option("day"));
        if (!request.day) return usageError(err, "--day must be a date written YYYYMMDD");
    }
    return request;
}

// The system's message for a failed opening, then why in plain words.
std::string openingFailure(int status, const PlaybackRequest& request) {
    const std::string message(playback::openingFailureMessage(status));
    const std::string timeout =
        " (timed out after " + std::to_string(platform::replyTimeout().count()) + " ms)";
    switch (status) {
        case playback::opening::kNoSocket: return message + ": no socket could be made";
        case playback::opening::kUnknownHost: return message + ": cannot resolve " + request.host;
        case playback::opening::kConnectFailed:
            return message + ": cannot connect to " + request.server();
        case playback::opening::kWorkPathFailed:
            return message + ": " + request.server() +
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
            << request.server() << (session.ended() ? ": Disconnected" : "") << "\n";
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
        err << "the recordings of " << dayText << " could not be read from " << request.server()
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

const char* playbackUsage() { return kUsage; }

int runPlayback(const std::vector<std::string>& words, std::ostream& out, std::ostream& err) {
    const auto request = parseRequest(words, err);
    if (!request) return kUsageError;

    playback::PlaybackObserver quiet;
    playback::PlaybackSettings settings;
    settings.host = request->host;
    settings.port = request->port;
    settings.user = request->user;
    settings.password = request->password;
    settings.databaseType = request->database;
    PlaybackSession session(settings, quiet);
    const int status = session.openNow();
    if (status != playback::opening::kOpen) {
        err << openingFailure(status, *request) << "\n";
        return status == playback::opening::kDatabaseFailed ? kOperationFailed
                                                            : kInputOrConnectionFailure;
    }
    if (request->command == "cameras") return listCameras(*request, session, out);
    if (request->command == "days") return listDays(*request, session, out, err);
    return listFiles(*request, session, out, err);
}

}  // namespace ambro::cli
