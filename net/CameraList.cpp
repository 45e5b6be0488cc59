#include "net/CameraList.h"

#include <span>

#include "net/FixedText.h"

namespace ambro::net {

namespace {

constexpr std::size_t kCameraRecordsOffset = 28;
constexpr std::size_t kCameraRecordSize = 44;
constexpr std::size_t kCameraNameOffset = 12;
constexpr int kCameraCount = 32;

std::string cameraRecordName(const ServerDescription& description, int recordIndex) {
    const std::size_t offset =
        kCameraRecordsOffset + recordIndex * kCameraRecordSize + kCameraNameOffset;
    return fixedText(std::span(description).subspan(offset, kCameraRecordSize - kCameraNameOffset));
}

}  // namespace

ServerKind rememberedServerKind(std::int32_t kind) {
    if (kind == 62) return ServerKind::SharedCameraName;
    if (kind == 51) return ServerKind::ReducedButtons;
    return ServerKind::Other;
}

CameraList CameraList::fromServer(std::uint32_t channelMask, const ServerDescription& description) {
    CameraList list;
    list.kind = rememberedServerKind(serverKindOf(description));
    const bool sharedName = list.kind == ServerKind::SharedCameraName;
    const int firstBit = sharedName ? 1 : 0;
    for (int bit = firstBit; bit < kCameraCount; ++bit) {
        const std::uint32_t cameraMask = 1u << bit;
        if ((channelMask & cameraMask) == 0) continue;
        list.cameras.push_back({bit + 1, cameraRecordName(description, sharedName ? 0 : bit)});
        if (list.firstCameraMask == 0) list.firstCameraMask = cameraMask;
    }
    return list;
}

}  // namespace ambro::net
