#include "tools/sim/SimOptions.h"

#include "tools/sim/CameraCatalogue.h"

#include <charconv>
#include <functional>
#include <map>

namespace ambro::sim {

namespace {

std::optional<int> numberIn(const std::string& text, int low, int high) {
    int value = 0;
    const auto [end, problem] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (problem != std::errc() || end != text.data() + text.size()) return std::nullopt;
    if (value < low || value > high) return std::nullopt;
    return value;
}

// "off" switches a server off; otherwise a port, 0 for any free one.
bool readPort(const std::string& text, std::optional<int>& port) {
    if (text == "off") {
        port.reset();
        return true;
    }
    const auto value = numberIn(text, 0, 65535);
    if (value) port = value;
    return value.has_value();
}

using Setter = std::function<bool(SimOptions&, const std::string&, std::string&)>;

struct Credentials {
    std::optional<std::string> usersFile;
    std::optional<std::string> user;
    std::optional<std::string> password;
};

std::map<std::string, Setter> valueOptions(Credentials& credentials) {
    return {
        {"--live-current", [](SimOptions& o, const std::string& v, std::string&) {
             return readPort(v, o.liveCurrentPort); }},
        {"--live-older", [](SimOptions& o, const std::string& v, std::string&) {
             return readPort(v, o.liveOlderPort); }},
        {"--playback", [](SimOptions& o, const std::string& v, std::string&) {
             return readPort(v, o.playbackPort); }},
        {"--bind", [](SimOptions& o, const std::string& v, std::string&) {
             o.bindAddress = v;
             return !v.empty(); }},
        {"--cameras", [](SimOptions& o, const std::string& v, std::string&) {
             const auto n = numberIn(v, 1, SimOptions::kMaxCameras);
             if (n) o.cameras = *n;
             return n.has_value(); }},
        {"--live-size", [](SimOptions& o, const std::string& v, std::string&) {
             const auto code = numberIn(v, 0, 255);
             if (code && ImageSizeCode::ofCode(*code)) o.liveSizeCode = *code;
             return code && ImageSizeCode::ofCode(*code); }},
        {"--days", [](SimOptions& o, const std::string& v, std::string&) {
             const auto n = numberIn(v, 1, 60);
             if (n) o.recordingDays = *n;
             return n.has_value(); }},
        {"--recording-size", [](SimOptions& o, const std::string& v, std::string&) {
             if (v != "cif" && v != "d1") return false;
             o.recordingSize = v == "d1" ? RecordingSize::D1 : RecordingSize::Cif;
             return true; }},
        {"--fault", [](SimOptions& o, const std::string& v, std::string& error) {
             const auto kind = FaultPlan::kindOf(v);
             if (kind) o.faults.add(*kind);
             else error = "unknown fault kind " + v;
             return kind.has_value(); }},
        {"--port-file", [](SimOptions& o, const std::string& v, std::string&) {
             o.portFile = v;
             return !v.empty(); }},
        {"--users", [&credentials](SimOptions&, const std::string& v, std::string&) {
             credentials.usersFile = v;
             return true; }},
        {"--user", [&credentials](SimOptions&, const std::string& v, std::string&) {
             credentials.user = v;
             return !v.empty(); }},
        {"--password", [&credentials](SimOptions&, const std::string& v, std::string&) {
             credentials.password = v;
             return true; }},
    };
}

bool applyCredentials(const Credentials& credentials, SimOptions& options, std::string& error) {
    if (credentials.usersFile) {
        if (credentials.user || credentials.password) {
            error = "--users cannot be combined with --user or --password";
            return false;
        }
        auto table = UserTable::fromFile(*credentials.usersFile, error);
        if (!table) return false;
        options.users = std::move(*table);
        return true;
    }
    options.users = UserTable(credentials.user.value_or("admin"),
                              credentials.password.value_or("1234"));
    return true;
}

}  // namespace

std::optional<SimOptions> SimOptions::parse(const std::vector<std::string>& words,
                                            std::string& error) {
    SimOptions options;
    Credentials credentials;
    const auto setters = valueOptions(credentials);
    for (std::size_t i = 0; i < words.size(); ++i) {
        const std::string& word = words[i];
        if (word == "--help" || word == "-h") {
            options.help = true;
            continue;
        }
        if (word == "--verbose") {
            options.verbose = true;
            continue;
        }
        const auto setter = setters.find(word);
        if (setter == setters.end()) {
            error = "unknown option " + word;
            return std::nullopt;
        }
        if (i + 1 == words.size()) {
            error = word + " needs a value";
            return std::nullopt;
        }
        const std::string& value = words[++i];
        if (!setter->second(options, value, error)) {
            if (error.empty()) error = "bad value for " + word + ": " + value;
            return std::nullopt;
        }
    }
    if (!applyCredentials(credentials, options, error)) return std::nullopt;
    return options;
}

std::string SimOptions::usage() {
    std::string faults;
    for (const auto& name : FaultPlan::allNames()) faults += (faults.empty() ? "" : ", ") + name;
    return "usage: ambro-sim [options]\n"
           "  --live-current PORT   current-generation live server (default 17860)\n"
           "  --live-older PORT     older-generation live server (default 17870)\n"
           "  --playback PORT       playback server (default 17880)\n"
           "                        PORT 0 takes any free port, \"off\" leaves the server out\n"
           "  --bind ADDRESS        address to listen on (default 127.0.0.1)\n"
           "  --users FILE          accounts, one user:password per line\n"
           "  --user U --password W the only account (default admin / 1234)\n"
           "  --cameras N           number of cameras, 1 to 32 (default 8)\n"
           "  --live-size CODE      current-generation picture size code: 2 (160x120),\n"
           "                        4 (320x240), 21 (176x144), 22 (176x112), 23 (352x240),\n"
           "                        24 (352x288, default)\n"
           "  --days N              recorded days per camera (default 3)\n"
           "  --recording-size cif|d1  picture size of recorded files (default cif)\n"
           "  --fault KIND          misbehave on purpose; repeatable. KIND is one of\n"
           "                        " + faults + "\n"
           "  --port-file FILE      write the ports as JSON once the servers listen\n"
           "  --verbose             log protocol detail on standard error\n";
}

}  // namespace ambro::sim
