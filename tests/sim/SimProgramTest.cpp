// The ambro-sim program as a script runs it: a child process on free ports.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <cctype>
#include <sstream>
#include <thread>

#include "net/LiveConnection.h"
#include "tools/sim/Listener.h"

extern char** environ;

namespace ambro::test {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

// One ambro-sim process; killed if a test leaves it running.
class SimProcess {
public:
    explicit SimProcess(std::vector<std::string> arguments) {
        const std::string prefix = "ambro-sim-test-" + std::to_string(::getpid()) + "-" +
                                   std::to_string(counter_++);
        output_ = fs::temp_directory_path() / (prefix + ".out");
        errors_ = fs::temp_directory_path() / (prefix + ".err");
        std::vector<std::string> words = {AMBRO_SIM_PROGRAM};
        words.insert(words.end(), arguments.begin(), arguments.end());
        std::vector<char*> argv;
        for (auto& word : words) argv.push_back(word.data());
        argv.push_back(nullptr);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 1, output_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        posix_spawn_file_actions_addopen(&actions, 2, errors_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        if (posix_spawn(&pid_, argv[0], &actions, nullptr, argv.data(), environ) != 0) pid_ = -1;
        posix_spawn_file_actions_destroy(&actions);
    }
    ~SimProcess() {
        if (pid_ > 0 && !exited_) {
            ::kill(pid_, SIGKILL);
            ::waitpid(pid_, nullptr, 0);
        }
        fs::remove(output_);
        fs::remove(errors_);
    }

    bool started() const { return pid_ > 0; }
    void signal(int number) { ::kill(pid_, number); }
    // The exit status, or none when the process has not ended in time.
    std::optional<int> exitWithin(std::chrono::milliseconds timeout) {
        const auto deadline = std::chrono::steady_clock::now() + timeout;
        while (std::chrono::steady_clock::now() < deadline) {
            int status = 0;
            if (::waitpid(pid_, &status, WNOHANG) == pid_) {
                exited_ = true;
                return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
            }
            std::this_thread::sleep_for(10ms);
        }
        return std::nullopt;
    }
    std::string output() const { return read(output_); }
    std::string errors() const { return read(errors_); }

private:
    static std::string read(const fs::path& path) {
        std::ifstream file(path);
        std::stringstream text;
        text << file.rdbuf();
        return text.str();
    }

    static inline int counter_ = 0;
    pid_t pid_ = -1;
    bool exited_ = false;
    fs::path output_;
    fs::path errors_;
};

std::optional<int> portIn(const std::string& json, const std::string& name) {
    const std::string key = "\"" + name + "\": ";
    const auto at = json.find(key);
    if (at == std::string::npos || !std::isdigit(static_cast<unsigned char>(json[at + key.size()]))) {
        return std::nullopt;
    }
    return std::stoi(json.substr(at + key.size()));
}

std::string waitForFile(const fs::path& path, std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (std::chrono::steady_clock::now() < deadline) {
        std::ifstream file(path);
        std::stringstream text;
        text << file.rdbuf();
        if (!text.str().empty()) return text.str();
        std::this_thread::sleep_for(10ms);
    }
    return "";
}

TEST(SimProgram, ServesOnThePortsOfItsPortFileAndStopsOnSigterm) {
    const fs::path portFile = fs::temp_directory_path() / ("ambro-sim-ports-" + std::to_string(::getpid()) + ".json");
    fs::remove(portFile);
    SimProcess sim({"--live-current", "0", "--live-older", "0", "--playback", "0", "--port-file",
                    portFile.string()});
    ASSERT_TRUE(sim.started());
    const std::string json = waitForFile(portFile, 10s);
    fs::remove(portFile);
    const auto current = portIn(json, "live_current");
    ASSERT_TRUE(current) << json;
    EXPECT_TRUE(portIn(json, "live_older") && portIn(json, "older_control") &&
                portIn(json, "older_data") && portIn(json, "playback"))
        << json;

    net::LiveConnection connection({"127.0.0.1", std::to_string(*current)}, "admin", "1234");
    EXPECT_EQ(connection.connectSession(), net::ConnectOutcome::Accepted);
    EXPECT_NE(sim.output().find("live-current 127.0.0.1:" + std::to_string(*current)), std::string::npos)
        << sim.output();

    sim.signal(SIGTERM);  // with a client still connected
    EXPECT_EQ(sim.exitWithin(10s), 0) << sim.errors();
    connection.interrupt();
    connection.closeSockets();
}

TEST(SimProgram, RefusesAnUnknownOptionWithItsUsage) {
    SimProcess sim({"--frobnicate"});
    ASSERT_TRUE(sim.started());
    EXPECT_EQ(sim.exitWithin(10s), 1);
    EXPECT_NE(sim.errors().find("usage: ambro-sim"), std::string::npos);
}

TEST(SimProgram, SaysSoWhenAPortIsTaken) {
    std::string error;
    const auto taken = sim::Listener::open("127.0.0.1", 0, error);
    ASSERT_TRUE(taken) << error;
    SimProcess sim({"--live-current", std::to_string(taken->port()), "--live-older", "off", "--playback", "off"});
    ASSERT_TRUE(sim.started());
    EXPECT_EQ(sim.exitWithin(10s), 2);
    EXPECT_NE(sim.errors().find("cannot listen"), std::string::npos) << sim.errors();
}

}  // namespace
}  // namespace ambro::test
