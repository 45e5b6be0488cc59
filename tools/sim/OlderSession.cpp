#include "tools/sim/OlderSession.h"

#include <algorithm>

#include "tools/sim/LocalTime.h"
#include "tools/sim/VideoSource.h"

namespace ambro::sim {

namespace {

using SteadyClock = std::chrono::steady_clock;
using namespace std::chrono_literals;

constexpr auto kFrameInterval = 40ms;
constexpr auto kLateLimit = 200ms;
constexpr auto kSleepStep = 20ms;
constexpr int kAudioEvery = 5;              // pictures
constexpr std::size_t kAudioBlock = 1600;   // 200 ms of 8 kHz 8-bit sound
constexpr std::size_t kNameBytes = 17;
constexpr int kNamesPerList = 16;
constexpr std::uint32_t kPtzCapabilities = 0x0BFF;   // every dome button, monitoring, I/O
constexpr std::uint32_t kFixedCapabilities = 0x0B00;

enum Code : std::int32_t {
    kHello = 0, kCameraList = 5, kPassword = 6, kKey = 13, kSelect = 14, kModuleCount = 15,
    kFirstCount = 16, kOutputCount = 17, kInputNames = 18, kOutputNames = 19, kAlarmPoll = 20,
    kQuality = 22, kSize = 26, kRotate = 27, kStartAllMonitoring = 28, kStopCurrentMonitoring = 31,
    kCameraStatus = 32, kStream = 36, kClientCheck = 37,
};

struct PictureSize {
    int width;
    int height;
};
constexpr PictureSize kSizes[] = {{320, 240}, {176, 144}, {160, 120}};

int quantiserFor(int quality) {
    return std::clamp(2 + (100 - quality) / 12, 2, 31);
}

VideoSelection selectionOf(std::int32_t code) {
    switch (code) {
        case 32: return {0, 2};
        case 33: return {0, 3};
        case 34: return {0, 4};
        case 35: return {16, 4};
        default: return {code, 1};
    }
}

std::int32_t wordOf(const std::vector<std::uint8_t>& payload, std::size_t offset = 0) {
    return payload.size() >= offset + 4
               ? static_cast<std::int32_t>(platform::loadLe32(payload.data() + offset))
               : 0;
}

}  // namespace

OlderSession::OlderSession(Installation& installation, ClientLink& link)
    : installation_(installation), link_(link) {}

OlderSession::~OlderSession() {
    stopStream();
}

void OlderSession::run() {
    while (auto message = receive()) {
        stopStream();  // any request ends a running stream
        if (!handle(*message)) break;
    }
    stopStream();
}

std::optional<OlderSession::Message> OlderSession::receive() {
    std::uint8_t head[8];
    if (!link_.receiveExactly(head)) return std::nullopt;
    const std::uint32_t length = platform::loadLe32(head + 4);
    if (length > kMaxPayload) {
        installation_.log().detail("older generation: request of length " + std::to_string(length) +
                                   " from " + link_.peer());
        return std::nullopt;
    }
    Message message;
    message.code = static_cast<std::int32_t>(platform::loadLe32(head));
    message.payload.resize(length);
    if (!link_.receiveExactly(message.payload)) return std::nullopt;
    return message;
}

bool OlderSession::send(std::int32_t status, const WireBytes& payload) {
    std::lock_guard lock(sendMutex_);
    return sendLocked(status, payload);
}

bool OlderSession::sendLocked(std::int32_t status, std::span<const std::uint8_t> payload) {
    WireBytes message(8);
    message.put32(0, static_cast<std::uint32_t>(status));
    message.put32(4, static_cast<std::uint32_t>(payload.size()));
    message.append(payload);
    return link_.sendAll(message);
}

bool OlderSession::handleLogIn(const Message& message) {
    if (message.code == kHello) return hello();
    if (message.code == kKey && helloDone_) return sendKey();
    if (message.code == kPassword && key_) return checkPassword(message);
    installation_.log().detail("older generation: request " + std::to_string(message.code) +
                               " before log-in from " + link_.peer());
    send(0, WireBytes());
    return false;
}

// The status of the hello reply is the server version, its payload the view word.
bool OlderSession::hello() {
    helloDone_ = true;
    WireBytes payload;
    payload.put32(0, viewWord());
    if (!installation_.faults().has(FaultKind::AbsurdLength)) return send(kVersion, payload);
    WireBytes absurd(8);
    absurd.put32(0, kVersion);
    absurd.put32(4, 0x7FFFFFF0);
    absurd.append(payload);
    link_.sendAll(absurd);
    link_.drainUntilClosed(std::chrono::minutes(10));
    return false;
}

bool OlderSession::sendKey() {
    key_.emplace(random_);
    WireBytes payload;
    payload.put32(0, key_->modulus());
    payload.put32(4, key_->exponent());
    return send(kFinal, payload);
}

bool OlderSession::checkPassword(const Message& message) {
    const auto credentials = key_->decode(message.payload.data(), message.payload.size());
    loggedIn_ = credentials && !installation_.faults().has(FaultKind::RefusedLogin) &&
                installation_.users().accepts(credentials->user, credentials->password);
    if (loggedIn_) return send(kFinal, WireBytes());
    installation_.log().event("older generation: log-in of \"" +
                              (credentials ? credentials->user : std::string("?")) + "\" from " +
                              link_.peer() + " refused");
    send(0, WireBytes());
    return false;
}

bool OlderSession::handle(const Message& message) {
    if (!loggedIn_) return handleLogIn(message);
    const std::int32_t word = wordOf(message.payload);
    switch (message.code) {
        case kCameraList: return send(kFinal, cameraList());
        case kSelect: return selectCamera(word);
        case kAlarmPoll: return send(kFinal, alarmPoll());
        case kQuality: quality_ = std::clamp(word, 1, 100); break;
        case kSize:
            if (word >= 0 && word <= 2) sizeIndex_ = word;
            break;
        case kRotate: rotated_ = word != 0; break;
        case kCameraStatus: return send(kFinal, cameraStatus());
        case kStream:
            startStream();
            return true;
        case kClientCheck:
            if (installation_.faults().has(FaultKind::ClientRejected)) {
                installation_.log().event("older generation: rejecting the client " + link_.peer() +
                                          " (fault client-rejected)");
                send(0, WireBytes());
                return false;
            }
            break;
        default:
            if (message.code >= kModuleCount && message.code <= kOutputNames) return handleIo(message);
            if (message.code >= kStartAllMonitoring && message.code <= kStopCurrentMonitoring) {
                installation_.log().detail("older generation: monitoring request " +
                                           std::to_string(message.code));
            } else if (message.code != kHello) {
                installation_.log().detail("older generation: unknown request " +
                                           std::to_string(message.code));
            }
            break;
    }
    return send(kFinal, WireBytes());
}

bool OlderSession::handleIo(const Message& message) {
    const auto& modules = installation_.io().modules();
    WireBytes payload;
    if (message.code == kModuleCount) {
        payload.put16(0, static_cast<std::uint16_t>(modules.size()));
        payload.put16(2, 0);
        return send(kFinal, payload);
    }
    const int module = message.payload.size() >= 2 ? platform::loadLe16(message.payload.data()) : 0;
    if (module < 1 || module > static_cast<int>(modules.size())) return send(kFinal, payload);
    const IoModule& io = modules[static_cast<std::size_t>(module - 1)];
    switch (message.code) {
        case kFirstCount: payload.put32(0, static_cast<std::uint32_t>(io.inputs.size())); break;
        case kOutputCount: payload.put32(0, static_cast<std::uint32_t>(io.outputs.size())); break;
        default: {
            const auto& names = message.code == kInputNames ? io.inputs : io.outputs;
            payload = WireBytes(kNameBytes * kNamesPerList);
            for (std::size_t i = 0; i < names.size() && i < kNamesPerList; ++i) {
                payload.putText(kNameBytes * i, names[i], kNameBytes);
            }
        }
    }
    return send(kFinal, payload);
}

bool OlderSession::selectCamera(std::int32_t code) {
    const CameraCatalogue& cameras = installation_.cameras();
    WireBytes words(28);
    const bool view = code >= 32 && code <= 35;
    if (view || cameras.exists(code)) {
        selection_ = code;
        const bool dome = !view && cameras.camera(code).hasDome();
        words.put32(0, static_cast<std::uint32_t>(code));
        words.put32(4, dome ? 1 : 0);
        words.put32(16, !view && cameras.camera(code).audio ? 1 : 0);
        words.put32(20, dome ? kPtzCapabilities : kFixedCapabilities);
        words.put32(24, dome ? DomeModel::kPresets : 0);
    } else {
        selection_.reset();
        words.put32(0, 0xFFFFFFFF);
    }
    return send(kFinal, words);
}

std::uint32_t OlderSession::viewWord() const {
    const int count = installation_.cameras().count();
    return (count >= 2 ? 1u : 0u) | (count >= 3 ? 2u : 0u) | (count >= 5 ? 4u : 0u) |
           (count >= 17 ? 8u : 0u);
}

WireBytes OlderSession::cameraList() const {
    const CameraCatalogue& cameras = installation_.cameras();
    WireBytes list(static_cast<std::size_t>(kTableEntries) * (64 + 4));
    for (int i = 0; i < cameras.count(); ++i) {
        list.putText(64 * static_cast<std::size_t>(i), cameras.camera(i).name, 64);
        list.put32(64 * kTableEntries + 4 * static_cast<std::size_t>(i), 1);
    }
    return list;
}

WireBytes OlderSession::cameraStatus() const {
    const CameraCatalogue& cameras = installation_.cameras();
    WireBytes table(64);
    for (int i = 0; i < 32; ++i) {
        const auto status = cameras.exists(i) ? cameras.camera(i).status : CameraStatus::Inactive;
        table.put8(static_cast<std::size_t>(i), static_cast<std::uint8_t>(status));
    }
    return table;
}

// Input masks at 4, the time of the alarm at 22 (year 0: nothing new).
WireBytes OlderSession::alarmPoll() {
    const TimePoint now = Clock::now();
    WireBytes reply(38);
    reply.put32(0, static_cast<std::uint32_t>(installation_.io().modules().size()));
    if (const auto alarm = alarms_.poll(installation_.io(), now)) {
        for (std::size_t module = 0; module < alarm->masks.size(); ++module) {
            reply.put16(4 + 2 * module, alarm->masks[module]);
        }
        std::uint8_t time[DateTime::kSize];
        alarm->time.toBytes(time);
        reply.putBytes(22, time);
    }
    return reply;
}

void OlderSession::startStream() {
    if (!selection_) return;
    streaming_ = true;
    streamer_ = std::thread([this] { stream(); });
}

void OlderSession::stopStream() {
    streaming_ = false;
    if (streamer_.joinable()) streamer_.join();
}

void OlderSession::stream() {
    const VideoSelection selection = selectionOf(*selection_);
    const PictureSize size = kSizes[sizeIndex_];
    VideoSource source(installation_.synthesiser(), installation_.cameras(), selection,
                       {size.width, size.height, rotated_},
                       VideoOptions{installation_.faults().has(FaultKind::Garbage), std::nullopt, true});
    source.setQuantiser(quantiserFor(quality_));
    source.setPayloadLimit(kSlotBytes);
    const bool audio = selection.grid == 1 && installation_.cameras().camera(selection.camera).audio;
    auto due = SteadyClock::now();
    for (std::uint32_t frame = 0; streaming_ && !link_.stopping();) {
        const auto now = SteadyClock::now();
        if (now < due) {
            std::this_thread::sleep_for(std::min<SteadyClock::duration>(due - now, kSleepStep));
            continue;
        }
        due += kFrameInterval;
        if (due < now - kLateLimit) due = now;
        const SceneMoment moment{Clock::now(), now, true};
        const auto picture = source.next(moment, frame);
        if (!picture) continue;
        if (audio && frame % kAudioEvery == 0 && !sendAudio()) return;
        ++frame;
        if (!sendPicture(picture->payload, localDateTime(moment.wallTime))) return;
    }
}

bool OlderSession::sendPicture(const std::vector<std::uint8_t>& payload, const DateTime& time) {
    std::lock_guard lock(sendMutex_);
    WireBytes header(20);
    header.put32(0, static_cast<std::uint32_t>(payload.size()));
    std::uint8_t stamp[DateTime::kSize];
    time.toBytes(stamp);
    header.putBytes(4, stamp);
    if (!sendLocked(kVideo, header)) return false;
    const std::span<const std::uint8_t> bytes(payload);
    if (installation_.faults().has(FaultKind::CloseMidMessage) && !firstPictureSent_) {
        WireBytes cut(8);
        cut.put32(0, kVideo);
        cut.put32(4, static_cast<std::uint32_t>(bytes.size()));
        cut.append(bytes.first(bytes.size() / 2));
        link_.sendAll(cut);
        installation_.log().event("closing the connection of " + link_.peer() +
                                  " in the middle of a picture (fault close-mid-message)");
        link_.shutdown();
        return false;
    }
    firstPictureSent_ = true;
    for (std::size_t done = 0; done < bytes.size(); done += kDataPacket) {
        if (!sendLocked(kVideo, bytes.subspan(done, std::min(kDataPacket, bytes.size() - done)))) {
            return false;
        }
    }
    return true;
}

// A block of a quiet 400 Hz tone, 8 kHz 8-bit: collected by clients, not played.
bool OlderSession::sendAudio() {
    std::lock_guard lock(sendMutex_);
    WireBytes header(4);
    header.put32(0, static_cast<std::uint32_t>(kAudioBlock));
    std::vector<std::uint8_t> block(kAudioBlock);
    for (std::size_t i = 0; i < block.size(); ++i) {
        block[i] = static_cast<std::uint8_t>(128 + ((i / 10) % 2 ? 12 : -12));
    }
    return sendLocked(kAudio, header) && sendLocked(kAudio, block);
}

}  // namespace ambro::sim
