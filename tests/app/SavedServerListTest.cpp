#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/SavedServerList.h"
#include "tests/support/MemoryKeyValueStore.h"

namespace ambro::app {
namespace {

using test::MemoryKeyValueStore;

const std::string kLiveKey = "Software\\Brevantis\\AmbroV2";

ServerEntry entryNumber(int n) {
    const std::string id = std::to_string(n);
    return {"10.0.0." + id, "80" + id, "user" + id, "pass" + id};
}

// Saves entries 1..count so that the last saved is first.
SavedServerList listOf(MemoryKeyValueStore& store, int count) {
    SavedServerList list(SessionKind::Live);
    for (int n = 1; n <= count; ++n) list.save(store, entryNumber(n));
    return list;
}

std::vector<std::string> addresses(const SavedServerList& list) {
    std::vector<std::string> result;
    for (const auto& entry : list.entries()) result.push_back(entry.address);
    return result;
}

TEST(SavedServerList, KeysOfTheTwoSessionKinds) {
    EXPECT_EQ(SavedServerList::keyFor(SessionKind::Live), kLiveKey);
    EXPECT_EQ(SavedServerList::keyFor(SessionKind::Playback), "Software\\Brevantis\\AmbroV2Rpb");
}

TEST(SavedServerList, EveryValueIsWrittenWithATab) {
    MemoryKeyValueStore store;
    SavedServerList list(SessionKind::Live);
    list.save(store, {"cam.example", "5000", "admin", "pw"});
    EXPECT_EQ(store.values.at({kLiveKey, "CountVal"}), "1\t");
    EXPECT_EQ(store.values.at({kLiveKey, "IP_0"}), "cam.example\t");
    EXPECT_EQ(store.values.at({kLiveKey, "Port_0"}), "5000\t");
    EXPECT_EQ(store.values.at({kLiveKey, "Name_0"}), "admin\t");
    EXPECT_EQ(store.values.at({kLiveKey, "Pass_0"}), "pw\t");

    SavedServerList loaded(SessionKind::Live);
    loaded.load(store);
    ASSERT_EQ(loaded.entries().size(), 1u);
    EXPECT_EQ(loaded.entries()[0], (ServerEntry{"cam.example", "5000", "admin", "pw"}));
}

struct SaveCase {
    const char* name;
    int existing;         // entries 1..existing saved before, newest first
    ServerEntry current;  // what the dialog confirms
    std::vector<std::string> expected;
    friend void PrintTo(const SaveCase& c, std::ostream* out) { *out << c.name; }
};

class SaveOrder : public testing::TestWithParam<SaveCase> {};

TEST_P(SaveOrder, PutsTheCurrentEntryFirst) {
    const SaveCase& c = GetParam();
    MemoryKeyValueStore store;
    listOf(store, c.existing);
    SavedServerList list(SessionKind::Live);
    list.load(store);
    list.save(store, c.current);
    SavedServerList reloaded(SessionKind::Live);
    reloaded.load(store);
    EXPECT_EQ(addresses(reloaded), c.expected);
    EXPECT_EQ(store.values.at({kLiveKey, "CountVal"}), std::to_string(c.expected.size()) + "\t");
}

std::vector<std::string> addressRange(int from, int to) {
    std::vector<std::string> result;
    for (int n = from; n >= to; --n) result.push_back(entryNumber(n).address);
    return result;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, SaveOrder,
    testing::Values(
        SaveCase{"OldestOfFiveMovesToFront", 5, entryNumber(1),
                 {"10.0.0.1", "10.0.0.5", "10.0.0.4", "10.0.0.3", "10.0.0.2"}},
        SaveCase{"NewEntryGoesFirst", 2, entryNumber(9), {"10.0.0.9", "10.0.0.2", "10.0.0.1"}},
        SaveCase{"DifferentPasswordIsANewEntry", 2, {"10.0.0.1", "801", "user1", "other"},
                 {"10.0.0.1", "10.0.0.2", "10.0.0.1"}},
        SaveCase{"TwentyFirstDropsTheOldest", 20, entryNumber(21), addressRange(21, 2)},
        SaveCase{"KnownEntryInAFullList", 20, entryNumber(20), addressRange(20, 1)}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(SavedServerList, ClearHistoryForgetsTheListButKeepsTheValues) {
    MemoryKeyValueStore store;
    SavedServerList list = listOf(store, 3);
    list.clearHistory(store);
    EXPECT_TRUE(list.entries().empty());
    EXPECT_FALSE(store.value(kLiveKey, "CountVal"));
    EXPECT_TRUE(store.value(kLiveKey, "IP_0"));
    SavedServerList reloaded(SessionKind::Live);
    reloaded.load(store);
    EXPECT_TRUE(reloaded.entries().empty());
}

TEST(SavedServerList, EmptyAddressWritesNothing) {
    MemoryKeyValueStore store;
    SavedServerList list(SessionKind::Live);
    list.save(store, {"", "80", "admin", "pw"});
    EXPECT_TRUE(store.values.empty());
}

TEST(SavedServerList, GuestShowsNoPassword) {
    EXPECT_EQ(SavedServerList::passwordFieldFor({"h", "1", "Guest", "typed"}), "");
    EXPECT_EQ(SavedServerList::passwordFieldFor({"h", "1", "guest", "typed"}), "typed");
}

struct LoadCase {
    const char* name;
    std::map<std::string, std::string> values;
    std::vector<std::string> expected;
    friend void PrintTo(const LoadCase& c, std::ostream* out) { *out << c.name; }
};

class LoadRules : public testing::TestWithParam<LoadCase> {};

TEST_P(LoadRules, LoadsWhatItCan) {
    MemoryKeyValueStore store;
    listOf(store, 5);
    for (const auto& [name, text] : GetParam().values) {
        if (text == "<missing>") {
            store.removeValue(kLiveKey, name);
        } else {
            store.setValue(kLiveKey, name, text);
        }
    }
    SavedServerList list(SessionKind::Live);
    list.load(store);
    EXPECT_EQ(addresses(list), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Store, LoadRules,
    testing::Values(
        LoadCase{"MissingAddressStopsLoading", {{"IP_3", "<missing>"}}, addressRange(5, 3)},
        LoadCase{"MissingPasswordStopsLoading", {{"Pass_1", "<missing>"}}, addressRange(5, 5)},
        LoadCase{"EmptyNameSkipsTheEntry", {{"Name_1", ""}},
                 {"10.0.0.5", "10.0.0.3", "10.0.0.2", "10.0.0.1"}},
        LoadCase{"CountLimitsTheEntries", {{"CountVal", "2\t"}}, addressRange(5, 4)},
        LoadCase{"MissingCountMeansNone", {{"CountVal", "<missing>"}}, {}},
        LoadCase{"NonNumericCountMeansNone", {{"CountVal", "many"}}, {}},
        LoadCase{"NegativeCountMeansNone", {{"CountVal", "-3"}}, {}},
        LoadCase{"HugeCountStopsAtTheFirstGap", {{"CountVal", "99999999999999999999\t"}},
                 addressRange(5, 1)}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(SavedServerList, LoadedTextsAreCutTo63CharactersAndTrimmed) {
    MemoryKeyValueStore store;
    listOf(store, 1);
    store.setValue(kLiveKey, "IP_0", std::string(200, 'a') + "\t");
    // 70 two-byte characters: the cut must not split one.
    std::string wide;
    for (int i = 0; i < 70; ++i) wide += "\xC3\xA9";
    store.setValue(kLiveKey, "Name_0", wide);
    store.setValue(kLiveKey, "Pass_0", "secret \t\t");
    SavedServerList list(SessionKind::Live);
    list.load(store);
    ASSERT_EQ(list.entries().size(), 1u);
    EXPECT_EQ(list.entries()[0].address, std::string(63, 'a'));
    EXPECT_EQ(list.entries()[0].userName.size(), 126u);
    EXPECT_EQ(list.entries()[0].password, "secret");
}

TEST(SavedServerList, AHandEditedListOfManyEntriesLoadsTwenty) {
    MemoryKeyValueStore store;
    store.setValue(kLiveKey, "CountVal", "500\t");
    for (int i = 0; i < 500; ++i) {
        for (const char* name : {"IP", "Port", "Name", "Pass"}) {
            store.setValue(kLiveKey, std::string(name) + "_" + std::to_string(i), "x\t");
        }
    }
    SavedServerList list(SessionKind::Live);
    list.load(store);
    EXPECT_EQ(list.entries().size(), SavedServerList::kMaxEntries);
}

}  // namespace
}  // namespace ambro::app
