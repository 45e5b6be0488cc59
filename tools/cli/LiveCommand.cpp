#include "tools/cli/LiveCommand.h"

#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <mutex>
#include <optional>
#include <ostream>

#include "live/CurrentGenerationSession.h"
#include "media/SnapshotEncoder.h"
#include "net/ServerBlocks.h"
#include "platform/Deadline.h"
#include "tools/cli/CommandLine.h"
#include "tools/cli/ExitStatus.h"
#include "tools/cli/TextOutput.h"

namespace ambro::cli {

namespace {

using namespace std::chrono_literals;
using live::CameraAction;
using live::PtzResult;

constexpr const char* kUsage =
    "usage: ambro-cli live COMMAND --host H --port P [--user U] [--password W] ...\n"
    "  info [--json]                          the server, its cameras and I/O names\n"
    "  snapshot --camera N --out FILE [--timeout SEC]\n"
    "                                         a JPEG of camera N's first picture\n"
    "  ptz --camera N ACTION [--preset K]     one click of a dome button; ACTION is\n"
    "      left right up down zoom-in zoom-out focus-near focus-far home auto\n"
    "      auto-focus preset\n"
    "  output --output N                      pulse output N (1-32)\n"
    "The password may come from AMBRO_PASSWORD; the user defaults to Guest.\n";

const std::map<std::string, CameraAction> kActions = {
    {"left", CameraAction::Left},           {"right", CameraAction::Right},
    {"up", CameraAction::Up},               {"down", CameraAction::Down},
    {"zoom-in", CameraAction::ZoomIn},      {"zoom-out", CameraAction::ZoomOut},
    {"focus-near", CameraAction::FocusNear}, {"focus-far", CameraAction::FocusFar},
    {"home", CameraAction::Home},           {"auto", CameraAction::AutoMove},
    {"auto-focus", CameraAction::AutoFocus}, {"preset", CameraAction::GoPreset},
};

// Everything a live command needs, checked before any connection is made.
struct LiveRequest {
    std::string command;
    std::string host;
    std::string port;
    std::string user = "Guest";
    std::string password;
    bool json = false;
    int camera = 0;
    int output = 0;
    int preset = 1;
    int timeoutSeconds = 10;
    std::string outFile;
    CameraAction action = CameraAction::Left;

