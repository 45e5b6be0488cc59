#include "live/OlderGenerationSession.h"

#include <algorithm>
#include <chrono>

#include "live/CredentialBlock.h"
#include "platform/ByteOrder.h"
#include "platform/TcpSocket.h"

namespace ambro::live {

namespace {

using namespace std::chrono_literals;

enum RequestCode : std::int32_t {
    kHelloCode = 0,
    kPasswordCode = 6,
    kKeyCode = 13,
    kModuleCountCode = 15,
    kModuleFirstCountCode = 16,
    kModuleOutputCountCode = 17,
    kModuleInputNamesCode = 18,
    kModuleOutputNamesCode = 19,
    kAlarmPollCode = 20,
    kStreamCode = 36,
    kClientCheckCode = 37,
};

constexpr std::size_t kNameSize = 17;
constexpr std::size_t kTimeOffset = 4;
constexpr std::size_t kAlarmMasksOffset = 4;
constexpr std::size_t kAlarmTimeOffset = 22;
constexpr int kIdleSlices = 10;
constexpr auto kIdleSlice = 2ms;
constexpr auto kStatusPageRepeat = 1000ms;
constexpr auto kAlarmPollPause = 300ms;
constexpr auto kRingSpaceWait = 2ms;
constexpr auto kStreamLook = 100ms;

platform::Deadline replyDeadline() { return platform::replyDeadline(); }

std::array<std::string, IoModule::kNames> namesOf(std::span<const std::uint8_t> payload) {
    std::array<std::string, IoModule::kNames> names;
    for (std::size_t i = 0; i < names.size(); ++i) {
        const std::size_t offset = i * kNameSize;
        if (offset >= payload.size()) break;
        const auto field = payload.subspan(offset, std::min(kNameSize, payload.size() - offset));
        names[i] = std::string(field.begin(), std::find(field.begin(), field.end(), 0));
    }
    return names;
}

}  // namespace

OlderGenerationSession::OlderGenerationSession(LiveShared& shared, platform::SocketField& socket,
                                               std::string userName, std::string password)
    : shared_(shared),
      socket_(socket),
      userName_(std::move(userName)),
      password_(std::move(password)),
      channel_(socket),
      audio_(kAudioBufferSize) {}

std::optional<SessionError> OlderGenerationSession::run(
    const std::function<void()>& startRunning) {
    std::optional<SessionError> error;
    const LoginEnd login = logIn(error);
    bool wasRunning = false;
    if (login == LoginEnd::Done && !shared_.closing) {
        shared_.running = true;
        wasRunning = true;
        startRunning();
        shared_.observer.sessionReady(Generation::Older);
        while (shared_.running && !shared_.closing && !error) error = pass();
    }
    platform::shutdownSocket(socket_.load());
    shared_.running = false;
    shared_.ring.streaming = false;
    shared_.mailbox.clear();
    report(login, error, wasRunning);
    return error;
}

// What the user is told: nothing while closing; a log-in that ends before
// the session ran is a failed connection, except that a refused password
// and a refused client type say so.
void OlderGenerationSession::report(LoginEnd login, std::optional<SessionError> error,
                                    bool wasRunning) {
    if (shared_.closing) return;
    if (wasRunning) {
        if (error) {
            const DisconnectMessage message = disconnectMessage(*error);
            shared_.observer.disconnected(message.headline, message.detail);
        }
        return;
    }
    if (error == SessionError::ServerRejectClientType) {
        shared_.observer.connectFailed(LiveFailure::Rejected, sessionErrorText(*error));
    } else if (error == SessionError::SendPasswordError ||
               error == SessionError::NameOrPasswordError) {
        const DisconnectMessage message = disconnectMessage(*error);
        shared_.observer.disconnected(message.headline, message.detail);
    } else {
        shared_.observer.connectFailed(
            LiveFailure::ConnectedFailed,
            error ? sessionErrorText(*error)
                  : (login == LoginEnd::Silent ? "the server ended the log-in" : ""));
    }
}

// Sends a request and reads its reply, each within the reply deadline.
bool OlderGenerationSession::exchange(std::int32_t code, std::span<const std::uint8_t> payload) {
    return channel_.sendMessage(code, payload, replyDeadline()) &&
           channel_.receiveMessage(replyDeadline());
}

OlderGenerationSession::LoginEnd OlderGenerationSession::logIn(std::optional<SessionError>& error) {
    const auto fail = [&](SessionError code) {
        error = code;
        return LoginEnd::Failed;
    };
    if (!exchange(kHelloCode, {})) return LoginEnd::Silent;
    const std::int32_t version = channel_.status();
    const std::uint32_t viewWord =
        version >= kViewWordVersion ? static_cast<std::uint32_t>(channel_.word(0)) : 0;
    shared_.tables.setServer(version, viewWord);

    if (!channel_.sendMessage(kKeyCode, {}, replyDeadline())) return fail(SessionError::SendKeyError);
    if (!channel_.receiveMessage(replyDeadline())) return fail(SessionError::GetKeyError);
    const std::int32_t modulus = channel_.word(0);
    const auto exponent = static_cast<std::uint32_t>(channel_.word(1));
    // No arithmetic is possible modulo 0 or less: such a key is no key.
    if (modulus <= 0) return fail(SessionError::GetKeyError);
    const auto credentials =
        exponentiateCredentials(credentialBlock(userName_, password_), modulus, exponent);
    loggedIn_ = true;

    if (!channel_.sendMessage(kPasswordCode, credentials, replyDeadline())) {
        return fail(SessionError::SendPasswordError);
    }
    if (!channel_.receiveMessage(replyDeadline()) ||
        channel_.status() != SessionChannel::kFinalReply) {
        return fail(SessionError::NameOrPasswordError);
    }

    if (!exchange(kModuleCountCode, {})) return LoginEnd::Silent;
    const int modules = channel_.halfWord(0);
    if (modules > kMaxModules || !readModules(modules)) return LoginEnd::Silent;

    if (!exchange(kClientCheckCode, {}) || channel_.status() != SessionChannel::kFinalReply) {
        return fail(SessionError::ServerRejectClientType);
    }
    return LoginEnd::Done;
}

bool OlderGenerationSession::readModules(int count) {
    std::vector<IoModule> modules(static_cast<std::size_t>(count));
    for (int j = 1; j <= count; ++j) {
        std::uint8_t number[2];
        platform::storeLe16(number, static_cast<std::uint16_t>(j));
        IoModule& module = modules[static_cast<std::size_t>(j - 1)];
        if (!exchange(kModuleFirstCountCode, number)) return false;
        module.firstCount = channel_.word(0);
        if (!exchange(kModuleOutputCountCode, number)) return false;
        module.outputCount = std::clamp(channel_.word(0), 0, IoModule::kNames);
        if (!exchange(kModuleInputNamesCode, number)) return false;
        module.inputNames = namesOf(channel_.payload());
        if (!exchange(kModuleOutputNamesCode, number)) return false;
        module.outputNames = namesOf(channel_.payload());
    }
    shared_.tables.setModules(modules);
    shared_.observer.ioModulesChanged(modules);
    return true;
}

std::optional<SessionError> OlderGenerationSession::pass() {
    if (!serveMailbox()) return SessionError::UiSendCommandError;
    if (shared_.ioMonitoring) {
        if (!pollAlarms()) return SessionError::GetIoInputStatusError;
        return std::nullopt;
    }
    if (shared_.statusPage != 0) return statusPagePass();
    statusRepeat_.reset();
    return streamPass();
}

std::optional<SessionError> OlderGenerationSession::statusPagePass() {
    // The statuses are asked for again every second while their page is
    // shown: by the session itself, so that a command posted meanwhile (a
    // camera chosen) is never the one repeated; and that command is served
    // at once, not after the rest of the second.
    if (!statusRepeat_) statusRepeat_ = platform::Deadline::after(kStatusPageRepeat);
    if (!statusRepeat_->expired()) {
        waitForCommand();
        return std::nullopt;
    }
    statusRepeat_.reset();
    if (!requestCameraStatus()) return SessionError::UiSendCommandError;
    return std::nullopt;
}

void OlderGenerationSession::waitForCommand() {
    for (int slice = 0; slice < kIdleSlices && !shared_.mailbox.pending(); ++slice) {
        if (!shared_.sleepFor(kIdleSlice)) break;
    }
}

bool OlderGenerationSession::serveMailbox() {
    CommandBlock sent;
    if (shared_.mailbox.take(sent) != CommandMailbox::Take::Taken) return true;
    const auto length = static_cast<std::size_t>(
        std::clamp<std::int32_t>(sent.length, 0, CommandBlock::kPayloadSize));
    const platform::Deadline deadline = replyDeadline();
    const bool served = channel_.sendMessage(sent.code, {sent.payload.data(), length}, deadline) &&
                        receiveFinalReply(deadline) &&
                        channel_.status() == SessionChannel::kFinalReply;
    if (served) applyEffect(sent);
    shared_.mailbox.finish(served);
    return served;
}

bool OlderGenerationSession::requestCameraStatus() {
    const platform::Deadline deadline = replyDeadline();
    if (!channel_.sendMessage(kCameraStatusCode, {}, deadline) || !receiveFinalReply(deadline) ||
        channel_.status() != SessionChannel::kFinalReply) {
        return false;
    }
    applyEffect(CommandBlock::withWords(kCameraStatusCode, {}));
    return true;
}

bool OlderGenerationSession::receiveFinalReply(Deadline deadline) {
    do {
        if (!channel_.receiveMessage(deadline)) return false;
    } while (channel_.status() == SessionChannel::kVideoPacket ||
             channel_.status() == SessionChannel::kAudioPacket);
    return true;
}

void OlderGenerationSession::applyEffect(const CommandBlock& sent) {
    switch (sent.code) {
        case kCameraListCode: {
            shared_.tables.setCameraTable(channel_.payload());
            CameraCatalogue catalogue;
            catalogue.generation = Generation::Older;
            catalogue.cameraTable = shared_.tables.cameraTable();
            catalogue.serverVersion = shared_.tables.serverVersion();
            catalogue.viewWord = shared_.tables.viewWord();
            shared_.observer.cameraListChanged(catalogue);
            break;
        }
        case kCameraSelectCode: applyCameraSelect(); break;
        case kImageSizeCode: applyImageSize(sent); break;
        case kRotationCode: applyRotation(sent); break;
        case kCameraStatusCode:
            shared_.tables.setStatusArea(channel_.payload());
            shared_.observer.cameraStatusChanged(shared_.tables.statusTable());
            break;
        default: break;
    }
}

void OlderGenerationSession::applyCameraSelect() {
    CameraSelectWords words;
    words.camera = channel_.word(0);
    words.ptzFlag = channel_.word(1);
    words.furtherWords = {channel_.word(2), channel_.word(3)};
    words.audioWord = channel_.word(4);
    words.capabilityWord = static_cast<std::uint32_t>(channel_.word(5));
    words.presetCount = channel_.word(6);
    shared_.tables.setSelection(words);
    shared_.ring.reset();
    const std::uint32_t size = shared_.pictureSize;
    shared_.setPictureSize(static_cast<int>(size >> 16), static_cast<int>(size & 0xFFFF));
    shared_.observer.cameraSelected({words.camera, words.ptzFlag != 0, words.capabilityWord,
                                     std::max(0, words.presetCount), words.audioWord != 0});
}

void OlderGenerationSession::applyImageSize(const CommandBlock& sent) {
    static constexpr int kSizes[][2] = {{320, 240}, {176, 144}, {160, 120}};
    const std::int32_t index = sent.word(0);
    if (index < 0 || index > 2) return;
    int width = kSizes[index][0];
    int height = kSizes[index][1];
    if (shared_.rotated) std::swap(width, height);
    shared_.setPictureSize(width, height);
}

void OlderGenerationSession::applyRotation(const CommandBlock& sent) {
    shared_.rotated = sent.word(0) != 0;
    const std::uint32_t size = shared_.pictureSize;
    shared_.setPictureSize(static_cast<int>(size & 0xFFFF), static_cast<int>(size >> 16));
}

bool OlderGenerationSession::streamStopped() const {
    return shared_.mailbox.pending() || shared_.statusPage != 0 || shared_.ioMonitoring ||
           !shared_.running || shared_.closing;
}

std::optional<SessionError> OlderGenerationSession::streamPass() {
    if (shared_.tables.selection().camera < 0 || streamStopped()) {
        // Nothing to stream yet: wait a little instead of spinning, but serve
        // a command (the window's camera selection) as soon as it is posted.
        waitForCommand();
        return std::nullopt;
    }
    shared_.ring.reset();
    ++shared_.streamStarts;
    channel_.setStatus(0);
    // A send that fails means the connection is gone; going round again
    // would only fail the same way, as fast as it can.
    if (!channel_.sendMessage(kStreamCode, {}, replyDeadline())) {
        return SessionError::SendVideoRequestCommandError;
    }
    shared_.ring.streaming = true;
    shared_.observer.streamStarted();

    std::optional<SessionError> error;
    while (!error && !streamStopped()) {
        // Look for the next packet in short waits, so that a command posted
        // while the server is quiet is served without delay.
        if (!channel_.waitForData(platform::Deadline::after(kStreamLook))) continue;
        if (!channel_.receiveMessage(replyDeadline())) {
            error = SessionError::GetVideoRequestResponseError;
        } else if (channel_.status() == SessionChannel::kVideoPacket) {
            error = receiveFrame();
        } else if (channel_.status() == SessionChannel::kAudioPacket) {
            error = receiveAudio();
        }
    }
    shared_.ring.streaming = false;
    shared_.audioArrived = false;
    shared_.observer.streamStopped();
    if (error) return error;
    if (!serveMailbox()) return SessionError::UiSendCommandError;
    channel_.setStatus(0);
    return std::nullopt;
}

// A video header: the frame's length and time, then its data packets into
// the next free slot. A frame longer than a slot is read and dropped.
std::optional<SessionError> OlderGenerationSession::receiveFrame() {
    FrameRing& ring = shared_.ring;
    while (ring.full()) {
        if (streamStopped()) return std::nullopt;
        shared_.sleepFor(kRingSpaceWait);
    }
    const std::int32_t length = channel_.word(0);
    if (length < 0 || length > kLongestFrame) return SessionError::GetRequestDataCommandError;
    platform::DateTime time;
    if (channel_.payload().size() >= kTimeOffset + platform::DateTime::kSize) {
        time = platform::DateTime::fromBytes(channel_.payload().data() + kTimeOffset);
    }
    if (CellSelection* cells = shared_.cells.load()) cells->onVideoHeader(shared_.tables.statusTable());

    FrameRing::Slot& slot = ring.writeSlot();
    slot.time = time;
    slot.length = static_cast<std::uint32_t>(length);
    const auto error = receivePackets(
        SessionChannel::kVideoPacket, length,
        [&slot](std::size_t offset, std::span<const std::uint8_t> bytes) {
            if (offset >= FrameRing::kSlotSize) return;
            const std::size_t room = FrameRing::kSlotSize - offset;
            std::copy_n(bytes.begin(), std::min(room, bytes.size()), slot.data.begin() + offset);
        });
    if (error) return error;
    if (length > 0 && static_cast<std::size_t>(length) <= FrameRing::kSlotSize) ring.publish();
    return std::nullopt;
}

// An audio header and its packets; sound is collected only, never played.
std::optional<SessionError> OlderGenerationSession::receiveAudio() {
    const std::int32_t length = channel_.word(0);
    if (length < 0 || length > kLongestFrame) return SessionError::GetRequestDataCommandError;
    const auto error = receivePackets(
        SessionChannel::kAudioPacket, length,
        [this](std::size_t offset, std::span<const std::uint8_t> bytes) {
            if (offset >= audio_.size()) return;
            const std::size_t room = audio_.size() - offset;
            std::copy_n(bytes.begin(), std::min(room, bytes.size()), audio_.begin() + offset);
        });
    if (error) return error;
    if (length > 2) shared_.audioArrived = true;
    return std::nullopt;
}

std::optional<SessionError> OlderGenerationSession::receivePackets(
    std::int32_t status, std::int64_t length,
    const std::function<void(std::size_t, std::span<const std::uint8_t>)>& store) {
    std::int64_t taken = 0;
    while (taken < length) {
        if (!channel_.receiveMessage(replyDeadline())) {
            return SessionError::GetVideoRequestResponseError;
        }
        if (channel_.status() != status) return SessionError::GetRequestDataCommandError;
        store(static_cast<std::size_t>(taken), channel_.payload());
        taken += static_cast<std::int64_t>(channel_.payload().size());
    }
    return std::nullopt;
}

bool OlderGenerationSession::pollAlarms() {
    const platform::Deadline deadline = replyDeadline();
    if (!channel_.sendMessage(kAlarmPollCode, {}, deadline) || !receiveFinalReply(deadline)) {
        return false;
    }
    const auto payload = channel_.payload();
    if (payload.size() >= kAlarmTimeOffset + platform::DateTime::kSize) {
        AlarmInputs alarm;
        for (std::size_t m = 0; m < alarm.masks.size(); ++m) {
            alarm.masks[m] = platform::loadLe16(payload.data() + kAlarmMasksOffset + 2 * m);
        }
        alarm.time = platform::DateTime::fromBytes(payload.data() + kAlarmTimeOffset);
        if (alarm.time.year != 0) shared_.observer.alarmRaised(alarm);
    }
    shared_.sleepFor(kAlarmPollPause);
    return true;
}

}  // namespace ambro::live
