#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>

#include "platform/DataFolders.h"
#include "platform/ProgramFolder.h"

namespace ambro::platform {
namespace {

namespace fs = std::filesystem;

TEST(DataFolders, BesideTheProgramThenShareThenTheDataFolders) {
    const fs::path home = fs::temp_directory_path() / ("ambro-data-" + std::to_string(::getpid()));
    ::setenv("XDG_DATA_HOME", home.c_str(), 1);
    ::setenv("XDG_DATA_DIRS", "/opt/a:/opt/b", 1);
    const auto candidates = dataFolderCandidates("Things");
    ASSERT_EQ(candidates.size(), 5u);
    EXPECT_EQ(candidates[0], programFolder() / "Things");
    EXPECT_EQ(candidates[1], (programFolder().parent_path() / "share" / "ambro" / "Things"));
    EXPECT_EQ(candidates[2], home / "ambro" / "Things");
    EXPECT_EQ(candidates[3], fs::path("/opt/a/ambro/Things"));
    EXPECT_EQ(candidates[4], fs::path("/opt/b/ambro/Things"));

    EXPECT_FALSE(findDataFolder("Things").has_value());
    fs::create_directories(home / "ambro" / "Things");
    EXPECT_EQ(findDataFolder("Things"), home / "ambro" / "Things");
    fs::remove_all(home);
    ::unsetenv("XDG_DATA_HOME");
    ::unsetenv("XDG_DATA_DIRS");
}

}  // namespace
}  // namespace ambro::platform