    std::string server() const { return host + ":" + port; }
};

// The options each command takes beyond the connection's.
const std::map<std::string, std::vector<std::string>> kCommandOptions = {
    {"info", {"json"}},
    {"snapshot", {"camera", "out", "timeout"}},
    {"ptz", {"camera", "preset"}},
    {"output", {"output"}},
};

std::nullopt_t usageError(std::ostream& err, const std::string& message) {
    err << "ambro-cli live: " << message << "\n" << kUsage;
    return std::nullopt;
}

// Reads a required or optional number option into `value`.
bool readNumber(const CommandLine& line, const std::string& name, long minimum, long maximum,
                bool required, int& value, std::ostream& err) {
    if (!line.option(name)) {
        if (required) usageError(err, "--" + name + " is required");
        return !required;
    }
    const auto number = line.number(name, minimum, maximum);
    if (!number) {
        usageError(err, "--" + name + " must be a whole number from " + std::to_string(minimum) +
                            " to " + std::to_string(maximum));
        return false;
    }
    value = static_cast<int>(*number);
    return true;
}

std::optional<LiveRequest> parseRequest(const std::vector<std::string>& words, std::ostream& err,
                                        int& status) {
    status = kUsageError;
    const CommandLine line(words, {"json"});
    LiveRequest request;
    if (!line.valid()) return usageError(err, line.error());
    request.command = line.arguments().empty() ? "" : line.arguments()[0];
    const auto commandOptions = kCommandOptions.find(request.command);
    if (commandOptions == kCommandOptions.end()) {
        return usageError(err, request.command.empty()
                                   ? "a command is required"
                                   : "unknown command '" + request.command + "'");
    }
    std::vector<std::string> known = {"host", "port", "user", "password"};
    known.insert(known.end(), commandOptions->second.begin(), commandOptions->second.end());
    if (const auto unknown = line.unknownOption(known)) {
        return usageError(err, "unknown option --" + *unknown);
    }
    const std::size_t wantedArguments = request.command == "ptz" ? 2 : 1;
    if (line.arguments().size() != wantedArguments) {
        return usageError(err, request.command == "ptz"
                                   ? "ptz needs one ACTION"
                                   : "unexpected argument '" + line.arguments().back() + "'");
    }

    request.host = line.option("host").value_or("");
    if (request.host.empty()) return usageError(err, "--host is required");
    int port = 0;
    if (!readNumber(line, "port", 1, 65535, true, port, err)) return std::nullopt;
    request.port = std::to_string(port);
    request.user = line.option("user").value_or("Guest");
    if (const auto password = line.option("password")) {
        request.password = *password;
    } else if (const char* fromEnvironment = std::getenv("AMBRO_PASSWORD")) {
        request.password = fromEnvironment;
    }
    if (request.user == "Guest") request.password.clear();
    request.json = line.hasSwitch("json");

    const bool needsCamera = request.command == "snapshot" || request.command == "ptz";
    if (!readNumber(line, "camera", 1, 32, needsCamera, request.camera, err) ||
        !readNumber(line, "output", 1, 32, request.command == "output", request.output, err) ||
        !readNumber(line, "preset", 1, 256, false, request.preset, err) ||
        !readNumber(line, "timeout", 1, 3600, false, request.timeoutSeconds, err)) {
        return std::nullopt;
    }
    if (request.command == "ptz") {
        const auto action = kActions.find(line.arguments()[1]);
        if (action == kActions.end()) {
            return usageError(err, "unknown ptz ACTION '" + line.arguments()[1] + "'");
        }
        request.action = action->second;
    }
    if (request.command == "snapshot") {
        request.outFile = line.option("out").value_or("");
        if (request.outFile.empty()) return usageError(err, "--out is required");
        const auto folder = std::filesystem::absolute(request.outFile).parent_path();
        std::error_code error;
        if (!std::filesystem::is_directory(folder, error)) {
            status = kCannotWriteFile;
            err << "ambro-cli live: cannot write " << request.outFile << ": no folder "
                << folder.string() << "\n";
            return std::nullopt;
        }
    }
    status = kSuccess;
    return request;
}

// Why a connection failed: the system's own text, then why in plain words.
std::string connectFailure(net::ConnectOutcome outcome, const std::string& server) {
    switch (outcome) {
        case net::ConnectOutcome::TooManyUsers: return "Too Many Users";
        case net::ConnectOutcome::LoginRefused:
            return "Connected Failed: the server refused the user name or password";
        case net::ConnectOutcome::TimedOut:
            return "Connected Failed: " + server + " did not answer in time (timed out after " +
                   std::to_string(platform::replyTimeout().count()) + " ms)";
        case net::ConnectOutcome::ConnectFailed:
            return "Connected Failed: cannot connect to " + server;
        case net::ConnectOutcome::OlderGeneration:
            return "Connected Failed: the server is of the older generation, which this command "
                   "does not support yet";
        case net::ConnectOutcome::Accepted:
        case net::ConnectOutcome::Failed:
        case net::ConnectOutcome::Interrupted: break;
    }
    return "Connected Failed: the connection to " + server + " broke during the log-in";
}

// Keeps the latest picture and counts them, for the commands that wait.
class PictureCollector : public live::LiveSessionObserver {
public:
    void pictureReady(const std::uint8_t* picture, int width, int height) override {
        update([&] {
            picture_.assign(picture, picture + static_cast<std::size_t>(width) * height * 3);
            width_ = width;
            height_ = height;
            ++count_;
        });
    }
    void cameraStatusReceived(int) override { update([&] { ++statusRecords_; }); }
    void disconnected() override { update([&] { videoEnded_ = "the server closed the video connection"; }); }
    void videoStopped() override {
        update([&] {
            if (videoEnded_.empty()) videoEnded_ = "the server sent video the client cannot follow";
        });
    }

    int count() const {
        std::lock_guard lock(mutex_);
        return count_;
    }
    // Waits until a picture newer than `seen` has come; false when the time
    // ran out or the video ended first (`why` then says which).
    bool waitForPictureAfter(int seen, std::chrono::seconds timeout, std::string& why) {
        std::unique_lock lock(mutex_);
        changed_.wait_for(lock, timeout, [&] { return count_ > seen || !videoEnded_.empty(); });
        if (count_ > seen) return true;
        why = videoEnded_.empty() ? "no picture within " + std::to_string(timeout.count()) + " s"
                                  : "no picture: " + videoEnded_;
        return false;
    }
    void waitForStatusRecord(std::chrono::milliseconds timeout) {
        std::unique_lock lock(mutex_);
        changed_.wait_for(lock, timeout, [&] { return statusRecords_ > 0 || !videoEnded_.empty(); });
    }
    std::vector<std::uint8_t> picture(int& width, int& height) const {
        std::lock_guard lock(mutex_);
        width = width_;
        height = height_;
        return picture_;
    }

private:
    template <typename Change>
    void update(Change change) {
        {
            std::lock_guard lock(mutex_);
            change();
        }
        changed_.notify_all();
    }

