#include "fuzz/targets/FuzzTargets.h"
#include "fuzz/targets/LiveHarness.h"

namespace ambro::fuzz {

int liveHandshake(const std::uint8_t* data, std::size_t size) {
    FuzzInput input(data, size);
    LiveStreams streams;
    const auto command = input.chunk();
    const auto auxiliary = input.chunk();
    const auto video = input.rest();
    streams.command.assign(command.begin(), command.end());
    streams.auxiliary.assign(auxiliary.begin(), auxiliary.end());
    streams.video.assign(video.begin(), video.end());
    runLiveSession(streams, true);
    return 0;
}

int liveVideo(const std::uint8_t* data, std::size_t size) {
    LiveStreams streams;
    streams.command = acceptingCommandStream();
    streams.auxiliary = acceptingStreamHead();
    streams.video = acceptingStreamHead();
    streams.video.insert(streams.video.end(), data, data + size);
    runLiveSession(streams, false);
    return 0;
}

}  // namespace ambro::fuzz
