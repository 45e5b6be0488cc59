#include <gtest/gtest.h>

#include "live/AlarmReport.h"
#include "live/AlarmTree.h"

namespace ambro::live {
namespace {

platform::DateTime at(int year, int month, int day, int hour, int minute, int second) {
    return platform::DateTime::fromFields(year, month, day, hour, minute, second);
}

using Kind = TreeOperation::Kind;

TreeOperation node(int id, int parent, const std::string& text, AlarmImage image) {
    return {Kind::AddNode, id, parent, text, image};
}
TreeOperation select(int id) { return {Kind::Select, id, 0, {}, {}}; }
TreeOperation expand(int id) { return {Kind::Expand, id, 0, {}, {}}; }

const std::vector<std::vector<std::string>> kInputNames = {
    {"Gate", "Fence"},
    {"Door", "Window", "Hall", "Garage"},
};

TEST(AlarmReport, OneTextPerInputSet) {
    std::array<std::uint16_t, kAlarmModules> masks{};
    masks[1] = 0b1001;  // inputs 1 and 4 of module 2
    masks[4] = 0x8000;  // input 16 of module 5, whose names are not known
    const auto report = buildAlarmReport(masks, at(2010, 3, 15, 9, 30, 5), kInputNames);
    ASSERT_TRUE(report);
    EXPECT_EQ(*report, (AlarmReport{"2010/03/15", "09:30:05",
                                    {"(Module 02)Door", "(Module 02)Garage", "(Module 05)"}}));
    EXPECT_FALSE(buildAlarmReport(masks, at(0, 3, 15, 9, 30, 5), kInputNames));
    const auto quiet = buildAlarmReport({}, at(2010, 3, 15, 9, 30, 5), kInputNames);
    ASSERT_TRUE(quiet);
    EXPECT_TRUE(quiet->alarms.empty());
}

TEST(AlarmTree, SameDateAndTimeShareTheirNodes) {
    std::array<std::uint16_t, kAlarmModules> masks{};
    masks[1] = 0b1001;
    const auto report = buildAlarmReport(masks, at(2010, 3, 15, 9, 30, 5), kInputNames);
    AlarmTree tree;
    EXPECT_EQ(tree.add(report->date, report->time, report->alarms[0]),
              (std::vector<TreeOperation>{node(1, 0, "2010/03/15", AlarmImage::Date),
                                          node(2, 1, "09:30:05", AlarmImage::Alarm),
                                          node(3, 2, "(Module 02)Door", AlarmImage::Alarm),
                                          select(3), expand(2)}));
    EXPECT_EQ(tree.add(report->date, report->time, report->alarms[1]),
              (std::vector<TreeOperation>{node(4, 2, "(Module 02)Garage", AlarmImage::Alarm),
                                          select(4), expand(2)}));
}

TEST(AlarmTree, NewTimesNewDatesAndNoAlarm) {
    AlarmTree tree;
    tree.add("2010/03/15", "09:30:05", "(Module 01)Gate");
    // Another time on the same date.
    EXPECT_EQ(tree.add("2010/03/15", "09:30:06", "(Module 01)Gate"),
              (std::vector<TreeOperation>{node(4, 1, "09:30:06", AlarmImage::Alarm),
                                          node(5, 4, "(Module 01)Gate", AlarmImage::Alarm),
                                          select(5), expand(4)}));
    // "No Alarm" always gets a time node of its own.
    EXPECT_EQ(tree.add("2010/03/15", "09:30:06", "No Alarm"),
              (std::vector<TreeOperation>{node(6, 1, "09:30:06", AlarmImage::NoAlarm),
                                          node(7, 6, "No Alarm", AlarmImage::NoAlarm), select(7),
                                          expand(6)}));
    // A new date with the same time: its own date and time nodes.
    EXPECT_EQ(tree.add("2010/03/16", "09:30:06", "(Module 01)Fence"),
              (std::vector<TreeOperation>{node(8, 0, "2010/03/16", AlarmImage::Date),
                                          node(9, 8, "09:30:06", AlarmImage::Alarm),
                                          node(10, 9, "(Module 01)Fence", AlarmImage::Alarm),
                                          select(10), expand(9)}));
    EXPECT_EQ(AlarmTree::root(), node(0, -1, "Alarm", AlarmImage::Root));
}

TEST(AlarmTree, InvalidEntriesAddNothing) {
    struct Case {
        const char* date;
        const char* time;
        const char* alarm;
    };
    for (const Case& c :
         {Case{"2010-03-15", "09:30:05", "A"}, Case{"2010/13/15", "09:30:05", "A"},
          Case{"2010/03/32", "09:30:05", "A"}, Case{"2010/03/15/1", "09:30:05", "A"},
          Case{"2010/03", "09:30:05", "A"}, Case{"2010/03/15", "9:30:05", "A"},
          Case{"2010/03/15", "09-30-05", "A"}, Case{"2010/03/15", "09:30:050", "A"},
          Case{"2010/03/15", "0:9:30:05", "A"}, Case{"", "09:30:05", "A"},
          Case{"2010/03/15", "", "A"}, Case{"2010/03/15", "09:30:05", ""}}) {
        AlarmTree tree;
        EXPECT_TRUE(tree.add(c.date, c.time, c.alarm).empty())
            << c.date << " " << c.time << " " << c.alarm;
    }
    EXPECT_TRUE(AlarmTree::validDate("2010/12/31"));
    EXPECT_TRUE(AlarmTree::validTime("23:59:59"));
}

}  // namespace
}  // namespace ambro::live
