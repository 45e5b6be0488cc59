#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace ambro::sim {

// Camera status codes as both live generations report them.
enum class CameraStatus : std::uint8_t {
    Normal = 0, Inactive = 1, Lost = 2, Recording = 3, ConnectionLost = 4,
};

enum class DomeProtocol { None, PelcoD, PelcoP, Visca };

// How a camera's pictures are wrapped in the frame container.
enum class ContainerKind {
    UnmarkedChained,      // no marker; closing word, padding, chain blocks, chain head
    ChecksumMarkerBlocks, // 0A 0B 0C 0D xx; padding, and an authentication block when large
    ChecksumMarker,       // 0F 10 11 12 13
    NoChecksumMarker,     // 05 06 07 08 09; padding
    ExtendedHeader,       // 00 01 02 03 04, alternating with unmarked pictures whose closing
                          // word is their checksum; the VOL headers carry 40 extra bits
    FlipTail,             // no marker; coded top row first, flip tail at the end
};

// A rectangle as fractions of the picture (or cell) it lies in, top-down.
struct FractionRect {
    double left = 0;
    double top = 0;
    double width = 0;
    double height = 0;
};

// One picture size of the current generation's image-size code table.
struct ImageSizeCode {
    int code = 0;
    int width = 0;
    int height = 0;
    bool rowsDoubled = false;  // the client copies each even row over the next

    static std::optional<ImageSizeCode> ofCode(int code);
};

struct CameraSetup {
    int number = 0;  // 1-based
    std::string name;
    CameraStatus status = CameraStatus::Normal;
    DomeProtocol dome = DomeProtocol::None;
    ContainerKind container = ContainerKind::ChecksumMarker;
    int sizeCode = 24;  // current-generation picture size
    bool audio = false;
    std::vector<FractionRect> privacyMasks;

    bool hasDome() const { return dome != DomeProtocol::None; }
    bool lost() const { return status == CameraStatus::Lost; }
};

// The cameras of the simulated installation. The first eight each show one
// feature (a dome of each protocol, masks, a flip tail, a lost camera, ...);
// further cameras repeat the plain container kinds.
class CameraCatalogue {
public:
    static constexpr int kDefaultSizeCode = 24;  // 352 x 288

    // `sizeCode` is the picture size of the cameras without a size of their
    // own (those with masks or a flip tail keep theirs).
    explicit CameraCatalogue(int count, int sizeCode = kDefaultSizeCode);

    int count() const { return static_cast<int>(cameras_.size()); }
    const CameraSetup& camera(int index) const { return cameras_.at(static_cast<std::size_t>(index)); }
    bool exists(int index) const { return index >= 0 && index < count(); }
    // Bit i set when camera i + 1 exists.
    std::uint32_t channelMask() const;

    // The dome model name a server reports, looked up by clients in Info.ini.
    static std::string domeModelName(DomeProtocol protocol);
    // The address code a dome of this protocol answers to (address number 1).
    static std::uint8_t domeAddressCode(DomeProtocol protocol);

private:
    std::vector<CameraSetup> cameras_;
};

}  // namespace ambro::sim
