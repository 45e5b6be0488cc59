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
#include <thread>

#include "live/CameraListModel.h"
#include "live/LiveSession.h"
#include "media/SnapshotEncoder.h"
#include "net/ServerBlocks.h"
#include "platform/Deadline.h"
#include "tools/cli/CommandLine.h"
#include "tools/cli/ExitStatus.h"
#include "tools/cli/TextOutput.h"

namespace ambro::cli {

namespace {

using namespace std::chrono_literals;

constexpr const char* kUsage =
    "usage: ambro-cli live COMMAND --host H --port P [--user U] [--password W] ...\n"
    "  info [--json]                          the server, its cameras and I/O names\n"
    "  snapshot --camera N --out FILE [--timeout SEC]\n"
    "                                         a JPEG of camera N's first picture\n"
    "  ptz --camera N ACTION [--preset K] [--speed S]\n"
    "                                         one click of a dome button; ACTION is\n"
    "      left right up down zoom-in zoom-out focus-near focus-far home auto\n"
    "      auto-focus preset (K from 1 to 64, S from 1 to 5)\n"
    "  output --output N [--module M]         force output N: pulsed on a server of\n"
    "                                         the current generation (1-32), of\n"
    "                                         module M (1-8) on an older one (1-16)\n"
    "The password may come from AMBRO_PASSWORD; the user defaults to Guest.\n";

using ptz::DomeAction;

// A dome button by its name; none for "preset", which goes to --preset.
const std::map<std::string, std::optional<DomeAction>> kActions = {
    {"left", DomeAction::PanLeft},          {"right", DomeAction::PanRight},
    {"up", DomeAction::TiltUp},             {"down", DomeAction::TiltDown},
    {"zoom-in", DomeAction::ZoomIn},        {"zoom-out", DomeAction::ZoomOut},
    {"focus-near", DomeAction::FocusNear},  {"focus-far", DomeAction::FocusFar},
    {"home", DomeAction::Home},             {"auto", DomeAction::AutoMove},
    {"auto-focus", DomeAction::AutoFocus},  {"preset", std::nullopt},
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
    std::optional<DomeAction> action;
    int module = 1;
    int speed = 3;

    std::string server() const { return host + ":" + port; }
};

// The options each command takes beyond the connection's.
const std::map<std::string, std::vector<std::string>> kCommandOptions = {
    {"info", {"json"}},
    {"snapshot", {"camera", "out", "timeout"}},
    {"ptz", {"camera", "preset", "speed"}},
    {"output", {"output", "module"}},
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
        !readNumber(line, "preset", 1, 64, false, request.preset, err) ||
        !readNumber(line, "module", 1, 8, false, request.module, err) ||
        !readNumber(line, "speed", 1, 5, false, request.speed, err) ||
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

// Hears what the session reports and lets the command wait for it.
class SessionWatcher : public live::LiveSessionObserver {
public:
    void connectFailed(live::LiveFailure failure, const std::string& detail) override {
        update([&] {
            failure_ = std::string(live::liveFailureText(failure)) +
                       (detail.empty() ? "" : ": " + detail);
        });
    }
    void sessionReady(live::Generation) override { update([&] { ready_ = true; }); }
    void disconnected(const std::string& headline, const std::string& detail) override {
        update([&] {
            const std::string text = headline + (detail.empty() ? "" : ": " + detail);
            if (ready_) {
                ended_ = text;
            } else {
                failure_ = text;
            }
        });
    }
    void videoStopped() override {
        update([&] {
            if (ended_.empty()) ended_ = "the server sent video the client cannot follow";
        });
    }
    void pictureDecoded(const live::PictureView& picture) override {
        update([&] {
            const std::size_t row = static_cast<std::size_t>(picture.width) * 3;
            picture_.resize(row * static_cast<std::size_t>(picture.height));
            for (int y = 0; y < picture.height; ++y) {
                std::copy_n(picture.pixels + y * picture.stride, row, picture_.begin() + y * row);
            }
            width_ = picture.width;
            height_ = picture.height;
            ++pictures_;
        });
    }

    // True once the session is usable; false with `why` when it failed or
    // the wait ran out.
    bool waitForSession(std::chrono::milliseconds timeout, std::string& why) {
        std::unique_lock lock(mutex_);
        changed_.wait_for(lock, timeout, [&] { return ready_ || !failure_.empty(); });
        if (ready_) return true;
        why = failure_.empty() ? "Connected Failed: the server did not finish the log-in in time"
                               : failure_;
        return false;
    }
    int pictures() const {
        std::lock_guard lock(mutex_);
        return pictures_;
    }
    // Why no more pictures will come, if that is so.
    std::string ended() const {
        std::lock_guard lock(mutex_);
        return ended_;
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
    bool ready_ = false;
    std::string failure_;
    std::string ended_;
    std::vector<std::uint8_t> picture_;
    int width_ = 0;
    int height_ = 0;
    int pictures_ = 0;
};

// The cameras of either generation as (number, name) pairs.
std::vector<std::pair<int, std::string>> camerasOf(const live::CameraCatalogue& catalogue) {
    std::vector<std::pair<int, std::string>> cameras;
    if (catalogue.generation == live::Generation::Current) {
        for (std::size_t i = 0; i < catalogue.cameraNumbers.size(); ++i) {
            cameras.emplace_back(catalogue.cameraNumbers[i], catalogue.cameraNames[i]);
        }
        return cameras;
    }
    const auto list = live::CameraListModel::fromCameraTable(
        catalogue.cameraTable, catalogue.serverVersion, catalogue.viewWord);
    for (int position = 0; position < list.size(); ++position) {
        const auto& entry = list.entry(position);
        if (entry.camera >= 0) cameras.emplace_back(entry.camera + 1, entry.name);
    }
    return cameras;
}

std::vector<std::string> viewsOf(const live::CameraCatalogue& catalogue) {
    std::vector<std::string> views;
    for (const live::ViewKind view : live::kViewKinds) {
        if (live::viewWordHas(catalogue.viewWord, view)) views.emplace_back(live::viewName(view));
    }
    return views;
}

std::vector<std::string> namesOf(const std::array<std::string, live::IoModule::kNames>& names,
                                 int count) {
    return {names.begin(), names.begin() + std::clamp(count, 0, live::IoModule::kNames)};
}

void printJsonInfo(const live::CameraCatalogue& catalogue,
                   const std::vector<live::IoModule>& modules, std::ostream& out) {
    const bool older = catalogue.generation == live::Generation::Older;
    out << "{\"generation\":\"" << (older ? "older" : "current") << "\",";
    if (older) {
        out << "\"server_version\":" << catalogue.serverVersion << ",\"views\":"
            << jsonList(viewsOf(catalogue)) << ",";
    } else {
        out << "\"server_kind\":" << catalogue.serverKind << ",";
    }
    out << "\"cameras\":[";
    const auto cameras = camerasOf(catalogue);
    for (std::size_t i = 0; i < cameras.size(); ++i) {
        out << (i ? "," : "") << "{\"number\":" << cameras[i].first
            << ",\"name\":" << jsonText(cameras[i].second) << "}";
    }
    out << "]";
    if (older) {
        out << ",\"io_modules\":[";
        for (std::size_t m = 0; m < modules.size(); ++m) {
            out << (m ? "," : "") << "{\"module\":" << m + 1
                << ",\"inputs\":" << jsonList(namesOf(modules[m].inputNames, modules[m].inputCount))
                << ",\"outputs\":"
                << jsonList(namesOf(modules[m].outputNames, modules[m].outputCount)) << "}";
        }
        out << "]}\n";
        return;
    }
    const std::vector<std::string> none;
    out << ",\"io_inputs\":"
        << (modules.empty() ? jsonList(none)
                            : jsonList(namesOf(modules[0].inputNames, modules[0].inputCount)))
        << ",\"io_outputs\":"
        << (modules.empty() ? jsonList(none)
                            : jsonList(namesOf(modules[0].outputNames, modules[0].outputCount)))
        << "}\n";
}

int info(const LiveRequest& request, live::LiveSession& session, std::ostream& out,
         std::ostream& err) {
    const bool older = session.generation() == live::Generation::Older;
    if (older && !session.refreshCameraListNow()) {
        err << "the camera list could not be read from " << request.server() << "\n";
        return kOperationFailed;
    }
    if (!older) {
        // The status records come first on the video connection.
        for (int i = 0; i < 100 && !session.statusRecordReceived(0); ++i) {
            std::this_thread::sleep_for(20ms);
        }
    }
    const auto catalogue = session.catalogue();
    const auto modules = session.ioModules();
    if (request.json) {
        printJsonInfo(catalogue, modules, out);
        return kSuccess;
    }
    if (older) {
        out << "generation: older\nserver version: " << catalogue.serverVersion << "\n";
        for (const auto& view : viewsOf(catalogue)) out << "view: " << view << "\n";
    } else {
        out << "generation: current\nserver kind: " << catalogue.serverKind << "\n";
    }
    for (const auto& [number, name] : camerasOf(catalogue)) {
        out << "camera " << number << ": " << terminalText(name);
        if (!older && session.statusRecordReceived(number - 1)) out << " (status record received)";
        out << "\n";
    }
    if (modules.empty()) out << "no I/O module\n";
    for (std::size_t m = 0; m < modules.size(); ++m) {
        const std::string prefix = older ? "module " + std::to_string(m + 1) + " " : "";
        for (const auto& name : namesOf(modules[m].inputNames, modules[m].inputCount)) {
            out << prefix << "input: " << terminalText(name) << "\n";
        }
        for (const auto& name : namesOf(modules[m].outputNames, modules[m].outputCount)) {
            out << prefix << "output: " << terminalText(name) << "\n";
        }
    }
    return kSuccess;
}

// Reports why a camera could not be chosen; kSuccess when it was.
int selectCamera(const LiveRequest& request, live::LiveSession& session, std::ostream& err) {
    switch (session.selectCameraNow(request.camera - 1)) {
        case live::SelectResult::Selected: return kSuccess;
        case live::SelectResult::NotInList:
            err << "camera " << request.camera << " is not in the camera list\n";
            break;
        case live::SelectResult::Busy:
        case live::SelectResult::Failed:
            err << "camera " << request.camera << " could not be chosen: the request to "
                << request.server() << " failed\n";
            break;
    }
    return kOperationFailed;
}

int snapshot(const LiveRequest& request, live::LiveSession& session, SessionWatcher& watcher,
             std::ostream& err) {
    const int seen = watcher.pictures();
    if (const int status = selectCamera(request, session, err); status != kSuccess) return status;
    const auto deadline = platform::Deadline::after(std::chrono::seconds(request.timeoutSeconds));
    // Every waiting frame is decoded as it comes: no pacing without a screen.
    while (watcher.pictures() <= seen && watcher.ended().empty() && !deadline.expired()) {
        if (!session.displayTick(false)) std::this_thread::sleep_for(5ms);
    }
    if (watcher.pictures() <= seen) {
        const std::string ended = watcher.ended();
        err << (ended.empty() ? "no picture within " + std::to_string(request.timeoutSeconds) + " s"
                              : "no picture: " + ended)
            << "\n";
        return kOperationFailed;
    }
    int width = 0;
    int height = 0;
    const auto picture = watcher.picture(width, height);
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

int ptzCommand(const LiveRequest& request, live::LiveSession& session, std::ostream& err) {
    if (const int status = selectCamera(request, session, err); status != kSuccess) return status;
    const live::PtzResult result = request.action
                                       ? session.cameraActionNow(*request.action, request.speed)
                                       : session.goPresetNow(request.preset, request.speed);
    switch (result) {
        case live::PtzResult::Sent: return kSuccess;
        case live::PtzResult::NoDome: err << "camera " << request.camera << " has no dome\n"; break;
        case live::PtzResult::ProtocolUnavailable:
            err << "the dome protocol of camera " << request.camera << " cannot be loaded\n";
            break;
        case live::PtzResult::Unsupported:
            err << "the dome of camera " << request.camera << " has no command for this action\n";
            break;
        case live::PtzResult::NoCamera:
        case live::PtzResult::Busy:
        case live::PtzResult::Failed: err << "the command could not be sent\n"; break;
    }
    return kOperationFailed;
}

int outputCommand(const LiveRequest& request, live::LiveSession& session, std::ostream& err) {
    if (session.generation() == live::Generation::Older && request.output > 16) {
        err << "output " << request.output << " does not exist: modules have 16 outputs\n";
        return kOperationFailed;
    }
    if (!session.forceOutputNow(request.module, request.output)) {
        err << "output " << request.output << " could not be forced\n";
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

    SessionWatcher watcher;
    live::LiveSession session({{request->host, request->port}, request->user, request->password,
                               std::filesystem::temp_directory_path(), ptzDirectory},
                              watcher);
    session.start();
    std::string why;
    // Each step of the log-in has its own deadline; this only bounds them all.
    if (!watcher.waitForSession(platform::replyTimeout() * 20, why)) {
        err << why << "\n";
        return kInputOrConnectionFailure;
    }
    if (request->command == "info") return info(*request, session, out, err);
    if (request->command == "snapshot") return snapshot(*request, session, watcher, err);
    if (request->command == "ptz") return ptzCommand(*request, session, err);
    return outputCommand(*request, session, err);
}

}  // namespace ambro::cli
