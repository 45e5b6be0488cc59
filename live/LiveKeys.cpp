#include "live/LiveKeys.h"

namespace ambro::live {

namespace {

bool isEnter(LiveKey key) { return key == LiveKey::Enter || key == LiveKey::Action; }

std::optional<std::uint32_t> arrowWord(LiveKey key) {
    switch (key) {
        case LiveKey::Up: return kKeyWordUp;
        case LiveKey::Down: return kKeyWordDown;
        case LiveKey::Left: return kKeyWordLeft;
        case LiveKey::Right: return kKeyWordRight;
        default: return std::nullopt;
    }
}

}  // namespace

KeyDownResult LiveKeys::keyDown(LiveKey key, std::uint32_t now, bool autoRepeat) {
    if (const auto word = arrowWord(key)) {
        keyWord_ = *word;
        return {true, key};
    }
    if (isEnter(key)) {
        if (!autoRepeat) enterDown_ = now;
        return {true, std::nullopt};
    }
    enterDown_.reset();
    return {};
}

// Every Enter key up ends the press: a long press that has not reached the
// hold time yet must not turn into "home" after the key was let go.
bool LiveKeys::keyUp(LiveKey key, std::uint32_t now) {
    if (!isEnter(key)) {
        keyWord_ = 0;
        clearTicks();
        return false;
    }
    const bool shortPress = enterDown_ && now - *enterDown_ <= kShortPressMs;
    clearTicks();
    return shortPress;
}

bool LiveKeys::timerTick(std::uint32_t now) {
    if (!enterDown_ || now - *enterDown_ <= kHoldMs) return false;
    keyWord_ = kKeyWordHome;
    clearTicks();
    return true;
}

std::optional<ptz::DomeAction> LiveKeys::takeKeyCommand() {
    std::uint32_t word = keyWord_.load();
    if (word & kKeyWordUp) return ptz::DomeAction::TiltUp;
    if (word & kKeyWordDown) return ptz::DomeAction::TiltDown;
    if (word & kKeyWordLeft) return ptz::DomeAction::PanLeft;
    if (word & kKeyWordRight) return ptz::DomeAction::PanRight;
    if ((word & kKeyWordHome) && keyWord_.compare_exchange_strong(word, 0)) {
        return ptz::DomeAction::Home;
    }
    return std::nullopt;
}

void LiveKeys::clear() {
    keyWord_ = 0;
    clearTicks();
}

void LiveKeys::clearTicks() { enterDown_.reset(); }

}  // namespace ambro::live
