// What ambro-sim costs: the time from starting the program to its first
// accepted log-in, and the processor time of the simulator's process while
// clients watch (one CIF camera, every camera at once, an older-generation
// 4 x 4 view, a recorded file). Prints one line per figure.
//
// usage: sim_load [SECONDS]   (default 10 per load)
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <functional>
#include <memory>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "net/LiveConnection.h"
#include "net/StreamIo.h"
#include "tests/sim/OlderClient.h"
#include "tests/sim/PlaybackClient.h"

extern char** environ;

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
using ambro::test::Bytes;

struct Ports {
    int current = 0;
    int older = 0;
    int playback = 0;
};

int portIn(const std::string& json, const std::string& name) {
    const std::string key = "\"" + name + "\": ";
    const auto at = json.find(key);
    return at == std::string::npos ? 0 : std::atoi(json.c_str() + at + key.size());
}

class SimProcess {
public:
    SimProcess() {
        portFile_ = "/tmp/sim_load_ports_" + std::to_string(::getpid()) + ".json";
        std::remove(portFile_.c_str());
        std::vector<std::string> words = {AMBRO_SIM_PROGRAM, "--live-current", "0", "--live-older", "0",
                                          "--playback", "0", "--port-file", portFile_};
        std::vector<char*> argv;
        for (auto& word : words) argv.push_back(word.data());
        argv.push_back(nullptr);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
        posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
        started_ = Clock::now();
        posix_spawn(&pid_, argv[0], &actions, nullptr, argv.data(), environ);
        posix_spawn_file_actions_destroy(&actions);
    }
    ~SimProcess() {
        ::kill(pid_, SIGTERM);
        ::waitpid(pid_, nullptr, 0);
        std::remove(portFile_.c_str());
    }
    Clock::time_point started() const { return started_; }

    Ports ports() {
        const auto deadline = Clock::now() + 10s;
        while (Clock::now() < deadline) {
            std::ifstream file(portFile_);
            std::stringstream text;
            text << file.rdbuf();
            const std::string json = text.str();
            const Ports ports{portIn(json, "live_current"), portIn(json, "live_older"),
                              portIn(json, "playback")};
            if (ports.current && ports.older && ports.playback) return ports;
            std::this_thread::sleep_for(1ms);
        }
        return {};
    }

    // User and system time of the process so far, in seconds.
    double cpuSeconds() const {
        std::ifstream file("/proc/" + std::to_string(pid_) + "/stat");
        std::string text((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
        std::istringstream fields(text.substr(text.rfind(')') + 2));
        std::string field;
        long ticks = 0;
        for (int index = 3; index <= 15 && fields >> field; ++index) {
            if (index == 14 || index == 15) ticks += std::stol(field);
        }
        return static_cast<double>(ticks) / static_cast<double>(sysconf(_SC_CLK_TCK));
    }

private:
    pid_t pid_ = -1;
    std::string portFile_;
    Clock::time_point started_;
};

// A current-generation viewer: logs in, chooses a camera and drains its
// video connection without decoding.
class LiveViewer {
public:
    LiveViewer(int port, int camera)
        : connection_({"127.0.0.1", std::to_string(port)}, "admin", "1234") {
        if (connection_.connectSession() != ambro::net::ConnectOutcome::Accepted) return;
        if (!connection_.requestVideoChannels(1u << (camera - 1))) return;
        reader_ = std::thread([this] {
            std::vector<std::uint8_t> buffer(65536);
            while (ambro::net::receiveExactly(connection_.videoSocket(), buffer.data(), 4096) ==
                   ambro::net::IoResult::Done) {
                bytes_ += 4096;
            }
        });
    }
    ~LiveViewer() {
        connection_.interrupt();
        if (reader_.joinable()) reader_.join();
        connection_.closeSockets();
    }
    long bytes() const { return bytes_.load(); }

private:
    ambro::net::LiveConnection connection_;
    std::thread reader_;
    std::atomic<long> bytes_{0};
};

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

void measureStartup() {
    std::vector<double> times;
    for (int run = 0; run < 5; ++run) {
        SimProcess sim;
        const Ports ports = sim.ports();
        while (Clock::now() - sim.started() < 10s) {
            ambro::net::LiveConnection connection({"127.0.0.1", std::to_string(ports.current)}, "admin", "1234");
            // The whole handshake: its log-in and the session behind it.
            if (connection.connectSession() == ambro::net::ConnectOutcome::Accepted) {
                times.push_back(std::chrono::duration<double, std::milli>(Clock::now() - sim.started()).count());
                connection.interrupt();
                connection.closeSockets();
                break;
            }
            connection.closeSockets();
            std::this_thread::sleep_for(1ms);
        }
    }
    std::printf("start to first accepted session: median %.1f ms, slowest %.1f ms (5 runs)\n",
                median(times), *std::max_element(times.begin(), times.end()));
}

void measureLoad(const char* name, int seconds, const std::function<std::function<long()>(const Ports&)>& start) {
    SimProcess sim;
    const Ports ports = sim.ports();
    const auto bytesSoFar = start(ports);
    std::this_thread::sleep_for(2s);  // past the key pictures and panorama drawing
    const double cpuBefore = sim.cpuSeconds();
    const long bytesBefore = bytesSoFar();
    const auto before = Clock::now();
    std::this_thread::sleep_for(std::chrono::seconds(seconds));
    const double wall = std::chrono::duration<double>(Clock::now() - before).count();
    const double cpu = sim.cpuSeconds() - cpuBefore;
    std::printf("%-52s %5.1f %% of one core, %6.0f kB/s sent\n", name, 100.0 * cpu / wall,
                static_cast<double>(bytesSoFar() - bytesBefore) / wall / 1000.0);
}

}  // namespace

int main(int argc, char* argv[]) {
    const int seconds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 10;
    measureStartup();

    std::vector<std::unique_ptr<LiveViewer>> viewers;
    measureLoad("one client watching one CIF camera at 25/s", seconds, [&](const Ports& ports) {
        viewers.push_back(std::make_unique<LiveViewer>(ports.current, 1));
        return std::function<long()>([&] { return viewers[0]->bytes(); });
    });
    viewers.clear();
    measureLoad("eight clients, each watching another camera", seconds, [&](const Ports& ports) {
        for (int camera = 1; camera <= 8; ++camera) {
            viewers.push_back(std::make_unique<LiveViewer>(ports.current, camera));
        }
        return std::function<long()>([&] {
            long total = 0;
            for (const auto& viewer : viewers) total += viewer->bytes();
            return total;
        });
    });
    viewers.clear();

    std::unique_ptr<ambro::test::OlderClient> older;
    std::atomic<long> olderBytes{0};
    std::thread olderReader;
    measureLoad("older generation, 4 x 4 view at 320 x 240", seconds, [&](const Ports& ports) {
        older = std::make_unique<ambro::test::OlderClient>(static_cast<std::uint16_t>(ports.older));
        older->openControl("admin", "1234");
        older->logIn("admin", "1234");
        older->request(14, ambro::test::OlderClient::word(34));
        older->request(26, ambro::test::OlderClient::word(0));
        older->send(36);
        olderReader = std::thread([&] {
            while (auto picture = older->receivePicture()) olderBytes += static_cast<long>(picture->payload.size());
        });
        return std::function<long()>([&] { return olderBytes.load(); });
    });
    olderReader.join();  // the simulator has stopped: the stream ended
    return 0;
}
