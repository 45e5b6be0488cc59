#include "tools/cli/LiveCommand.h"

#include <algorithm>
#include <chrono>
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
#include "platform/Deadline.h"
#include "platform/NewFile.h"
#include "tools/cli/ExitStatus.h"
#include "tools/cli/Interrupt.h"
#include "tools/cli/OptionCheck.h"
#include "tools/cli/PictureFile.h"
#include "tools/cli/ServerOptions.h"
#include "tools/cli/SessionWatcher.h"
#include "tools/cli/TextOutput.h"
#include "tools/cli/VideoFileWriter.h"

namespace ambro::cli {

namespace {

using namespace std::chrono_literals;
using ptz::DomeAction;

constexpr const char* kUsage =
    "usage: ambro-cli live COMMAND HOST:PORT [--user U] [--password W | --password-file F] ...\n"
    "       (or --host H --port P instead of HOST:PORT)\n"
    "  info [--json]                        the server, its cameras, views and I/O names\n"
    "  snapshot --camera N --out FILE.jpg [--timeout SEC]\n"
    "  snapshot --all --out DIR [--timeout SEC]\n"
    "                                       a JPEG of the next picture of camera N,\n"
    "                                       or of every camera as DIR/camera-NN.jpg\n"
    "  record --camera N (--seconds S | --frames K) --out FILE.mkv|.mp4|.avi\n"
    "         [--codec NAME] [--timeout SEC]\n"
    "                                       the pictures as shown, privacy masks\n"
    "                                       filled, into a video file (MPEG-4 Part 2\n"
    "                                       at high quality unless NAME is given)\n"
    "  ptz --camera N ACTION [--preset K] [--speed S]\n"
    "                                       one click of a dome button; ACTION is left\n"
    "                                       right up down zoom-in zoom-out focus-near\n"
    "                                       focus-far home auto auto-focus preset\n"
    "                                       (K from 1 to 64, S from 1 to 5)\n"
    "  output --output N [--module M]       force output N: pulsed on a server of the\n"
    "                                       current generation (1-32), of module M\n"
    "                                       (1-8) on an older one (1-16)\n"
    "The user defaults to Guest; the password may also come from AMBRO_PASSWORD.\n";

// A dome button by its name; none for "preset", which goes to --preset.
const std::map<std::string, std::optional<DomeAction>> kActions = {
    {"left", DomeAction::PanLeft},          {"right", DomeAction::PanRight},
    {"up", DomeAction::TiltUp},             {"down", DomeAction::TiltDown},
    {"zoom-in", DomeAction::ZoomIn},        {"zoom-out", DomeAction::ZoomOut},
    {"focus-near", DomeAction::FocusNear},  {"focus-far", DomeAction::FocusFar},
    {"home", DomeAction::Home},             {"auto", DomeAction::AutoMove},
    {"auto-focus", DomeAction::AutoFocus},  {"preset", std::nullopt},
};

// The options each command takes beyond the server's.
const CommandOptions kCommandOptions = {
    {"info", {"json"}},
    {"snapshot", {"camera", "out", "timeout", "all"}},
    {"record", {"camera", "out", "timeout", "seconds", "frames", "codec"}},
    {"ptz", {"camera", "preset", "speed"}},
    {"output", {"output", "module"}},
};

// Everything a live command needs, checked before any connection is made.
struct LiveRequest {
    std::string command;
    ServerOptions server;
    bool json = false;
    bool allCameras = false;
    int camera = 0;
    int output = 0;
    int preset = 1;
    int timeoutSeconds = 10;
    int seconds = 0;
    int frames = 0;
    std::string out;
    std::string codec = "mpeg4";
    std::optional<DomeAction> action;
    int module = 1;
    int speed = 3;
};

bool checkFolderOf(const std::filesystem::path& file, std::ostream& err, int& status) {
    const auto folder = std::filesystem::absolute(file).parent_path();
    std::error_code error;
    if (std::filesystem::is_directory(folder, error)) return true;
    status = kCannotWriteFile;
    err << "ambro-cli live: cannot write " << file.string() << ": no folder " << folder.string()
        << "\n";
    return false;
}

bool checkCommandOptions(OptionCheck& check, LiveRequest& request, std::size_t firstArgument,
                         std::ostream& err, int& status) {
    const CommandLine& line = check.line();
    const bool oneCamera = request.command == "ptz" || request.command == "record" ||
                           (request.command == "snapshot" && !line.hasSwitch("all"));
    request.allCameras = line.hasSwitch("all");
    if (!check.number("camera", 1, 32, oneCamera, request.camera) ||
        !check.number("output", 1, 32, request.command == "output", request.output) ||
        !check.number("preset", 1, 64, false, request.preset) ||
        !check.number("module", 1, 8, false, request.module) ||
        !check.number("speed", 1, 5, false, request.speed) ||
        !check.number("timeout", 1, 3600, false, request.timeoutSeconds) ||
        !check.number("seconds", 1, 86400, false, request.seconds) ||
        !check.number("frames", 1, 10'000'000, false, request.frames) ||
        !check.text("codec", false, request.codec)) {
        return false;
    }
    if (request.allCameras && line.option("camera")) {
        return check.fail("--all and --camera cannot be given together");
    }
    const std::size_t actionArgument = firstArgument;
    if (request.command == "ptz") {
        if (line.arguments().size() <= actionArgument) return check.fail("ptz needs one ACTION");
        const auto action = kActions.find(line.arguments()[actionArgument]);
        if (action == kActions.end()) {
            return check.fail("unknown ptz ACTION '" + line.arguments()[actionArgument] + "'");
        }
        request.action = action->second;
    }
    const std::size_t wanted = actionArgument + (request.command == "ptz" ? 1 : 0);
    if (line.arguments().size() > wanted) {
        return check.fail("unexpected argument '" + line.arguments()[wanted] + "'");
    }
    if (request.command == "record") {
        if ((request.seconds > 0) == (request.frames > 0)) {
            return check.fail("record needs either --seconds or --frames");
        }
        if (!check.text("out", true, request.out)) return false;
        if (!VideoFileWriter::knowsContainer(request.out)) {
            return check.fail("--out: no video container is known for the name " + request.out);
        }
        if (!VideoFileWriter::knowsEncoder(request.codec)) {
            return check.fail("--codec: the installed FFmpeg has no video encoder named " +
                              request.codec);
        }
        return checkFolderOf(request.out, err, status);
    }
    if (request.command == "snapshot") {
        if (!check.text("out", true, request.out)) return false;
        if (request.allCameras) {
            std::error_code error;
            std::filesystem::create_directories(request.out, error);
            if (!std::filesystem::is_directory(request.out, error)) {
                status = kCannotWriteFile;
                err << "ambro-cli live: cannot write into " << request.out << "\n";
                return false;
            }
            return true;
        }
        return checkFolderOf(request.out, err, status);
    }
    return true;
}

std::optional<LiveRequest> parseRequest(const std::vector<std::string>& words, std::ostream& err,
                                        int& status) {
    status = kUsageError;
    const CommandLine line(words, {"json", "all"});
    OptionCheck check(line, "ambro-cli live", kUsage, err);
    if (!line.valid()) {
        check.fail(line.error());
        return std::nullopt;
    }
    LiveRequest request;
    auto command = check.command(
        kCommandOptions, {std::begin(kServerOptionNames), std::end(kServerOptionNames)});
    if (!command) return std::nullopt;
    request.command = std::move(*command);
    bool serverArgument = false;
    auto server = readServerOptions(check, 1, serverArgument, true);
    if (!server) return std::nullopt;
    request.server = *server;
    request.json = line.hasSwitch("json");
    if (!checkCommandOptions(check, request, serverArgument ? 2 : 1, err, status)) {
        return std::nullopt;
    }
    status = kSuccess;
    return request;
}

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
        out << "\"server_version\":" << catalogue.serverVersion
            << ",\"views\":" << jsonList(viewsOf(catalogue)) << ",";
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
            out << (m ? "," : "") << "{\"module\":" << m + 1 << ",\"inputs\":"
                << jsonList(namesOf(modules[m].inputNames, modules[m].inputCount))
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

// The camera list as the server has it now (the older generation is asked).
std::optional<live::CameraCatalogue> readCatalogue(const LiveRequest& request,
                                                   live::LiveSession& session, std::ostream& err) {
    if (session.generation() == live::Generation::Older && !session.refreshCameraListNow()) {
        err << "the camera list could not be read from " << request.server.server() << "\n";
        return std::nullopt;
    }
    return session.catalogue();
}

int info(const LiveRequest& request, live::LiveSession& session, std::ostream& out,
         std::ostream& err) {
    const bool older = session.generation() == live::Generation::Older;
    const auto catalogue = readCatalogue(request, session, err);
    if (!catalogue) return kOperationFailed;
    if (!older) {
        // The status records come first on the video connection.
        for (int i = 0; i < 100 && !session.statusRecordReceived(0); ++i) {
            std::this_thread::sleep_for(20ms);
        }
    }
    const auto modules = session.ioModules();
    if (request.json) {
        printJsonInfo(*catalogue, modules, out);
        return kSuccess;
    }
    if (older) {
        out << "generation: older\nserver version: " << catalogue->serverVersion << "\n";
        for (const auto& view : viewsOf(*catalogue)) out << "view: " << view << "\n";
    } else {
        out << "generation: current\nserver kind: " << catalogue->serverKind << "\n";
    }
    for (const auto& [number, name] : camerasOf(*catalogue)) {
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
int selectCamera(int camera, const LiveRequest& request, live::LiveSession& session,
                 std::ostream& err) {
    switch (session.selectCameraNow(camera - 1)) {
        case live::SelectResult::Selected: return kSuccess;
        case live::SelectResult::NotInList:
            err << "camera " << camera << " is not in the camera list\n";
            break;
        case live::SelectResult::Busy:
        case live::SelectResult::Failed:
            err << "camera " << camera << " could not be chosen: the request to "
                << request.server.server() << " failed\n";
            break;
    }
    return kOperationFailed;
}

// Decodes what comes, without pacing, until `done` or the video ends, the
// time runs out or the user interrupts. Why it stopped when not done.
std::string pumpUntil(live::LiveSession& session, SessionWatcher& watcher,
                      std::chrono::milliseconds timeout, const std::function<bool()>& done) {
    const auto deadline = platform::Deadline::after(timeout);
    while (!done()) {
        if (!watcher.ended().empty()) return watcher.ended();
        if (interrupted()) return "interrupted";
        if (deadline.expired()) return "no picture within " + std::to_string(timeout.count() / 1000) + " s";
        if (!session.displayTick(false)) std::this_thread::sleep_for(5ms);
    }
    return {};
}

int writeSnapshot(const std::vector<std::uint8_t>& picture, int width, int height,
                  const std::string& file, std::ostream& err) {
    media::SnapshotEncoder encoder(100);
    std::vector<std::uint8_t> jpeg(media::SnapshotEncoder::worstCaseSize(width, height));
    std::size_t size = 0;
    if (!encoder.encodePicture(picture.data(), media::SnapshotEncoder::tightStride(width),
                               jpeg.data(), jpeg.size(), width, height, size)) {
        err << "the picture could not be encoded\n";
        return kOperationFailed;
    }
    std::string error;
    if (!platform::replaceFile(file, {jpeg.data(), size}, error)) {
        err << error << "\n";
        return kCannotWriteFile;
    }
    return kSuccess;
}

int snapshotOf(int camera, const std::string& file, const LiveRequest& request,
               live::LiveSession& session, SessionWatcher& watcher, std::ostream& err) {
    if (const int status = selectCamera(camera, request, session, err); status != kSuccess) {
        return status;
    }
    // Pictures of the camera shown before may still be under way while it
    // is being chosen: only those after its choice count.
    const int seen = watcher.pictures();
    const std::string why = pumpUntil(session, watcher, std::chrono::seconds(request.timeoutSeconds),
                                      [&] { return watcher.pictures() > seen; });
    if (!why.empty()) {
        err << "camera " << camera << ": no picture: " << why << "\n";
        return interrupted() ? kInterrupted : kOperationFailed;
    }
    int width = 0;
    int height = 0;
    const auto picture = watcher.picture(width, height);
    return writeSnapshot(picture, width, height, file, err);
}

int snapshot(const LiveRequest& request, live::LiveSession& session, SessionWatcher& watcher,
             std::ostream& out, std::ostream& err) {
    if (!request.allCameras) {
        return snapshotOf(request.camera, request.out, request, session, watcher, err);
    }
    const auto catalogue = readCatalogue(request, session, err);
    if (!catalogue) return kOperationFailed;
    int worst = kSuccess;
    for (const auto& [number, name] : camerasOf(*catalogue)) {
        char fileName[32];
        std::snprintf(fileName, sizeof fileName, "camera-%02d.jpg", number);
        const std::string file = (std::filesystem::path(request.out) / fileName).string();
        const int status = snapshotOf(number, file, request, session, watcher, err);
        if (status == kSuccess) out << file << "\n";
        if (status == kInterrupted) return status;
        worst = std::max(worst, status);
    }
    return worst;
}

// Encodes every decoded picture of the camera into the video file, on the
// thread that decodes it. Pictures of another size than the first (the
// server changed it) are left out.
class Recorder {
public:
    explicit Recorder(const LiveRequest& request)
        : request_(request), file_(request.out, request.codec) {}

    void take(const live::PictureView& picture) {
        std::lock_guard lock(mutex_);
        if (done_ || file_.failed()) return;
        const auto first = file_.firstTimeMs();
        if (first && request_.seconds > 0 && picture.timeMs - *first >= request_.seconds * 1000LL) {
            done_ = true;
            return;
        }
        if (!file_.add(picture.pixels, picture.stride, picture.width, picture.height,
                       picture.timeMs)) {
            return;
        }
        done_ = request_.frames > 0 && file_.framesWritten() >= request_.frames;
    }
    bool done() const {
        std::lock_guard lock(mutex_);
        return done_ || file_.failed();
    }
    // Once the session is closed: the file finished, or nothing left behind.
    int finish(const std::string& why, std::ostream& out, std::ostream& err) {
        std::lock_guard lock(mutex_);
        return file_.finish(done_, "recording", why, out, err);
    }

private:
    const LiveRequest& request_;
    mutable std::mutex mutex_;
    PictureFile file_;
    bool done_ = false;
};

int record(const LiveRequest& request, live::LiveSession& session, SessionWatcher& watcher,
           std::ostream& out, std::ostream& err) {
    Recorder recorder(request);
    watcher.setSink([&recorder](const live::PictureView& picture) { recorder.take(picture); });
    std::string why;
    if (const int status = selectCamera(request.camera, request, session, err); status != kSuccess) {
        watcher.setSink(nullptr);
        return status;
    }
    // Room for the stream to come, then for as long as the recording asks.
    const auto wanted = request.seconds > 0 ? std::chrono::seconds(request.seconds)
                                            : std::chrono::seconds(request.frames / 2 + 1);
    why = pumpUntil(session, watcher, std::chrono::seconds(request.timeoutSeconds) + wanted,
                    [&] { return recorder.done(); });
    // No picture reaches the recorder once the session's threads are joined.
    session.close();
    watcher.setSink(nullptr);
    return recorder.finish(why, out, err);
}

int ptzCommand(const LiveRequest& request, live::LiveSession& session, std::ostream& err) {
    if (const int status = selectCamera(request.camera, request, session, err); status != kSuccess) {
        return status;
    }
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

const char* liveUsage() { return kUsage; }

int runLive(const std::vector<std::string>& words, const std::string& ptzDirectory,
            std::ostream& out, std::ostream& err) {
    int status = kSuccess;
    const auto request = parseRequest(words, err, status);
    if (!request) return status;

    SessionWatcher watcher;
    live::LiveSession session({{request->server.host, request->server.port}, request->server.user,
                               request->server.password, std::filesystem::temp_directory_path(),
                               ptzDirectory},
                              watcher);
    session.start();
    std::string why;
    // Each step of the log-in has its own deadline; this only bounds them all.
    if (!watcher.waitForSession(platform::replyTimeout() * 20, why)) {
        err << why << "\n";
        return kInputOrConnectionFailure;
    }
    if (request->command == "info") return info(*request, session, out, err);
    if (request->command == "snapshot") return snapshot(*request, session, watcher, out, err);
    if (request->command == "record") return record(*request, session, watcher, out, err);
    if (request->command == "ptz") return ptzCommand(*request, session, err);
    return outputCommand(*request, session, err);
}

}  // namespace ambro::cli
