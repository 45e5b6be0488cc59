#include "tools/sim/PlaybackSession.h"

#include <thread>

#include "tools/sim/LocalTime.h"

namespace ambro::sim {

namespace {

using namespace std::chrono_literals;

constexpr std::chrono::minutes kDrainLimit{10};
constexpr std::uint8_t kOutdatedVersion = 4;
constexpr std::uint32_t kAbsurdLength = 0x40000000;
constexpr std::size_t kMaxIndices = 10;
constexpr std::size_t kNameField = 36;

enum Group : std::uint8_t { kFile = 0, kSession = 4, kDatabase = 5 };
enum FileCommand : std::uint8_t { kOpen = 0, kClose = 1, kFrames = 3, kSeek = 5 };
enum SessionCommand : std::uint8_t { kWorkPath = 0, kLogin = 4 };
enum DatabaseCommand : std::uint8_t { kDay = 2, kFileOfTime = 8, kCamera = 17 };

int hexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// The log-in text: "user:password", byte i of n raised by n - i, in
// two-digit hexadecimal.
std::optional<std::string> decodeCredentials(const std::string& hex) {
    if (hex.size() % 2 != 0) return std::nullopt;
    const std::size_t n = hex.size() / 2;
    std::string text;
    for (std::size_t i = 0; i < n; ++i) {
        const int high = hexDigit(hex[2 * i]);
        const int low = hexDigit(hex[2 * i + 1]);
        if (high < 0 || low < 0) return std::nullopt;
        text += static_cast<char>((high * 16 + low - static_cast<int>((n - i) % 256) + 256) % 256);
    }
    return text;
}

}  // namespace

std::uint16_t PlaybackSession::Message::word16(std::size_t offset) const {
    return offset + 2 <= bytes.size() ? platform::loadLe16(bytes.data() + offset) : 0;
}

std::uint32_t PlaybackSession::Message::word32(std::size_t offset) const {
    return offset + 4 <= bytes.size() ? platform::loadLe32(bytes.data() + offset) : 0;
}

PlaybackSession::PlaybackSession(Installation& installation, ClientLink& link)
    : installation_(installation), link_(link) {}

void PlaybackSession::run() {
    while (auto message = receive()) {
        if (!handle(*message)) return;
    }
}

std::optional<PlaybackSession::Message> PlaybackSession::receive() {
    std::uint8_t prefix[kPrefixSize];
    if (!link_.receiveExactly(prefix)) return std::nullopt;
    const std::uint32_t length = platform::loadLe32(prefix + 1);
    if (prefix[0] != 0 || length < kHeaderSize || length > kMaxMessage) {
        installation_.log().detail("playback: broken message from " + link_.peer());
        return std::nullopt;
    }
    Message message;
    message.bytes.resize(kHeaderSize);
    if (!link_.receiveExactly(message.bytes)) return std::nullopt;
    message.group = message.bytes[1];
    message.command = message.bytes[2];
    message.senderTag = platform::loadLe32(message.bytes.data() + 4);
    // A command 7 is its header alone, whatever its size says.
    if (message.command != 7 && length > kHeaderSize) {
        message.bytes.resize(length);
        if (!link_.receiveExactly(std::span(message.bytes).subspan(kHeaderSize))) return std::nullopt;
    }
    return message;
}

WireBytes PlaybackSession::reply(const Message& request, std::size_t size) const {
    WireBytes message(kPrefixSize + size);
    const std::size_t h = kPrefixSize;
    message.put8(h + 0, kProtocolVersion);
    message.put8(h + 1, request.group);
    message.put8(h + 2, request.command);
    message.put32(h + 4, request.senderTag);
    return message;
}

// Fills in the prefix and the size from the message as built.
void PlaybackSession::seal(WireBytes& message) {
    // Every message is built with its prefix and header in place.
    std::vector<std::uint8_t>& bytes = message.bytes();
    if (bytes.size() < kPrefixSize + 12) return;
    const auto size = static_cast<std::uint32_t>(bytes.size() - kPrefixSize);
    bytes[0] = 0;
    platform::storeLe32(bytes.data() + 1, size);
    platform::storeLe32(bytes.data() + kPrefixSize + 8, size);
}

bool PlaybackSession::send(WireBytes& message) {
    seal(message);
    return link_.sendAll(message);
}

bool PlaybackSession::handle(const Message& message) {
    if (message.group == kSession && message.command == kWorkPath) return workPath(message);
    if (message.group == kSession && message.command == kLogin) return logIn(message);
    if (!loggedIn_) {
        installation_.log().detail("playback: request before log-in from " + link_.peer());
        return false;
    }
    if (message.group == kDatabase) {
        if (message.command == kCamera) return camera(message);
        if (message.command == kDay) return day(message);
        if (message.command == kFileOfTime) return file(message);
    } else if (message.group == kFile) {
        if (message.command == kOpen) return open(message);
        if (message.command == kFrames) return frames(message);
        if (message.command == kSeek) return seek(message);
        if (message.command == kClose) {
            files_.erase(message.word32(64));
            return true;
        }
    }
    installation_.log().detail("playback: unknown request " + std::to_string(message.group) + "," +
                               std::to_string(message.command));
    return true;
}

bool PlaybackSession::workPath(const Message& request) {
    const FaultPlan& faults = installation_.faults();
    WireBytes message = reply(request, 68);
    if (faults.has(FaultKind::ClientRejected)) message.put8(kPrefixSize, kOutdatedVersion);
    if (faults.has(FaultKind::BadMagic) || faults.has(FaultKind::AbsurdLength)) {
        seal(message);
        if (faults.has(FaultKind::BadMagic)) message.put8(0, 1);
        if (faults.has(FaultKind::AbsurdLength)) message.put32(1, kAbsurdLength);
        link_.sendAll(message);
        link_.drainUntilClosed(kDrainLimit);
        return false;
    }
    return send(message);
}

bool PlaybackSession::logIn(const Message& request) {
    const std::uint32_t length = request.word32(68);
    std::string user;
    bool accepted = false;
    if (72 + std::size_t{length} <= request.bytes.size()) {
        const std::string hex(request.bytes.begin() + 72, request.bytes.begin() + 72 + length);
        const auto text = decodeCredentials(hex);
        const auto colon = text ? text->find(':') : std::string::npos;
        if (colon != std::string::npos) {
            user = text->substr(0, colon);
            accepted = installation_.users().accepts(user, text->substr(colon + 1));
        }
    }
    loggedIn_ = accepted && !installation_.faults().has(FaultKind::RefusedLogin);
    if (!loggedIn_) {
        installation_.log().event("playback: log-in of \"" + user + "\" from " + link_.peer() +
                                  " refused");
    }
    WireBytes message = reply(request, 104);
    message.put8(kPrefixSize + 64, loggedIn_ ? 1 : 0);
    return send(message);
}

std::optional<int> PlaybackSession::cameraOfReference(std::uint32_t reference) const {
    const int camera = static_cast<int>(reference) - static_cast<int>(kReferenceBase) - 1;
    if (!installation_.cameras().exists(camera)) return std::nullopt;
    return camera;
}

// Fixed part of 128 bytes, a block of B bytes, then the recording days.
bool PlaybackSession::camera(const Message& request) {
    const int number = request.byte(64);
    const int camera = number - 1;
    WireBytes message = reply(request, 128);
    const std::size_t h = kPrefixSize;
    if (installation_.cameras().exists(camera)) {
        const auto days = installation_.recordings().daysOf(camera, Clock::now());
        const std::uint8_t block[4] = {static_cast<std::uint8_t>(number), 0, 0, 0};
        message.put8(h + 64, sizeof block);
        message.put16(h + 66, static_cast<std::uint16_t>(days.size()));
        message.putText(h + 72, installation_.cameras().camera(camera).name, kNameField);
        message.put32(h + 108, kReferenceBase + static_cast<std::uint32_t>(number));
        message.append(block);
        for (std::uint32_t day : days) message.append32(day);
    }
    return send(message);
}

// Each file gives the time code 1 DD HHMMSS: a leading 1 (no daylight-saving
// entry), the day of the month, the start time.
bool PlaybackSession::day(const Message& request) {
    const std::uint32_t day = request.word32(64);
    const auto camera = cameraOfReference(request.word32(68));
    WireBytes message = reply(request, 68);
    if (camera) {
        const auto files = installation_.recordings().filesOf(*camera, day, Clock::now());
        message.put16(kPrefixSize + 66, static_cast<std::uint16_t>(files.size()));
        for (const RecordedFile& recorded : files) {
            const DateTime& start = recorded.startTime;
            message.append32(100000000u + start.day * 1000000u + start.hour * 10000u +
                             start.minute * 100u + start.second);
        }
    }
    return send(message);
}

// The requested time carries the camera number in its milliseconds.
bool PlaybackSession::file(const Message& request) {
    const auto camera = cameraOfReference(request.word32(64));
    WireBytes message = reply(request, 68);
    if (camera && request.bytes.size() >= 84) {
        const DateTime time = DateTime::fromBytes(request.bytes.data() + 68);
        const auto recorded = installation_.recordings().fileAt(*camera, dayNumberOf(time), time.hour,
                                                                Clock::now());
        if (recorded) {
            const std::string path = recorded->path();
            message.put16(kPrefixSize + 66, static_cast<std::uint16_t>(path.size()));
            message.append(std::span(reinterpret_cast<const std::uint8_t*>(path.data()), path.size()));
        }
    }
    return send(message);
}

// Fixed part of 72 bytes, 76 bytes of file information, the key pictures.
bool PlaybackSession::open(const Message& request) {
    const std::uint32_t length = request.word32(68);
    std::optional<RecordedFile> recorded;
    if (72 + std::size_t{length} <= request.bytes.size()) {
        const std::string path(request.bytes.begin() + 72, request.bytes.begin() + 72 + length);
        recorded = installation_.recordings().fileOfPath(path, Clock::now());
    }
    WireBytes message = reply(request, 72);
    if (!recorded) return send(message);
    const std::uint32_t handle = nextHandle_++;
    auto stream = std::make_unique<RecordedStream>(installation_, *recorded,
                                                   installation_.faults().has(FaultKind::Garbage));
    const auto keys = recorded->keyFrames();
    const std::size_t h = kPrefixSize;
    message.put16(h + 64, static_cast<std::uint16_t>(keys.size()));
    message.put32(h + 68, handle);
    WireBytes information(76);
    information.put32(4, static_cast<std::uint32_t>(stream->width()));
    information.put32(8, static_cast<std::uint32_t>(stream->height()));
    std::uint8_t time[DateTime::kSize];
    localDateTime(recorded->start).toBytes(time);
    information.putBytes(40, time);
    localDateTime(recorded->lastFrameTime()).toBytes(time);
    information.putBytes(56, time);
    information.put32(72, RecordedFile::kFrameCount);
    message.append(information);
    for (std::uint16_t key : keys) message.append(std::array<std::uint8_t, 2>{
        static_cast<std::uint8_t>(key), static_cast<std::uint8_t>(key >> 8)});
    files_[handle] = std::move(stream);
    return send(message);
}

bool PlaybackSession::frames(const Message& request) {
    const std::size_t count = std::min<std::size_t>(request.word16(66), kMaxIndices);
    const auto found = files_.find(request.word32(72));
    if (found == files_.end()) return true;
    for (std::size_t i = 0; i < count && 96 + 2 * i + 2 <= request.bytes.size(); ++i) {
        if (!sendFrame(found->first, *found->second, request.word16(96 + 2 * i))) return false;
    }
    return true;
}

bool PlaybackSession::sendFrame(std::uint32_t handle, RecordedStream& stream, int index) {
    const auto frame = stream.frame(index);
    if (!frame) return true;
    WireBytes message = reply(Message{kFile, kFrames, 0, {}}, 128);
    const std::size_t h = kPrefixSize;
    message.put32(h + 64, handle);
    message.put32(h + 68, static_cast<std::uint32_t>(index));
    message.put32(h + 72, static_cast<std::uint32_t>(frame->payload.size()));
    message.put32(h + 76, frame->key ? 1 : 0);
    std::uint8_t time[DateTime::kSize];
    localDateTime(stream.file().frameTime(index)).toBytes(time);
    message.putBytes(h + 80, time);
    message.append(frame->payload);
    if (installation_.faults().has(FaultKind::CloseMidMessage) && !firstFrameSent_) {
        seal(message);
        link_.sendAll(std::span(message.bytes()).first(message.size() / 2));
        installation_.log().event("closing the playback connection of " + link_.peer() +
                                  " in the middle of a picture (fault close-mid-message)");
        return false;
    }
    firstFrameSent_ = true;
    return send(message);
}

bool PlaybackSession::seek(const Message& request) {
    const auto found = files_.find(request.word32(68));
    WireBytes message = reply(request, 84);
    if (found != files_.end() && request.bytes.size() >= 88) {
        const DateTime target = DateTime::fromBytes(request.bytes.data() + 72);
        message.put32(kPrefixSize + 64,
                      static_cast<std::uint32_t>(found->second->file().frameAt(timePointOf(target))));
    }
    return send(message);
}

}  // namespace ambro::sim