    mutable std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<std::uint8_t> picture_;
    int width_ = 0;
    int height_ = 0;
    int count_ = 0;
    int statusRecords_ = 0;
    std::string videoEnded_;
};

int info(const LiveRequest& request, live::CurrentGenerationSession& session,
         PictureCollector& collector, std::ostream& out) {
    collector.waitForStatusRecord(2s);
    const net::LiveConnection& connection = session.connection();
    const int kind = net::serverKindOf(connection.serverDescription());
    const auto& cameras = connection.cameraList().cameras;
    const auto& io = connection.ioNames();
    if (request.json) {
        out << "{\"generation\":\"current\",\"server_kind\":" << kind << ",\"cameras\":[";
        for (std::size_t i = 0; i < cameras.size(); ++i) {
            out << (i ? "," : "") << "{\"number\":" << cameras[i].number
                << ",\"name\":" << jsonText(cameras[i].name) << "}";
        }
        out << "],\"io_inputs\":" << jsonList(io.inputNames)
            << ",\"io_outputs\":" << jsonList(io.outputNames) << "}\n";
        return kSuccess;
    }
    out << "generation: current\nserver kind: " << kind << "\n";
    for (const auto& camera : cameras) {
        out << "camera " << camera.number << ": " << terminalText(camera.name);
        if (session.statusRecordReceived(camera.number - 1)) out << " (status record received)";
        out << "\n";
    }
    if (!io.present) out << "no I/O module\n";
    for (const auto& name : io.inputNames) out << "input: " << terminalText(name) << "\n";
    for (const auto& name : io.outputNames) out << "output: " << terminalText(name) << "\n";
    return kSuccess;
}

// Reports why a camera could not be chosen; kSuccess when it was.
int selectCamera(const LiveRequest& request, live::CurrentGenerationSession& session,
                 std::ostream& err) {
    using Result = live::CurrentGenerationSession::SelectResult;
    switch (session.selectCamera(static_cast<std::size_t>(request.camera - 1))) {
        case Result::Selected: return kSuccess;
        case Result::NotInList:
            err << "camera " << request.camera << " is not in the camera list\n";
            break;
        case Result::Busy:
        case Result::Failed:
            err << "camera " << request.camera << " could not be chosen: the request to "
                << request.server() << " failed\n";
            break;
    }
    return kOperationFailed;
}

int snapshot(const LiveRequest& request, live::CurrentGenerationSession& session,
             PictureCollector& collector, std::ostream& err) {
    const int seen = collector.count();
    if (const int status = selectCamera(request, session, err); status != kSuccess) return status;
    std::string why;
    if (!collector.waitForPictureAfter(seen, std::chrono::seconds(request.timeoutSeconds), why)) {
        err << why << "\n";
        return kOperationFailed;
    }
    int width = 0;
    int height = 0;
    const auto picture = collector.picture(width, height);
    media::SnapshotEncoder encoder(100);
    std::vector<std::uint8_t> jpeg(media::SnapshotEncoder::worstCaseSize(width, height));
    std::size_t size = 0;
    if (!encoder.encodePicture(picture.data(), media::SnapshotEncoder::tightStride(width),
                               jpeg.data(), jpeg.size(), width, height, size)) {
        err << "the picture could not be encoded\n";
        return kOperationFailed;
    }
    std::ofstream output(request.outFile, std::ios::binary);
    output.write(reinterpret_cast<const char*>(jpeg.data()), static_cast<std::streamsize>(size));
    if (!output) {
        err << "cannot write " << request.outFile << "\n";
        return kCannotWriteFile;
    }
    return kSuccess;
}

int ptzCommand(const LiveRequest& request, live::CurrentGenerationSession& session,
               std::ostream& err) {
    if (const int status = selectCamera(request, session, err); status != kSuccess) return status;
    switch (session.cameraAction(request.action, request.preset)) {
        case PtzResult::Sent: return kSuccess;
        case PtzResult::NoDome: err << "camera " << request.camera << " has no dome\n"; break;
        case PtzResult::ProtocolUnavailable:
            err << "the dome protocol of camera " << request.camera << " cannot be loaded\n";
            break;
        case PtzResult::Unsupported:
            err << "the dome of camera " << request.camera << " has no command for this action\n";
            break;
        case PtzResult::NoCamera:
        case PtzResult::Busy:
        case PtzResult::Failed: err << "the command could not be sent\n"; break;
    }
    return kOperationFailed;
}

int outputCommand(const LiveRequest& request, live::CurrentGenerationSession& session,
                  std::ostream& err) {
    if (!session.pulseOutput(request.output)) {
        err << "output " << request.output << " could not be pulsed\n";
        return kOperationFailed;
    }
    return kSuccess;
}

}  // namespace

int runLive(const std::vector<std::string>& words, const std::string& ptzDirectory,
            std::ostream& out, std::ostream& err) {
    int status = kSuccess;
    const auto request = parseRequest(words, err, status);
    if (!request) return status;

    PictureCollector collector;
    live::CurrentGenerationSession session({request->host, request->port}, request->user,
                                           request->password, collector, ptzDirectory);
    const net::ConnectOutcome outcome = session.connect();
    if (outcome != net::ConnectOutcome::Accepted) {
        err << connectFailure(outcome, request->server()) << "\n";
        return kInputOrConnectionFailure;
    }
    if (request->command == "info") return info(*request, session, collector, out);
    if (request->command == "snapshot") return snapshot(*request, session, collector, err);
    if (request->command == "ptz") return ptzCommand(*request, session, err);
    return outputCommand(*request, session, err);
}

}  // namespace ambro::cli
