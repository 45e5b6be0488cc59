#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "net/ServerBlocks.h"

namespace ambro::net {

// The kinds of current-generation server the client tells apart, named after
// what sets them apart; every other kind is remembered as Other.
enum class ServerKind : std::int32_t {
    ReducedButtons = 51,    // the live window shows a fixed reduced set of buttons
    SharedCameraName = 62,  // cameras 2 to 32 listed under the first camera's name
    Other = 999,
};

ServerKind rememberedServerKind(std::int32_t kind);

struct CameraEntry {
    int number = 0;  // 1 to 32
    std::string name;
};

// The cameras a session offers, in the order the camera selector lists them.
struct CameraList {
    ServerKind kind = ServerKind::Other;
    std::vector<CameraEntry> cameras;
    // The one-bit channel mask of the first camera (selected at start), or 0.
    std::uint32_t firstCameraMask = 0;

    // Kind-62 servers list cameras 2 to 32 under the name of the first camera
    // record; every other kind lists cameras 1 to 32 under their own names.
    static CameraList fromServer(std::uint32_t channelMask, const ServerDescription& description);
};

}  // namespace ambro::net
