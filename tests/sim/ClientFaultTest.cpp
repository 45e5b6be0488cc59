// Every fault of the simulated installation against the headless client, on
// each server: the client ends with the message and exit status its rules
// give, within a bound, and nothing is left running.
#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <sstream>

#include "platform/Deadline.h"
#include "tests/sim/SimHarness.h"
#include "tools/cli/LiveCommand.h"
#include "tools/cli/PlaybackCommand.h"
#include "tools/sim/LocalTime.h"

namespace ambro::test {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using sim::FaultKind;

enum class Server { Current, Older, Playback };

struct ClientFaultCase {
    const char* name;
    FaultKind fault;
    Server server;
    int status;           // the exit status; -1: 0 or 3, as random bytes may decode
    const char* message;  // a part of standard error; empty: nothing to look for
};

void PrintTo(const ClientFaultCase& c, std::ostream* out) { *out << c.name; }

// The commands that meet each fault: a snapshot needs pictures, an export
// needs frames; everything else shows itself at the log-in.
bool needsPictures(FaultKind fault) {
    return fault == FaultKind::CloseMidMessage || fault == FaultKind::Garbage;
}

const ClientFaultCase kCases[] = {
    {"CurrentRefusedLogin", FaultKind::RefusedLogin, Server::Current, 2,
     "Connected Failed: the server refused the user name or password"},
    {"CurrentTooManyUsers", FaultKind::TooManyUsers, Server::Current, 2, "Too Many Users"},
    {"CurrentClientRejected", FaultKind::ClientRejected, Server::Current, 0, ""},
    {"CurrentBadMagic", FaultKind::BadMagic, Server::Current, 2, "Connected Failed"},
    {"CurrentAbsurdLength", FaultKind::AbsurdLength, Server::Current, 2, "Connected Failed"},
    {"CurrentCloseMidMessage", FaultKind::CloseMidMessage, Server::Current, 3, "no picture"},
    {"CurrentSilence", FaultKind::Silence, Server::Current, 2, "timed out"},
    {"CurrentGarbage", FaultKind::Garbage, Server::Current, -1, ""},
    {"CurrentSlowLink", FaultKind::SlowLink, Server::Current, 0, ""},
    {"OlderRefusedLogin", FaultKind::RefusedLogin, Server::Older, 2, "Connected Failed"},
    {"OlderTooManyUsers", FaultKind::TooManyUsers, Server::Older, 2, "Too Many Users"},
    {"OlderClientRejected", FaultKind::ClientRejected, Server::Older, 2,
     "Server Reject Ambro Client"},
    {"OlderBadMagic", FaultKind::BadMagic, Server::Older, 2, "Connected Failed"},
    {"OlderAbsurdLength", FaultKind::AbsurdLength, Server::Older, 2, "Connected Failed"},
    {"OlderCloseMidMessage", FaultKind::CloseMidMessage, Server::Older, 3, "no picture"},
    {"OlderSilence", FaultKind::Silence, Server::Older, 2, "timed out"},
    {"OlderGarbage", FaultKind::Garbage, Server::Older, -1, ""},
    {"OlderSlowLink", FaultKind::SlowLink, Server::Older, 0, ""},
    {"PlaybackRefusedLogin", FaultKind::RefusedLogin, Server::Playback, 2, "Login Failed"},
    {"PlaybackTooManyUsers", FaultKind::TooManyUsers, Server::Playback, 0, ""},
    {"PlaybackClientRejected", FaultKind::ClientRejected, Server::Playback, 2,
     "Server Version Error"},
    {"PlaybackBadMagic", FaultKind::BadMagic, Server::Playback, 2, "Send WorkPath Error"},
    {"PlaybackAbsurdLength", FaultKind::AbsurdLength, Server::Playback, 2,
     "Send WorkPath Error"},
    {"PlaybackCloseMidMessage", FaultKind::CloseMidMessage, Server::Playback, 3,
     "Disconnected"},
    {"PlaybackSilence", FaultKind::Silence, Server::Playback, 2, "timed out"},
    {"PlaybackGarbage", FaultKind::Garbage, Server::Playback, -1, ""},
    {"PlaybackSlowLink", FaultKind::SlowLink, Server::Playback, 0, ""},
};

class ClientFaults : public testing::TestWithParam<ClientFaultCase> {
protected:
    // A trickled camera list takes longer than a short step would allow.
    void SetUp() override {
        platform::setReplyTimeout(GetParam().fault == FaultKind::SlowLink ? 5000ms : kStepTimeout);
    }
    void TearDown() override {
        platform::setReplyTimeout(platform::kDefaultReplyTimeout);
        fs::remove_all(folder);
    }

    int run(SimHarness& sim, std::ostringstream& out, std::ostringstream& err) {
        const auto& c = GetParam();
        const std::vector<std::string> account = {"--user", "admin", "--password", "1234"};
        const auto with = [&](std::vector<std::string> words, std::uint16_t port) {
            words.insert(words.begin() + 1, "127.0.0.1:" + std::to_string(port));
            words.insert(words.end(), account.begin(), account.end());
            return words;
        };
        if (c.server == Server::Playback) {
            if (!needsPictures(c.fault)) {
                return cli::runPlayback(with({"cameras"}, sim.playbackPort()), out, err);
            }
            const std::string day =
                std::to_string(sim::dayNumberOf(sim::localDateTime(std::chrono::system_clock::now())));
            return cli::runPlayback(with({"export", "--camera", "1", "--day", day, "--time", "00:00:00",
                                     "--to", "00:00:02", "--out", (folder / "x.mkv").string()},
                                    sim.playbackPort()),
                               out, err);
        }
        const std::uint16_t port = c.server == Server::Current ? sim.currentPort() : sim.olderPort();
        if (!needsPictures(c.fault)) return cli::runLive(with({"info"}, port), AMBRO_PTZ_SETUP_DIR, out, err);
        return cli::runLive(with({"snapshot", "--camera", "1", "--timeout", "3", "--out",
                             (folder / "x.jpg").string()},
                            port),
                       AMBRO_PTZ_SETUP_DIR, out, err);
    }

    static constexpr std::chrono::milliseconds kStepTimeout{1500};
    const fs::path folder = [] {
        const fs::path path = fs::temp_directory_path() /
                              ("ambro-client-fault-" + std::to_string(::getpid()) + "-" +
                               std::to_string(reinterpret_cast<std::uintptr_t>(&path)));
        fs::create_directories(path);
        return path;
    }();
};

TEST_P(ClientFaults, EndWithTheirMessageInTime) {
    SimHarness sim({GetParam().fault});
    std::ostringstream out;
    std::ostringstream err;
    const auto started = std::chrono::steady_clock::now();
    const int status = run(sim, out, err);
    const auto took = std::chrono::steady_clock::now() - started;
    if (GetParam().status >= 0) {
        EXPECT_EQ(status, GetParam().status) << err.str();
    } else {
        EXPECT_TRUE(status == 0 || status == 3) << status << " " << err.str();
    }
    EXPECT_NE(err.str().find(GetParam().message), std::string::npos) << err.str();
    // A few reply deadlines at the most, never the server's patience.
    EXPECT_LT(took, 12s);
    // Nothing half-written is left behind.
    for (const auto& entry : fs::directory_iterator(folder)) {
        EXPECT_EQ(status, 0) << "left behind: " << entry.path();
        EXPECT_NE(entry.path().extension(), ".part");
    }
}

INSTANTIATE_TEST_SUITE_P(EveryKindOnEveryServer, ClientFaults, testing::ValuesIn(kCases),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace ambro::test
