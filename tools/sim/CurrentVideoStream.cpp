#include "tools/sim/CurrentVideoStream.h"

#include "tools/sim/WireBytes.h"

namespace ambro::sim {

namespace {

using SteadyClock = std::chrono::steady_clock;
constexpr std::chrono::milliseconds kIdleWait{100};
constexpr std::chrono::milliseconds kLateLimit{200};

}  // namespace

CurrentVideoStream::CurrentVideoStream(Installation& installation, ClientLink& link,
                                       std::shared_ptr<CurrentSession> session)
    : installation_(installation), link_(link), session_(std::move(session)) {}

void CurrentVideoStream::run() {
    if (!sendStatusRecord()) return;
    while (session_->open() && !link_.stopping()) {
        followChannelMask();
        if (streams_.empty() || !session_->videoStarted()) {
            session_->waitUntil(SteadyClock::now() + kIdleWait);
            continue;
        }
        if (!sendNextPicture()) return;
    }
}

// One record: the status code of every camera, camera 1 first, at offset 16.
bool CurrentVideoStream::sendStatusRecord() {
    WireBytes record(kStatusRecordSize);
    record.putText(0, "CAMSTATE", 12);
    record.put16(12, 0);
    const CameraCatalogue& cameras = installation_.cameras();
    record.put32(14, static_cast<std::uint32_t>(cameras.count()));
    for (int i = 0; i < cameras.count(); ++i) {
        record.put8(18 + static_cast<std::size_t>(i), static_cast<std::uint8_t>(cameras.camera(i).status));
    }
    return link_.sendAll(record);
}

void CurrentVideoStream::followChannelMask() {
    const std::uint32_t mask = session_->channelMask();
    for (auto it = streams_.begin(); it != streams_.end();) {
        it = (mask & (1u << it->first)) ? std::next(it) : streams_.erase(it);
    }
    const CameraCatalogue& cameras = installation_.cameras();
    for (int camera = 0; camera < cameras.count(); ++camera) {
        if (!(mask & (1u << camera)) || streams_.count(camera)) continue;
        CameraStream stream;
        stream.due = SteadyClock::now() + kStartDelay;
        const CameraSetup& setup = cameras.camera(camera);
        if (!setup.lost()) {
            const auto size = ImageSizeCode::ofCode(setup.sizeCode);
            stream.source = std::make_unique<VideoSource>(
                installation_.synthesiser(), cameras, VideoSelection{camera, 1},
                VideoFormat{size->width, size->height, false},
                VideoOptions{installation_.faults().has(FaultKind::Garbage), std::nullopt, true});
        }
        streams_.emplace(camera, std::move(stream));
    }
}

bool CurrentVideoStream::sendNextPicture() {
    auto next = streams_.begin();
    for (auto it = streams_.begin(); it != streams_.end(); ++it) {
        if (it->second.due < next->second.due) next = it;
    }
    CameraStream& stream = next->second;
    if (SteadyClock::now() < stream.due) {
        session_->waitUntil(stream.due);
        return true;  // the mask may have changed meanwhile
    }
    const auto now = SteadyClock::now();
    stream.due += stream.source ? std::chrono::duration_cast<SteadyClock::duration>(kFrameInterval)
                                : std::chrono::duration_cast<SteadyClock::duration>(kLostInterval);
    // A stream that fell behind (a slow client) skips pictures rather than
    // sending a burst of old ones.
    if (stream.due < now - kLateLimit) stream.due = now;
    if (!stream.source) return sendPicture(next->first, {}, true);
    const SceneMoment moment{Clock::now(), now, true};
    const auto frame = stream.source->next(moment, stream.frameNumber++);
    if (!frame) return true;
    return sendPicture(next->first, frame->payload, frame->key);
}

bool CurrentVideoStream::sendPicture(int camera, const std::vector<std::uint8_t>& payload,
                                     bool key) {
    const CameraSetup& setup = installation_.cameras().camera(camera);
    WireBytes head(kHeadSize);
    head.put32(0, kVideoMagic);
    head.put32(4, static_cast<std::uint32_t>(kHeadSize + payload.size()));
    head.put32(8, static_cast<std::uint32_t>(camera));
    head.put32(12, static_cast<std::uint32_t>(
                       std::chrono::duration_cast<std::chrono::milliseconds>(
                           SteadyClock::now().time_since_epoch()).count()));
    head.put32(16, ++sequence_);
    const DateTime time = localDateTime(Clock::now());
    const std::uint16_t fields[] = {time.year, time.month, time.day, time.hour, time.minute, time.second};
    for (std::size_t i = 0; i < 6; ++i) head.put16(20 + 2 * i, fields[i]);
    head.put8(32, static_cast<std::uint8_t>(setup.sizeCode));
    head.put8(33, static_cast<std::uint8_t>(camera + 1));
    head.put8(34, key ? 0 : 1);
    if (!payload.empty() && installation_.faults().has(FaultKind::CloseMidMessage) &&
        session_->takeFirstPicture()) {
        head.append(std::span(payload).first(payload.size() / 2));
        link_.sendAll(head);
        installation_.log().event("closing the video connection of " + link_.peer() +
                                  " in the middle of a picture (fault close-mid-message)");
        session_->close();
        return false;
    }
    head.append(payload);
    return link_.sendAll(head);
}

}  // namespace ambro::sim
