#pragma once

#include <cstdint>
#include <span>

namespace ambro::playback {

// Where the receiver thread hands what belongs to the picture path, in the
// order it arrives on the wire.
class FrameSink {
public:
    virtual ~FrameSink() = default;
    // An open reply announced the picture size of the file.
    virtual void pictureSizeAnnounced(std::uint32_t width, std::uint32_t height) = 0;
    // One coded picture; the bytes are valid only during the call.
    virtual void frameArrived(std::span<const std::uint8_t> payload) = 0;
    // A frame message whose picture could not be taken out of it.
    virtual void frameRefused() = 0;
};

}  // namespace ambro::playback
