#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

#include "fuzz/targets/FuzzInput.h"

namespace ambro::fuzz {

// The fuzzing entry points. Each takes one input, runs it through the code
// under test and returns 0; a broken invariant aborts. They run the same
// under libFuzzer and in the regression tests.

// Frame payloads through the container and FrameDecoder: byte 0 picks the
// picture size, byte 1 the output kind and the mask rule, then payloads as
// chunks.
int frameContainer(const std::uint8_t* data, std::size_t size);
// A dome model name (chunk), "Info.ini" (chunk) and one description file
// (the rest), loaded from a PTZ folder by PtzProtocol, every packet built.
// Bytes 0 to 2: address number, speed level and the description's file
// name (a plain one or one of the two dialects).
int ptzDescription(const std::uint8_t* data, std::size_t size);
// A current-generation server: the command connection's bytes (chunk), the
// auxiliary connection's (chunk) and the video connection's (the rest),
// through the whole handshake, the video reader and a few requests.
int liveHandshake(const std::uint8_t* data, std::size_t size);
// The video connection alone, after a handshake that goes through: the
// camera status record, stream heads and frames.
int liveVideo(const std::uint8_t* data, std::size_t size);
// An older-generation server's session socket: byte 0 the command posted
// before the session starts, byte 1 its word, byte 2 the I/O monitor; the
// rest is what the server sends.
int olderSession(const std::uint8_t* data, std::size_t size);
// Playback messages as whole messages (chunks) through every reply parser.
int playbackReplies(const std::uint8_t* data, std::size_t size);
// The playback connection's receiver thread reading the server's bytes (the
// rest after byte 0), filing replies and handing frames to the picture path.
int playbackReceiver(const std::uint8_t* data, std::size_t size);
// Pictures of any size from 1 x 1 to 4096 x 4096 with any stride through the
// snapshot encoder into its worst-case buffer.
int snapshotEncoder(const std::uint8_t* data, std::size_t size);

using Entry = int (*)(const std::uint8_t*, std::size_t);

struct Target {
    const char* name;
    Entry run;
    // Inputs to start from, made from the tests' fixtures and helpers.
    std::vector<Bytes> (*seeds)();
};

const std::vector<Target>& targets();
const Target* findTarget(std::string_view name);

// Ends the process the way a fuzzer reports a finding.
[[noreturn]] void broken(const char* what);

}  // namespace ambro::fuzz
