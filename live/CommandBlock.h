#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <initializer_list>

namespace ambro::live {

// A command for an older-generation server as the window hands it to the
// session thread: the code, the payload length in bytes and up to 120
// payload bytes, of which the handlers fill the first one or two words.
struct CommandBlock {
    static constexpr std::size_t kPayloadSize = 120;

    std::int32_t code = 0;
    std::int32_t length = 0;
    std::array<std::uint8_t, kPayloadSize> payload{};

    // A block whose payload is these little-endian int32 words.
    static CommandBlock withWords(std::int32_t code, std::initializer_list<std::int32_t> words);
    // Word i of the payload, 0 beyond the length given.
    std::int32_t word(std::size_t index) const;
};

// The mailbox command codes of the live view.
enum MailboxCode : std::int32_t {
    kCameraListCode = 5,
    kCameraSelectCode = 14,
    kQualityCode = 22,
    kImageSizeCode = 26,
    kRotationCode = 27,
    kStartAllMonitoringCode = 28,
    kCurrentCameraMonitoringCode = 29,
    kStopAllMonitoringCode = 30,
    kStopCurrentCameraMonitoringCode = 31,
    kCameraStatusCode = 32,
};

}  // namespace ambro::live
