#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>
#include <optional>
#include <random>
#include <thread>
#include <vector>

#include "tools/sim/ClientLink.h"
#include "tools/sim/Installation.h"
#include "tools/sim/IoModel.h"
#include "tools/sim/ModularKey.h"
#include "tools/sim/WireBytes.h"

namespace ambro::sim {

// The older generation's request/reply protocol on the connection that
// received the greeting: messages of code (or status), length and payload.
// After the log-in (hello, key, password, I/O module tables, client check)
// the client selects cameras or views, sets picture size, rotation and
// quality, polls camera status and alarms, and starts the stream (36), which
// runs on a thread of its own until the client's next request: per picture a
// header packet (status 41: length and time stamp), then data packets.
class OlderSession {
public:
    static constexpr std::int32_t kVersion = 8300;
    static constexpr std::int32_t kFinal = 255;
    static constexpr std::int32_t kVideo = 41;
    static constexpr std::int32_t kAudio = 40;
    static constexpr std::uint32_t kMaxPayload = 40951;
    static constexpr std::size_t kSlotBytes = 16384;  // a client's frame slot
    static constexpr std::size_t kDataPacket = 8192;
    static constexpr int kTableEntries = 64;

    OlderSession(Installation& installation, ClientLink& link);
    ~OlderSession();
    OlderSession(const OlderSession&) = delete;
    OlderSession& operator=(const OlderSession&) = delete;

    void run();

private:
    struct Message {
        std::int32_t code = 0;
        std::vector<std::uint8_t> payload;
    };

    std::optional<Message> receive();
    bool send(std::int32_t status, const WireBytes& payload);
    bool sendLocked(std::int32_t status, std::span<const std::uint8_t> payload);
    bool handle(const Message& message);
    bool handleLogIn(const Message& message);
    bool hello();
    bool sendKey();
    bool checkPassword(const Message& message);
    bool handleIo(const Message& message);
    bool selectCamera(std::int32_t code);
    WireBytes cameraList() const;
    WireBytes cameraStatus() const;
    WireBytes alarmPoll();
    std::uint32_t viewWord() const;

    void startStream();
    void stopStream();
    void stream();
    bool sendPicture(const std::vector<std::uint8_t>& payload, const DateTime& time);
    bool sendAudio();

    Installation& installation_;
    ClientLink& link_;
    std::mt19937 random_{std::random_device{}()};
    std::optional<ModularKey> key_;
    bool helloDone_ = false;
    bool loggedIn_ = false;
    AlarmWatch alarms_;

    // What the stream shows; set by requests while no stream runs.
    std::optional<std::int32_t> selection_;  // camera index, or view code 32 to 35
    int sizeIndex_ = 1;                      // 0: 320 x 240, 1: 176 x 144, 2: 160 x 120
    bool rotated_ = false;
    int quality_ = 50;

    std::mutex sendMutex_;
    std::atomic<bool> streaming_{false};
    std::thread streamer_;
    bool firstPictureSent_ = false;
};

}  // namespace ambro::sim
