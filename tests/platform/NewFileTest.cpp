#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "platform/NewFile.h"

namespace ambro::platform {
namespace {

namespace fs = std::filesystem;

class NewFile : public testing::Test {
protected:
    void SetUp() override {
        folder = fs::temp_directory_path() /
                 ("ambro-newfile-" + std::to_string(::getpid()) + "-" +
                  testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(folder);
    }
    void TearDown() override {
        std::error_code ignored;
        fs::remove_all(folder, ignored);
    }
    static std::string contentOf(const fs::path& path) {
        std::ifstream file(path, std::ios::binary);
        return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
    }

    fs::path folder;
};

TEST_F(NewFile, NeverReplacesAnEarlierFileAndLeavesNothingHalfWritten) {
    const std::uint8_t first[] = {'a'};
    const std::uint8_t second[] = {'b'};
    const std::uint8_t third[] = {'c'};
    std::string error;
    const auto one = writeNewFile(folder / "Pictures", "20100315_093005", ".jpg", first, error);
    const auto two = writeNewFile(folder / "Pictures", "20100315_093005", ".jpg", second, error);
    const auto three = writeNewFile(folder / "Pictures", "20100315_093005", ".jpg", third, error);
    ASSERT_TRUE(one && two && three) << error;
    EXPECT_EQ(*one, folder / "Pictures" / "20100315_093005.jpg");
    EXPECT_EQ(*two, folder / "Pictures" / "20100315_093005_2.jpg");
    EXPECT_EQ(*three, folder / "Pictures" / "20100315_093005_3.jpg");
    EXPECT_EQ(contentOf(*one), "a");
    EXPECT_EQ(contentOf(*two), "b");
    EXPECT_EQ(contentOf(*three), "c");
    // Only the three pictures: no temporary file stays behind.
    EXPECT_EQ(std::distance(fs::directory_iterator(folder / "Pictures"), fs::directory_iterator()),
              3);
}

TEST_F(NewFile, AFolderThatCannotBeWrittenIsReported) {
    // Not even root may make files among a process's own entries.
    const fs::path unwritable = "/proc/self";
    const std::uint8_t byte[] = {1};
    std::string error;
    EXPECT_FALSE(writeNewFile(unwritable, "x", ".jpg", byte, error).has_value());
    EXPECT_NE(error.find(unwritable.string()), std::string::npos) << error;
}

TEST_F(NewFile, AFileWhereTheFolderShouldBeIsReported) {
    fs::create_directories(folder);
    std::ofstream(folder / "blocked") << "x";
    const std::uint8_t byte[] = {1};
    std::string error;
    EXPECT_FALSE(writeNewFile(folder / "blocked", "x", ".jpg", byte, error).has_value());
    EXPECT_FALSE(error.empty());
}

}  // namespace
}  // namespace ambro::platform
