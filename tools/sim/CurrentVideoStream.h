#pragma once

#include <chrono>
#include <cstdint>
#include <map>
#include <memory>

#include "tools/sim/ClientLink.h"
#include "tools/sim/CurrentSession.h"
#include "tools/sim/Installation.h"
#include "tools/sim/VideoSource.h"

namespace ambro::sim {

// The video connection of a current-generation session: one camera status
// record, then, once video is started, 25 pictures a second of every camera
// in the session's channel mask, each behind a 36-byte "eSoR" head. A lost
// camera sends an empty picture every second.
class CurrentVideoStream {
public:
    static constexpr std::uint32_t kVideoMagic = 0x526F5365;  // "eSoR"
    static constexpr std::size_t kHeadSize = 36;
    static constexpr std::size_t kStatusRecordSize = 1200;
    static constexpr std::chrono::milliseconds kFrameInterval{40};
    static constexpr std::chrono::seconds kLostInterval{1};
    // A camera's stream starts this long after it is chosen, as a recorder's
    // does: a client that switches cameras at once never sees the first one.
    static constexpr std::chrono::milliseconds kStartDelay{250};

    CurrentVideoStream(Installation& installation, ClientLink& link,
                       std::shared_ptr<CurrentSession> session);

    void run();

private:
    struct CameraStream {
        std::unique_ptr<VideoSource> source;  // none for a lost camera
        std::uint32_t frameNumber = 0;
        std::chrono::steady_clock::time_point due;
    };

    bool sendStatusRecord();
    void followChannelMask();
    bool sendNextPicture();
    bool sendPicture(int camera, const std::vector<std::uint8_t>& payload, bool key);

    Installation& installation_;
    ClientLink& link_;
    std::shared_ptr<CurrentSession> session_;
    std::map<int, CameraStream> streams_;
    std::uint32_t sequence_ = 0;
};

}  // namespace ambro::sim
