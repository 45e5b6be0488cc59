#pragma once

#include <cstdint>
#include <optional>
#include <span>

#include "tools/sim/CameraCatalogue.h"
#include "tools/sim/DomeModel.h"

namespace ambro::sim {

// Reads the serial bytes a client passes through to a dome, by the public
// byte layouts of the protocols: Pelco-D (FF, address, command 1, command 2,
// data 1, data 2, sum), Pelco-P (A0, address, four data bytes, AF, exclusive
// or) and VISCA (8x ... FF). Bytes for another address, with a wrong check
// byte, or with a command the domes do not know give none.
class DomeCommandDecoder {
public:
    static std::optional<DomeCommand> decode(DomeProtocol protocol, std::uint8_t address,
                                             std::span<const std::uint8_t> bytes);

    // An older-generation camera command code with its parameter and speed
    // (1 to 5).
    static std::optional<DomeCommand> decodeCameraCommand(int code, int parameter, int speed);

private:
    static std::optional<DomeCommand> pelcoD(std::uint8_t address, std::span<const std::uint8_t> bytes);
    static std::optional<DomeCommand> pelcoP(std::uint8_t address, std::span<const std::uint8_t> bytes);
    static std::optional<DomeCommand> visca(std::uint8_t address, std::span<const std::uint8_t> bytes);
};

}  // namespace ambro::sim
