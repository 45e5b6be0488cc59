#include <gtest/gtest.h>

#include "playback/DayTree.h"
#include "playback/PictureLayout.h"
#include "playback/PlaybackTime.h"
#include "media/PictureRows.h"
#include "playback/SnapshotName.h"
#include "playback/TimeCodeRows.h"

namespace ambro::playback {
namespace {

TEST(DayTree, GroupsEightCharacterDaysByYearAndMonthUpToTheFirstZero) {
    const DayTree tree = buildDayTree({20231230, 20240101, 2024015, 20240105, 20240217, 0, 20250101});
    ASSERT_EQ(tree.years.size(), 2u);
    EXPECT_EQ(tree.years[0].text, "2023");
    ASSERT_EQ(tree.years[1].months.size(), 2u);
    EXPECT_EQ(tree.years[1].months[0].text, "01");
    EXPECT_EQ(tree.years[1].months[0].days, (std::vector<std::string>{"01", "05"}));
    EXPECT_EQ(tree.years[1].months[1].days, (std::vector<std::string>{"17"}));
    EXPECT_EQ(tree.days().size(), 4u);

    EXPECT_TRUE(buildDayTree({20240101, 0, 20240105}).days() ==
                (std::vector<RecordingDay>{{"2024", "01", "01"}}));
    EXPECT_TRUE(buildDayTree({2024015}).years.empty());
    EXPECT_EQ((RecordingDay{"2024", "01", "05"}.number()), 20240105u);
}

TEST(DayTree, DaysOutOfOrderStillGoUnderTheirOwnYearAndMonth) {
    const DayTree tree = buildDayTree({20240105, 20230101, 20240109});
    ASSERT_EQ(tree.years.size(), 2u);
    EXPECT_EQ(tree.years[0].months[0].days, (std::vector<std::string>{"05", "09"}));
}

TEST(TimeCodeRows, ReadAsTheFileListShowsThem) {
    struct Case {
        const char* name;
        std::vector<std::uint32_t> codes;
        int day;
        std::vector<TimeCodeRow> rows;
    };
    const Case cases[] = {
        {"daylight entry", {201123456}, 1, {{"12:34:56DST", true}}},
        {"second run after 0",
         {101083000, 0, 23000},
         1,
         {{"08:30:00", false},
          {"00:00:00(Day Light Save)", false},
          {"02:30:00(Day Light Save)", false}}},
        {"day 17 taken off", {117235959, 217000001}, 17, {{"23:59:59", false}, {"00:00:01DST", true}}},
        {"codes of another day are skipped", {101083000, 1000005}, 3, {}},
        {"first-run codes that do not read as a time are skipped", {5000, 1999999999}, 1, {}},
        {"second-run codes read from their first six digits", {0, 101020304}, 1,
         {{"00:00:00(Day Light Save)", false}, {"10:00:20(Day Light Save)", false}}},
        {"no codes", {}, 1, {}},
    };
    for (const auto& c : cases) EXPECT_EQ(timeCodeRows(c.codes, c.day), c.rows) << c.name;
}

TEST(PlaybackTime, SeekRestartsAtTheKeyFrameAtOrBelowTheServersFrame) {
    struct Case {
        std::vector<std::uint16_t> keys;
        std::uint32_t frame;
        int restart;
    };
    const Case cases[] = {
        {{0, 30, 60}, 57, 30}, {{0, 30, 60}, 75, 60}, {{0, 30, 60}, 30, 30},
        {{0, 30, 60}, 0, 0},   {{10, 30}, 4, 4},      {{}, 12, 12},
    };
    for (const auto& c : cases) EXPECT_EQ(restartFrame(c.keys, c.frame), c.restart) << c.frame;
}

TEST(PlaybackTime, PictureTimeIsInterpolatedBetweenFirstAndLastFrame) {
    FileInformation file;
    file.firstTime = {2024, 1, 5, 5, 8, 30, 0, 0};
    file.lastTime = {2024, 1, 5, 5, 9, 30, 0, 0};
    file.frameCount = 100;
    EXPECT_EQ(pictureTimeText(*timeAtFrame(file, 0)), "2024/01/05 08:30:00");
    EXPECT_EQ(pictureTimeText(*timeAtFrame(file, 50)), "2024/01/05 09:00:00");
    EXPECT_EQ(pictureTimeText(*timeAtFrame(file, 100)), "2024/01/05 09:30:00");
    EXPECT_EQ(frameInterval(file), std::chrono::microseconds(36000000));

    file.frameCount = 0;
    EXPECT_FALSE(timeAtFrame(file, 0));
    file.frameCount = 100;
    file.lastTime.month = 13;
    EXPECT_FALSE(timeAtFrame(file, 1));
    EXPECT_EQ(frameInterval(file).count(), 0);
}

TEST(PlaybackRules, SnapshotNameCarriesTheLocalTimeToTheMillisecond) {
    EXPECT_EQ(snapshotStem({2024, 1, 5, 5, 8, 30, 0, 250}), "20240105083000250");
}

TEST(PlaybackRules, PictureLayoutDoublesFieldsAndSetsThreeSixtyUpAsThreeFiftyTwo) {
    struct Case {
        std::uint32_t width, height;
        int decoderWidth, bitmapHeight;
        bool fields, copyEvenRows;
    };
    const Case cases[] = {
        {720, 288, 720, 576, true, false}, {720, 240, 720, 480, true, false},
        {720, 576, 720, 576, false, false}, {360, 240, 352, 240, false, false},
        {176, 144, 176, 144, false, true},  {176, 112, 176, 112, false, true},
        {640, 240, 640, 480, false, false}, {352, 288, 352, 288, false, false},
    };
    for (const auto& c : cases) {
        const auto layout = layoutFor(c.width, c.height);
        ASSERT_TRUE(layout) << c.width << "x" << c.height;
        EXPECT_EQ(layout->width, c.decoderWidth);
        EXPECT_EQ(layout->bitmapHeight, c.bitmapHeight);
        EXPECT_EQ(layout->fields, c.fields);
        EXPECT_EQ(layout->copyEvenRows, c.copyEvenRows);
    }
    EXPECT_FALSE(layoutFor(0, 240));
    EXPECT_FALSE(layoutFor(100000, 100000));
}

TEST(PlaybackRules, FieldRowsAreDoubledAndEvenRowsCopied) {
    // Rows of one pixel, numbered by their first byte.
    std::vector<std::uint8_t> field = {1, 0, 0, 2, 0, 0, 3, 0, 0, 9, 9, 9, 9, 9, 9, 9, 9, 9};
    media::doubleRows(field.data(), 3, 3);
    EXPECT_EQ(field, (std::vector<std::uint8_t>{1, 0, 0, 1, 0, 0, 2, 0, 0, 2, 0, 0, 3, 0, 0, 3, 0, 0}));

    std::vector<std::uint8_t> rows = {1, 1, 1, 2, 2, 2, 3, 3, 3, 4, 4, 4, 5, 5, 5};
    media::copyEvenRows(rows.data(), 3, 5);
    EXPECT_EQ(rows, (std::vector<std::uint8_t>{1, 1, 1, 1, 1, 1, 3, 3, 3, 3, 3, 3, 5, 5, 5}));
}

}  // namespace
}  // namespace ambro::playback
