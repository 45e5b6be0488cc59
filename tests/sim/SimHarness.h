#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "tools/sim/Simulator.h"
#include "tools/sim/YuvPicture.h"

namespace ambro::test {

using Bytes = std::vector<std::uint8_t>;

// A simulated installation running in the test's process on 127.0.0.1 with
// free ports, its log kept for the test to read.
class SimHarness {
public:
    explicit SimHarness(std::vector<sim::FaultKind> faults = {});
    // Options changed by `adjust` from those of a default harness.
    explicit SimHarness(const std::function<void(sim::SimOptions&)>& adjust);
    ~SimHarness();

    sim::Simulator& simulator() { return *simulator_; }
    sim::Installation& installation() { return simulator_->installation(); }
    std::uint16_t currentPort() const { return *simulator_->ports().liveCurrent; }
    std::uint16_t olderPort() const { return *simulator_->ports().liveOlder; }
    std::uint16_t playbackPort() const { return *simulator_->ports().playback; }

    std::vector<std::string> log() const;
    // Waits (bounded) for a log line holding `fragment`.
    bool waitForLog(const std::string& fragment, std::chrono::milliseconds timeout) const;

private:
    void start(const sim::SimOptions& options);

    mutable std::mutex mutex_;
    std::vector<std::string> lines_;
    sim::SimLog log_;
    std::unique_ptr<sim::Simulator> simulator_;
};

// A client socket to 127.0.0.1 whose receives give up after kTimeout.
class TestSocket {
public:
    static constexpr std::chrono::seconds kTimeout{10};

    explicit TestSocket(std::uint16_t port);
    ~TestSocket();
    TestSocket(const TestSocket&) = delete;
    TestSocket& operator=(const TestSocket&) = delete;

    bool connected() const { return socket_ >= 0; }
    bool send(std::span<const std::uint8_t> bytes);
    std::optional<Bytes> receive(std::size_t count);
    std::optional<std::uint32_t> receiveLe32();
    // Bytes that arrive within the time, without waiting for more.
    Bytes receiveAvailable(std::chrono::milliseconds wait);
    // True when the server closes within the time; what it sent meanwhile is
    // dropped.
    bool closedWithin(std::chrono::milliseconds timeout);
    // Makes the coming close a reset, as a client that crashes gives.
    void resetOnClose();

private:
    int socket_ = -1;
};

// A decoded picture: 24-bit BGR rows, bottom-up as the client's decoder
// leaves them; the accessors count rows from the top as the picture is seen.
struct DecodedPicture {
    int width = 0;
    int height = 0;
    Bytes bgr;

    const std::uint8_t* pixel(int x, int yFromTop) const;
    // The mean of blue minus red over a band of rows seen from the top.
    double blueness(int firstRow, int rows) const;
    // Every pixel inside the rectangle (seen from the top) is black.
    bool blackInside(const sim::PixelRect& rect) const;
    int blackPixels(const sim::PixelRect& rect) const;
};

// The sky is at the top of every simulated camera picture, the road at the
// bottom: a picture shown the right way up is bluer at the top.
bool upright(const DecodedPicture& picture);
double meanDifference(const DecodedPicture& a, const DecodedPicture& b);

}  // namespace ambro::test
