#include <gtest/gtest.h>

#include <vector>

#include "live/LiveKeys.h"

namespace ambro::live {
namespace {

// One key event at a tick, with what it must give.
struct Event {
    enum Kind { Down, Repeat, Up, Timer } kind;
    LiveKey key;
    std::uint32_t tick;
    bool fires;  // Up: a short press; Timer: home asked for; Down: consumed
};

struct KeyCase {
    const char* name;
    std::vector<Event> events;
    std::uint32_t keyWordAfter;
};

class EnterKey : public testing::TestWithParam<KeyCase> {};

TEST_P(EnterKey, ShortPressesAndHolds) {
    LiveKeys keys;
    for (std::size_t i = 0; i < GetParam().events.size(); ++i) {
        const Event& event = GetParam().events[i];
        bool fired = false;
        switch (event.kind) {
            case Event::Down: fired = keys.keyDown(event.key, event.tick).consumed; break;
            case Event::Repeat: fired = keys.keyDown(event.key, event.tick, true).consumed; break;
            case Event::Up: fired = keys.keyUp(event.key, event.tick); break;
            case Event::Timer: fired = keys.timerTick(event.tick); break;
        }
        EXPECT_EQ(fired, event.fires) << "event " << i;
    }
    EXPECT_EQ(keys.keyWord(), GetParam().keyWordAfter);
}

constexpr LiveKey kEnter = LiveKey::Enter;

INSTANTIATE_TEST_SUITE_P(
    Table, EnterKey,
    testing::Values(
        KeyCase{
            "ShortPress", {{Event::Down, kEnter, 100, true}, {Event::Up, kEnter, 600, true}}, 0},
        KeyCase{"ExactlyOneSecond",
                {{Event::Down, kEnter, 0, true}, {Event::Up, kEnter, 1000, true}},
                0},
        KeyCase{"TooLongForShort",
                {{Event::Down, kEnter, 0, true}, {Event::Up, kEnter, 1001, false}},
                0},
        KeyCase{"ActionKeyToo",
                {{Event::Down, LiveKey::Action, 0, true}, {Event::Up, LiveKey::Action, 10, true}},
                0},
        KeyCase{"TickWraps",
                {{Event::Down, kEnter, 0xFFFFFF00u, true}, {Event::Up, kEnter, 0xF0u, true}},
                0},
        // Held 2 seconds: home once; the key up after it does nothing.
        KeyCase{"HeldSendsHome",
                {{Event::Down, kEnter, 0, true},
                 {Event::Timer, kEnter, 1999, false},
                 {Event::Timer, kEnter, 2000, true},
                 {Event::Timer, kEnter, 2500, false},
                 {Event::Up, kEnter, 2600, false}},
                kKeyWordHome},
        // The key's own repeats keep the first press's tick.
        KeyCase{"HeldWithRepeats",
                {{Event::Down, kEnter, 0, true},
                 {Event::Repeat, kEnter, 500, true},
                 {Event::Repeat, kEnter, 1500, true},
                 {Event::Timer, kEnter, 2001, true},
                 {Event::Repeat, kEnter, 2100, true},
                 {Event::Up, kEnter, 2200, false}},
                kKeyWordHome},
        // Let go between one and two seconds: neither action, not later either.
        KeyCase{"ReleasedBeforeTheHold",
                {{Event::Down, kEnter, 0, true},
                 {Event::Up, kEnter, 1500, false},
                 {Event::Timer, kEnter, 2500, false}},
                0},
        // Another key in between forgets the Enter press.
        KeyCase{"OtherKeyClearsTheTick",
                {{Event::Down, kEnter, 0, true},
                 {Event::Down, LiveKey::Other, 100, false},
                 {Event::Up, kEnter, 200, false},
                 {Event::Timer, kEnter, 3000, false}},
                0},
        KeyCase{"ArrowUpClearsWordAndTicks",
                {{Event::Down, LiveKey::Left, 0, true},
                 {Event::Down, kEnter, 10, true},
                 {Event::Up, LiveKey::Left, 20, false},
                 {Event::Up, kEnter, 30, false}},
                0}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(ArrowKeys, SetTheKeyWordAndNavigate) {
    struct Case {
        LiveKey key;
        std::uint32_t word;
        ptz::DomeAction move;
    };
    for (const Case& c : {Case{LiveKey::Up, 0x10, ptz::DomeAction::TiltUp},
                          Case{LiveKey::Down, 0x20, ptz::DomeAction::TiltDown},
                          Case{LiveKey::Left, 0x80, ptz::DomeAction::PanLeft},
                          Case{LiveKey::Right, 0x100, ptz::DomeAction::PanRight}}) {
        LiveKeys keys;
        const KeyDownResult down = keys.keyDown(c.key, 0);
        EXPECT_TRUE(down.consumed);
        EXPECT_EQ(down.navigate, c.key);
        EXPECT_EQ(keys.keyWord(), c.word);
        // Repeated while held, every time the control thread looks.
        EXPECT_EQ(keys.takeKeyCommand(), c.move);
        EXPECT_EQ(keys.takeKeyCommand(), c.move);
        keys.keyUp(c.key, 300);
        EXPECT_EQ(keys.keyWord(), 0u);
        EXPECT_FALSE(keys.takeKeyCommand());
    }
    LiveKeys keys;
    const KeyDownResult other = keys.keyDown(LiveKey::Other, 0);
    EXPECT_FALSE(other.consumed);
    EXPECT_FALSE(other.navigate);
}

TEST(HomeKey, SentOnceByTheControlThread) {
    LiveKeys keys;
    keys.keyDown(LiveKey::Enter, 0);
    ASSERT_TRUE(keys.timerTick(2500));
    EXPECT_EQ(keys.takeKeyCommand(), ptz::DomeAction::Home);
    EXPECT_FALSE(keys.takeKeyCommand());
    EXPECT_EQ(keys.keyWord(), 0u);
}

}  // namespace
}  // namespace ambro::live
