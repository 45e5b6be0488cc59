#pragma once

#include <cstdint>

#include "fuzz/targets/FuzzInput.h"

namespace ambro::fuzz {

// What a current-generation server sends on each of its three connections.
struct LiveStreams {
    Bytes command;
    Bytes auxiliary;
    Bytes video;
};

// The command connection of a handshake that goes through: greeting and the
// replies to key, login, information, description, extra block, the two
// connection checks, video channels, video start and the PTZ description,
// for a kind-51 server with cameras 1 and 3 and one I/O list, whose dome
// model has no description file (loading the shipped ones would take most
// of every run).
Bytes acceptingCommandStream();
// Greeting and accepted login of the auxiliary or video connection.
Bytes acceptingStreamHead();
// One video stream head and its payload.
Bytes videoFrame(std::uint32_t sequence, std::uint8_t sizeCode, std::uint8_t kind,
                 const Bytes& payload);
// The 1200-byte camera status record that starts the video connection.
Bytes cameraStatusRecord(std::uint16_t index);

// Runs a current-generation session against the streams over socket pairs:
// the handshake, the video reader until its stream ends, then (when the
// session was accepted and `requests` is set) a camera choice, an output
// pulse and video off, whose replies follow in the command stream.
void runLiveSession(const LiveStreams& streams, bool requests);

}  // namespace ambro::fuzz
