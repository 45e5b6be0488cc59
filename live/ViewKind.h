#pragma once

#include <array>
#include <cstdint>
#include <optional>

namespace ambro::live {

// The multi-camera pictures a server composes, in the order of the view word
// bits and of the camera list entries.
enum class ViewKind { FourChannel = 0, NineChannel = 1, First16Channel = 2, Second16Channel = 3 };

inline constexpr std::array<ViewKind, 4> kViewKinds = {
    ViewKind::FourChannel, ViewKind::NineChannel, ViewKind::First16Channel,
    ViewKind::Second16Channel};

inline constexpr const char* viewName(ViewKind view) {
    constexpr const char* kNames[] = {"4 Channel", "9 Channel", "1~16 Channel", "17~32 Channel"};
    return kNames[static_cast<int>(view)];
}

// The camera-select code that asks the server for the view.
inline constexpr std::int32_t viewCode(ViewKind view) { return 32 + static_cast<int>(view); }

// Cells per row and column of the view's grid.
inline constexpr int gridSize(ViewKind view) {
    constexpr int kSizes[] = {2, 3, 4, 4};
    return kSizes[static_cast<int>(view)];
}

// The camera index (0-based) that the view's cell 0 shows.
inline constexpr int firstCameraOf(ViewKind view) {
    return view == ViewKind::Second16Channel ? 16 : 0;
}

inline constexpr bool viewWordHas(std::uint32_t viewWord, ViewKind view) {
    return (viewWord >> static_cast<int>(view)) & 1u;
}

}  // namespace ambro::live
