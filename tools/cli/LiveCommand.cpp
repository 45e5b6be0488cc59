#include "tools/cli/LiveCommand.h"

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <mutex>
#include <ostream>
#include <sstream>

#include "live/CurrentGenerationSession.h"
#include "media/SnapshotEncoder.h"
#include "net/ServerBlocks.h"
#include "tools/cli/CommandLine.h"
#include "tools/cli/ExitStatus.h"

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

// Keeps the latest picture and counts them, for the commands that wait.
class PictureCollector : public live::LiveSessionObserver {
public:
    void pictureReady(const std::uint8_t* picture, int width, int height) override {
        {
            std::lock_guard lock(mutex_);
            picture_.assign(picture, picture + static_cast<std::size_t>(width) * height * 3);
            width_ = width;
            height_ = height;
            ++count_;
        }
        changed_.notify_all();
    }
    void cameraStatusReceived(int) override {
        {
            std::lock_guard lock(mutex_);
            ++statusRecords_;
        }
        changed_.notify_all();
    }

    int count() const {
        std::lock_guard lock(mutex_);
        return count_;
    }
    // Waits until a picture newer than `seen` has come.
    bool waitForPictureAfter(int seen, std::chrono::milliseconds timeout) {
        std::unique_lock lock(mutex_);
        return changed_.wait_for(lock, timeout, [&] { return count_ > seen; });
    }
    void waitForStatusRecord(std::chrono::milliseconds timeout) {
        std::unique_lock lock(mutex_);
        changed_.wait_for(lock, timeout, [&] { return statusRecords_ > 0; });
    }
    std::vector<std::uint8_t> picture(int& width, int& height) const {
        std::lock_guard lock(mutex_);
        width = width_;
        height = height_;
        return picture_;
    }

private:
    mutable std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<std::uint8_t> picture_;
    int width_ = 0;
    int height_ = 0;
    int count_ = 0;
    int statusRecords_ = 0;
};

std::string jsonText(const std::string& text) {
    std::string quoted = "\"";
    for (unsigned char c : text) {
        if (c == '"' || c == '\\') {
            quoted += '\\';
            quoted += static_cast<char>(c);
        } else if (c < 0x20 || c >= 0x7F) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\u%04x", c);
            quoted += escaped;
        } else {
            quoted += static_cast<char>(c);
        }
    }
    return quoted + "\"";
}

std::string jsonList(const std::vector<std::string>& texts) {
    std::string list = "[";
    for (std::size_t i = 0; i < texts.size(); ++i) list += (i ? "," : "") + jsonText(texts[i]);
    return list + "]";
}

// Why a connection failed, in the client's own words.
std::string connectFailure(const net::LiveConnection& connection) {
    const auto& greeting = connection.greeting();
    if (greeting && (*greeting)[0] == net::kRefusingGreeting) return "Too Many Users";
    if (greeting && (*greeting)[0] == net::kOlderGenerationGreeting) {
        return "Connected Failed: the server is of the older generation, which this command "
               "does not support yet";
    }
    return "Connected Failed";
}

int info(const CommandLine& line, live::CurrentGenerationSession& session,
         PictureCollector& collector, std::ostream& out) {
    collector.waitForStatusRecord(2s);
    const net::LiveConnection& connection = session.connection();
    const int kind = net::serverKindOf(connection.serverDescription());
    const auto& cameras = connection.cameraList().cameras;
    const auto& io = connection.ioNames();
    if (line.hasSwitch("json")) {
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
        out << "camera " << camera.number << ": " << camera.name;
        if (session.statusRecordReceived(camera.number - 1)) out << " (status record received)";
        out << "\n";
    }
    if (!io.present) out << "no I/O module\n";
    for (const auto& name : io.inputNames) out << "input: " << name << "\n";
    for (const auto& name : io.outputNames) out << "output: " << name << "\n";
    return kSuccess;
}

