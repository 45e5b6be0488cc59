#pragma once

#include <atomic>
#include <cstdint>
#include <optional>

#include "ptz/PtzProtocol.h"

namespace ambro::live {

// The keys the live view handles, by their virtual-key codes.
enum class LiveKey : int {
    Other = 0, Enter = 13, Left = 37, Up = 38, Right = 39, Down = 40, Action = 134,
};

// What the key word asks the control thread to send.
enum KeyWordBits : std::uint32_t {
    kKeyWordUp = 0x10, kKeyWordDown = 0x20, kKeyWordHome = 0x40, kKeyWordLeft = 0x80,
    kKeyWordRight = 0x100,
};

struct KeyDownResult {
    bool consumed = false;
    // Move the highlight with this arrow key (the navigator's arrowKey).
    std::optional<LiveKey> navigate;
};

// The hardware keys of the live view: the arrow keys move the highlight and
// hold a camera move, Enter pressed briefly opens or leaves a camera, Enter
// held 2 seconds sends the dome home once.
//
// Times are a 32-bit millisecond tick given by the caller; differences are
// taken modulo 2^32, so the tick may wrap. The key handlers and timerTick()
// run on the user-interface thread; the key word is an atomic that the
// control thread reads and clears.
class LiveKeys {
public:
    static constexpr std::uint32_t kShortPressMs = 1000;
    static constexpr std::uint32_t kHoldMs = 1999;

    // `autoRepeat` marks the repeated key-downs of a held key: a held Enter
    // keeps the tick of its first press.
    KeyDownResult keyDown(LiveKey key, std::uint32_t now, bool autoRepeat = false);
    // True when the key up ends a short press of Enter: run shortEnter().
    bool keyUp(LiveKey key, std::uint32_t now);
    // Any timer of the window: true when Enter has been held long enough
    // and the key word now asks for home.
    bool timerTick(std::uint32_t now);

    // Control thread: the move a held arrow key repeats, checked Up, Down,
    // Left, Right; or Home once, which clears the word.
    std::optional<ptz::DomeAction> takeKeyCommand();
    std::uint32_t keyWord() const { return keyWord_.load(); }
    // Closing or losing focus: nothing held any more.
    void clear();

private:
    void clearTicks();

    std::atomic<std::uint32_t> keyWord_{0};
    std::optional<std::uint32_t> enterDown_;
};

}  // namespace ambro::live
