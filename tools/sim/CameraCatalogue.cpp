#include "tools/sim/CameraCatalogue.h"

#include <array>

namespace ambro::sim {

namespace {

constexpr std::array<const char*, 32> kNames = {
    "Entrance",     "Car Park",    "Lobby",       "Loading Bay", "Stairs",      "Warehouse",
    "Yard",         "Back Door",   "Reception",   "Corridor 1",  "Corridor 2",  "Office",
    "Server Room",  "Canteen",     "Gate",        "Fence North", "Fence South", "Roof",
    "Garage",       "Workshop",    "Store 1",     "Store 2",     "Lift",        "Basement",
    "Meeting Room", "Kitchen",     "Dock 1",      "Dock 2",      "Parking 2",   "Exit East",
    "Exit West",    "Tower",
};

constexpr std::array<ContainerKind, 5> kPlainKinds = {
    ContainerKind::UnmarkedChained, ContainerKind::ChecksumMarkerBlocks,
    ContainerKind::ChecksumMarker, ContainerKind::NoChecksumMarker, ContainerKind::ChecksumMarker,
};

CameraSetup featuredCamera(int number) {
    CameraSetup setup;
    setup.number = number;
    setup.name = kNames[static_cast<std::size_t>(number - 1)];
    switch (number) {
        case 1:
            setup.dome = DomeProtocol::PelcoD;
            setup.container = ContainerKind::UnmarkedChained;
            break;
        case 2:
            setup.dome = DomeProtocol::PelcoP;
            setup.status = CameraStatus::Recording;
            setup.container = ContainerKind::ChecksumMarkerBlocks;
            setup.audio = true;
            break;
        case 3:
            setup.dome = DomeProtocol::Visca;
            setup.container = ContainerKind::ChecksumMarker;
            break;
        case 4:
            // The masks and the extended headers stay in force in a client's
            // decoder, so this camera has a picture size of its own.
            setup.container = ContainerKind::ExtendedHeader;
            setup.sizeCode = 4;
            setup.privacyMasks = {{0.58, 0.20, 0.30, 0.25}, {0.08, 0.56, 0.22, 0.26}};
            break;
        case 5: setup.container = ContainerKind::NoChecksumMarker; break;
        case 6: setup.container = ContainerKind::ChecksumMarkerBlocks; break;
        case 7:
            // A flip tail stays in force too: a size of its own as well.
            setup.container = ContainerKind::FlipTail;
            setup.sizeCode = 23;
            break;
        case 8:
            setup.status = CameraStatus::Lost;
            setup.container = ContainerKind::ChecksumMarker;
            break;
        default:
            setup.container = kPlainKinds[static_cast<std::size_t>(number) % kPlainKinds.size()];
            break;
    }
    return setup;
}

}  // namespace

std::optional<ImageSizeCode> ImageSizeCode::ofCode(int code) {
    static constexpr std::array<ImageSizeCode, 6> kTable = {{
        {2, 160, 120, true}, {4, 320, 240, false}, {21, 176, 144, true},
        {22, 176, 112, true}, {23, 352, 240, false}, {24, 352, 288, false},
    }};
    for (const auto& size : kTable) {
        if (size.code == code) return size;
    }
    return std::nullopt;
}

CameraCatalogue::CameraCatalogue(int count, int sizeCode) {
    for (int number = 1; number <= count && number <= 32; ++number) {
        CameraSetup camera = featuredCamera(number);
        if (camera.sizeCode == kDefaultSizeCode) camera.sizeCode = sizeCode;
        cameras_.push_back(camera);
    }
}

std::uint32_t CameraCatalogue::channelMask() const {
    return count() >= 32 ? 0xFFFFFFFFu : (1u << count()) - 1;
}

std::string CameraCatalogue::domeModelName(DomeProtocol protocol) {
    switch (protocol) {
        case DomeProtocol::PelcoD: return "Pelco-D";
        case DomeProtocol::PelcoP: return "Pelco-P";
        case DomeProtocol::Visca: return "VISCA";
        case DomeProtocol::None: break;
    }
    return "";
}

std::uint8_t CameraCatalogue::domeAddressCode(DomeProtocol protocol) {
    switch (protocol) {
        case DomeProtocol::PelcoD: return 0x01;
        case DomeProtocol::PelcoP: return 0x00;  // Pelco-P counts addresses from 0
        case DomeProtocol::Visca: return 0x81;
        case DomeProtocol::None: break;
    }
    return 0;
}

}  // namespace ambro::sim