int snapshot(const CommandLine& line, live::CurrentGenerationSession& session,
             PictureCollector& collector, std::ostream& err) {
    const auto camera = line.number("camera", 1, 32);
    const auto file = line.option("out");
    const auto timeout = line.option("timeout") ? line.number("timeout", 1, 3600) : 10L;
    if (!camera || !file || !timeout) {
        err << kUsage;
        return kUsageError;
    }
    const int seen = collector.count();
    if (!session.selectCamera(static_cast<std::size_t>(*camera - 1))) {
        err << "camera " << *camera << " is not in the camera list\n";
        return kOperationFailed;
    }
    if (!collector.waitForPictureAfter(seen, std::chrono::seconds(*timeout))) {
        err << "no picture within " << *timeout << " s\n";
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
    std::ofstream output(*file, std::ios::binary);
    output.write(reinterpret_cast<const char*>(jpeg.data()), static_cast<std::streamsize>(size));
    if (!output) {
        err << "cannot write " << *file << "\n";
        return kCannotWriteFile;
    }
    return kSuccess;
}

int ptzCommand(const CommandLine& line, live::CurrentGenerationSession& session,
               std::ostream& err) {
    const auto camera = line.number("camera", 1, 32);
    const auto action = line.arguments().size() == 2 ? kActions.find(line.arguments()[1])
                                                     : kActions.end();
    const auto preset = line.option("preset") ? line.number("preset", 1, 256) : 1L;
    if (!camera || action == kActions.end() || !preset) {
        err << kUsage;
        return kUsageError;
    }
    if (!session.selectCamera(static_cast<std::size_t>(*camera - 1))) {
        err << "camera " << *camera << " is not in the camera list\n";
        return kOperationFailed;
    }
    switch (session.cameraAction(action->second, static_cast<int>(*preset))) {
        case PtzResult::Sent: return kSuccess;
        case PtzResult::NoDome: err << "camera " << *camera << " has no dome\n"; break;
        case PtzResult::ProtocolUnavailable:
            err << "the dome protocol of camera " << *camera << " cannot be loaded\n";
            break;
        case PtzResult::Unsupported:
            err << "the dome of camera " << *camera << " has no command for "
                << action->first << "\n";
            break;
        case PtzResult::NoCamera:
        case PtzResult::Busy:
        case PtzResult::Failed: err << "the command could not be sent\n"; break;
    }
    return kOperationFailed;
}

int outputCommand(const CommandLine& line, live::CurrentGenerationSession& session,
                  std::ostream& err) {
    const auto output = line.number("output", 1, 32);
    if (!output) {
        err << kUsage;
        return kUsageError;
    }
    if (!session.pulseOutput(static_cast<int>(*output))) {
        err << "output " << *output << " could not be pulsed\n";
        return kOperationFailed;
    }
    return kSuccess;
}

}  // namespace

int runLive(const std::vector<std::string>& words, const std::string& ptzDirectory,
            std::ostream& out, std::ostream& err) {
    const CommandLine line(words, {"json"});
    const auto host = line.option("host");
    const auto port = line.option("port");
    const std::string command = line.arguments().empty() ? "" : line.arguments()[0];
    const bool known =
        command == "info" || command == "snapshot" || command == "ptz" || command == "output";
    if (!line.valid() || !host || !port || !known) {
        err << (line.valid() ? "" : line.error() + "\n") << kUsage;
        return kUsageError;
    }
    const std::string user = line.option("user").value_or("Guest");
    std::string password = line.option("password").value_or("");
    if (!line.option("password")) {
        if (const char* fromEnvironment = std::getenv("AMBRO_PASSWORD")) password = fromEnvironment;
    }
    if (user == "Guest") password.clear();

    PictureCollector collector;
    live::CurrentGenerationSession session({*host, *port}, user, password, collector,
                                           ptzDirectory);
    if (!session.connect()) {
        err << connectFailure(session.connection()) << "\n";
        return kInputOrConnectionFailure;
    }
    if (command == "info") return info(line, session, collector, out);
    if (command == "snapshot") return snapshot(line, session, collector, err);
    if (command == "ptz") return ptzCommand(line, session, err);
    return outputCommand(line, session, err);
}

}  // namespace ambro::cli
