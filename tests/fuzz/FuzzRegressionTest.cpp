#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "fuzz/targets/FuzzTargets.h"

namespace ambro::fuzz {
namespace {

namespace fs = std::filesystem;

// Inputs a fuzzer once crashed or hung on, kept under
// tests/fixtures/fuzz/<target>/; each must now run through cleanly.
std::vector<fs::path> regressionInputs(const std::string& target) {
    std::vector<fs::path> inputs;
    std::error_code error;
    for (const auto& entry : fs::directory_iterator(fs::path(AMBRO_FUZZ_REGRESSION_DIR) / target, error)) {
        if (entry.is_regular_file()) inputs.push_back(entry.path());
    }
    std::sort(inputs.begin(), inputs.end());
    return inputs;
}

Bytes readInput(const fs::path& path) {
    std::ifstream file(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(file), {}};
}

class FuzzTarget : public testing::TestWithParam<std::string> {};

// The seeds are the inputs every fuzzing run starts from: the harness must
// take them all.
TEST_P(FuzzTarget, RunsItsSeeds) {
    const Target* target = findTarget(GetParam());
    ASSERT_NE(target, nullptr);
    const auto seeds = target->seeds();
    EXPECT_FALSE(seeds.empty());
    for (const Bytes& seed : seeds) EXPECT_EQ(target->run(seed.data(), seed.size()), 0);
}

TEST_P(FuzzTarget, ReplaysEveryInputThatOnceFailed) {
    const Target* target = findTarget(GetParam());
    ASSERT_NE(target, nullptr);
    for (const fs::path& path : regressionInputs(GetParam())) {
        SCOPED_TRACE(path.filename().string());
        const Bytes input = readInput(path);
        EXPECT_EQ(target->run(input.data(), input.size()), 0);
    }
}

std::vector<std::string> targetNames() {
    std::vector<std::string> names;
    for (const Target& target : targets()) names.emplace_back(target.name);
    return names;
}

INSTANTIATE_TEST_SUITE_P(Targets, FuzzTarget, testing::ValuesIn(targetNames()),
                         [](const testing::TestParamInfo<std::string>& info) { return info.param; });

}  // namespace
}  // namespace ambro::fuzz
