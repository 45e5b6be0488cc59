// ambro-cli against the simulated installation: the live commands on both
// generations, the playback commands.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <functional>
#include <fstream>
#include <sstream>

#include "tests/sim/SimHarness.h"
#include "tests/support/TurboJpeg.h"
#include "tools/cli/LiveCommand.h"
#include "tools/cli/PlaybackCommand.h"
#include "tools/sim/LocalTime.h"

namespace ambro::test {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

enum class Generation { Current, Older };

struct GenerationCase {
    const char* name;
    Generation generation;
    int outputModule;  // the module --module names on this generation, 0 for none
};

void PrintTo(const GenerationCase& c, std::ostream* out) {
    *out << c.name;
}

class Cli : public testing::Test {
protected:
    int runLive(Generation generation, std::vector<std::string> words) {
        const std::uint16_t port = generation == Generation::Current ? sim.currentPort() : sim.olderPort();
        words.insert(words.begin() + 1, {"127.0.0.1:" + std::to_string(port), "--user", "admin",
                                         "--password", "1234"});
        return run([&] { return cli::runLive(words, AMBRO_PTZ_SETUP_DIR, out, err); });
    }
    int runPlayback(std::vector<std::string> words) {
        words.insert(words.begin() + 1, {"--host", "127.0.0.1", "--port",
                                         std::to_string(sim.playbackPort()), "--user", "admin",
                                         "--password", "1234"});
        return run([&] { return cli::runPlayback(words, out, err); });
    }
    fs::path temporary(const std::string& name) const {
        return fs::temp_directory_path() / ("ambro-sim-cli-" + std::to_string(::getpid()) + "-" + name);
    }
    static std::optional<Bytes> jpegPicture(const fs::path& file, int& width, int& height) {
        std::ifstream input(file, std::ios::binary);
        const Bytes jpeg((std::istreambuf_iterator<char>(input)), std::istreambuf_iterator<char>());
        return turboDecodeBgr(jpeg, width, height);
    }

    SimHarness sim;
    std::ostringstream out;
    std::ostringstream err;

private:
    int run(const std::function<int()>& command) {
        out.str("");
        err.str("");
        return command();
    }
};

class CliLive : public Cli, public testing::WithParamInterface<GenerationCase> {};

TEST_P(CliLive, InfoListsEveryCameraAndTheIoNames) {
    ASSERT_EQ(runLive(GetParam().generation, {"info"}), 0) << err.str();
    const auto& cameras = sim.installation().cameras();
    for (int i = 0; i < cameras.count(); ++i) {
        EXPECT_NE(out.str().find("camera " + std::to_string(i + 1) + ": " + cameras.camera(i).name),
                  std::string::npos)
            << out.str();
    }
    EXPECT_NE(out.str().find("output: Floodlight"), std::string::npos) << out.str();
    EXPECT_NE(out.str().find("input: Panic Button"), std::string::npos) << out.str();
}

TEST_P(CliLive, SnapshotOfTheMaskedCameraHasTheMasksFilled) {
    const fs::path file = temporary("masked.jpg");
    ASSERT_EQ(runLive(GetParam().generation, {"snapshot", "--camera", "4", "--out", file.string()}), 0)
        << err.str();
    int width = 0;
    int height = 0;
    const auto picture = jpegPicture(file, width, height);
    fs::remove(file);
    ASSERT_TRUE(picture);
    // Top-down after the JPEG round trip; the masks are black up to the
    // encoder's rounding.
    for (const auto& mask : sim.installation().synthesiser().masksIn(3, {0, 0, width, height})) {
        const int x = mask.x + mask.width / 2;
        const int y = mask.y + mask.height / 2;
        const std::uint8_t* pixel = picture->data() + (static_cast<std::size_t>(y) * width + x) * 3;
        EXPECT_LT(pixel[0] + pixel[1] + pixel[2], 30) << x << "," << y;
    }
}

TEST_P(CliLive, DomePresetMovesTheDome) {
    ASSERT_EQ(runLive(GetParam().generation, {"ptz", "--camera", "1", "preset", "--preset", "5"}), 0)
        << err.str();
    const auto at = sim.installation().dome(0)->positionAt(std::chrono::steady_clock::now());
    EXPECT_DOUBLE_EQ(at.x, sim::DomeModel::presetPosition(5).x);
}

TEST_P(CliLive, ForcedOutputIsLogged) {
    std::vector<std::string> words = {"output", "--output", "3"};
    if (GetParam().outputModule) {
        words.insert(words.end(), {"--module", std::to_string(GetParam().outputModule)});
    }
    ASSERT_EQ(runLive(GetParam().generation, words), 0) << err.str();
    const std::string expected = GetParam().outputModule == 2
                                     ? "output 3 (Cam Light 2) of module 2 forced on"
                                     : "output 3 (Gate Lock) of module 1 forced on";
    EXPECT_TRUE(sim.waitForLog(expected, 5s));
}

INSTANTIATE_TEST_SUITE_P(BothGenerations, CliLive,
                         testing::Values(GenerationCase{"Current", Generation::Current, 0},
                                         GenerationCase{"Older", Generation::Older, 2}),
                         [](const testing::TestParamInfo<GenerationCase>& info) {
                             return std::string(info.param.name);
                         });

TEST_F(Cli, SnapshotOfEveryCameraOfTheOlderGeneration) {
    const fs::path folder = temporary("all");
    fs::create_directories(folder);
    const int status = runLive(Generation::Older, {"snapshot", "--all", "--out", folder.string()});
    std::vector<std::string> files;
    for (const auto& entry : fs::directory_iterator(folder)) files.push_back(entry.path().filename());
    fs::remove_all(folder);
    EXPECT_EQ(status, 0) << err.str();
    EXPECT_EQ(static_cast<int>(files.size()), sim.installation().cameras().count());
}

TEST_F(Cli, PlaybackListsCamerasDaysAndFiles) {
    ASSERT_EQ(runPlayback({"cameras"}), 0) << err.str();
    const auto& cameras = sim.installation().cameras();
    for (int i = 0; i < cameras.count(); ++i) {
        EXPECT_NE(out.str().find("camera " + std::to_string(i + 1) + ": " + cameras.camera(i).name),
                  std::string::npos);
    }
    ASSERT_EQ(runPlayback({"days", "--camera", "2"}), 0) << err.str();
    std::istringstream days(out.str());
    std::string oldest;
    ASSERT_TRUE(std::getline(days, oldest));
    const auto expected = sim.installation().recordings().daysOf(1, sim::Clock::now());
    EXPECT_EQ(oldest, std::to_string(expected.front()));

    ASSERT_EQ(runPlayback({"files", "--camera", "2", "--day", oldest}), 0) << err.str();
    EXPECT_NE(out.str().find("00:00:00"), std::string::npos) << out.str();
    EXPECT_NE(out.str().find("23:00:00"), std::string::npos) << out.str();
}

}  // namespace
}  // namespace ambro::test
