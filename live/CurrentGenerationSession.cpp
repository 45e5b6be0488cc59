#include "live/CurrentGenerationSession.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "media/PictureRows.h"
#include "net/StreamIo.h"
#include "platform/ByteOrder.h"
#include "platform/TimedLock.h"

namespace ambro::live {

namespace {

using platform::loadLe16;
using platform::loadLe32;

constexpr std::uint32_t kVideoMagic = 'e' | ('S' << 8) | ('o' << 16) | ('R' << 24);
constexpr std::size_t kStatusIndexOffset = 12;
constexpr int kLastOutput = 32;

std::uint8_t capabilityByte(const ptz::PtzProtocol& protocol) {
    return static_cast<std::uint8_t>(
        (protocol.hasHome() << 0) | (protocol.hasAutoFocus() << 1) | (protocol.hasTilt() << 2) |
        (protocol.hasPan() << 3) | (protocol.hasZoom() << 4) | (protocol.hasFocus() << 5) |
        (protocol.hasAuto() << 6) | (protocol.hasPreset() << 7));
}

}  // namespace

CurrentGenerationSession::CurrentGenerationSession(net::LiveConnection& connection,
                                                   Listener& listener, std::string ptzDirectory)
    : connection_(connection),
      listener_(listener),
      ptzDirectory_(std::move(ptzDirectory)),
      frame_(kMaxFrameLength + media::FrameDecoder::kInputPadding) {
    connection_.setStreamReaders(this);
}

CurrentGenerationSession::~CurrentGenerationSession() {
    close();
    connection_.setStreamReaders(nullptr);
}

net::ConnectOutcome CurrentGenerationSession::connect() {
    // The readers start before the handshake's last requests; holding the
    // command connection keeps every other request out until it is done.
    const auto lock = lockCommandConnection();
    if (!lock) return net::ConnectOutcome::Interrupted;
    const net::ConnectOutcome outcome = connection_.connectSession();
    if (outcome != net::ConnectOutcome::Accepted) return outcome;
    const auto& cameras = connection_.cameraList().cameras;
    if (cameras.empty()) return outcome;
    currentCamera_ = cameras.front().number - 1;
    videoOn_ = true;
    requestPtzDescriptionLocked(currentCamera_);
    return outcome;
}

SelectResult CurrentGenerationSession::selectCamera(int camera) {
    const auto& cameras = connection_.cameraList().cameras;
    const bool listed = std::any_of(cameras.begin(), cameras.end(),
                                    [&](const net::CameraEntry& entry) {
                                        return entry.number == camera + 1;
                                    });
    if (!listed) return SelectResult::NotInList;
    const auto lock = lockCommandConnection();
    if (!lock) return SelectResult::Busy;
    if (camera == currentCamera_ && videoOn_ && lastLoaded_) return SelectResult::Selected;
    if (!connection_.requestVideoChannels(1u << camera)) return SelectResult::Failed;
    currentCamera_ = camera;
    videoOn_ = true;
    return requestPtzDescriptionLocked(camera) ? SelectResult::Selected : SelectResult::Failed;
}

bool CurrentGenerationSession::stopVideo() {
    const auto lock = lockCommandConnection();
    if (!lock || !connection_.requestVideoChannels(0)) return false;
    videoOn_ = false;
    return true;
}

std::unique_lock<std::timed_mutex> CurrentGenerationSession::lockCommandConnection() {
    if (!platform::lockWithTries(clientMutexPtz_, kLockTries, kLockTry, stopping_)) return {};
    return std::unique_lock<std::timed_mutex>(clientMutexPtz_, std::adopt_lock);
}

bool CurrentGenerationSession::requestPtzDescriptionLocked(int camera) {
    const auto description = connection_.requestPtzDescription(static_cast<std::uint32_t>(camera));
    if (!description) return false;
    setUpPtz(*description);
    return true;
}

// Loads the dome's protocol unless the same protocol and address are loaded.
void CurrentGenerationSession::setUpPtz(const net::PtzDescription& description) {
    ptzPresent_ = description.present;
    ptzLine_ = description.line;
    const bool same = protocol_ && lastLoaded_ &&
                      lastLoaded_->protocolName == description.protocolName &&
                      lastLoaded_->address == description.address;
    if (!same) {
        protocol_.reset();
        if (description.present) {
            protocol_ = std::make_shared<const ptz::PtzProtocol>(
                ptzDirectory_, description.protocolName, description.addressNumber(),
                description.speedLevelNumber());
            listener_.ptzChanged(true, capabilityByte(*protocol_), protocol_->presetCount());
        } else {
            listener_.ptzChanged(false, 0, 0);
        }
    }
    lastLoaded_ = description;
}

PtzResult CurrentGenerationSession::cameraAction(ptz::DomeAction action) {
    if (const PtzResult prepared = prepareDome(); prepared != PtzResult::Sent) return prepared;
    const auto commands = protocol_->commands(action);
    if (!commands) return PtzResult::Failed;
    return send(*commands);
}

PtzResult CurrentGenerationSession::goPreset(int presetNumber) {
    if (const PtzResult prepared = prepareDome(); prepared != PtzResult::Sent) return prepared;
    return send(protocol_->goPreset(presetNumber));
}

// The dome is asked for before every command, as the camera or its dome may
// have changed since.
PtzResult CurrentGenerationSession::prepareDome() {
    const auto lock = lockCommandConnection();
    if (!lock) return PtzResult::Busy;
    const int camera = currentCamera_;
    if (camera < 0) return PtzResult::NoCamera;
    if (!requestPtzDescriptionLocked(camera)) return PtzResult::Failed;
    if (!ptzPresent_) return PtzResult::NoDome;
    if (!protocol_ || protocol_->failed()) return PtzResult::ProtocolUnavailable;
    return PtzResult::Sent;
}

PtzResult CurrentGenerationSession::send(const ptz::DomeCommands& commands) {
    if (commands.empty()) return PtzResult::Unsupported;
    if (!sendCommands(commands.start, commands.interval)) return PtzResult::Failed;
    if (!commands.stop.empty()) {
        if (!sendCommands(commands.stop, commands.interval)) return PtzResult::Failed;
        std::this_thread::sleep_for(kFinalPtzPause);
    }
    return PtzResult::Sent;
}

// Each command as a pass-through request after the packet's pause; the
// command connection is held for the request only, never over a pause.
bool CurrentGenerationSession::sendCommands(const std::vector<ptz::TypedPtzCommand>& commands,
                                            int interval) {
    for (const auto& typed : commands) {
        std::this_thread::sleep_for(std::chrono::milliseconds(interval));
        const auto lock = lockCommandConnection();
        if (!lock) return false;
        const std::span<const std::uint8_t> bytes(typed.command.bytes.data(),
                                                  static_cast<std::size_t>(typed.command.length));
        if (!connection_.requestPtzPassThrough(ptzLine_, bytes)) return false;
    }
    return true;
}

bool CurrentGenerationSession::pulseOutput(int output) {
    if (output < 1 || output > kLastOutput) return false;
    const auto lock = lockCommandConnection();
    if (!lock) return false;
    const auto number = static_cast<std::uint16_t>(output - 1);
    return connection_.requestOutput(number, 1) && connection_.requestOutput(number, 0);
}

void CurrentGenerationSession::interrupt() {
    stopping_ = true;
    connection_.interrupt();
}

void CurrentGenerationSession::close() {
    interrupt();
    if (videoReader_.joinable()) videoReader_.join();
    if (auxiliaryReader_.joinable()) auxiliaryReader_.join();
}

void CurrentGenerationSession::startAuxiliaryReader(net::LiveConnection&) {
    auxiliaryReader_ = std::thread([this] { runAuxiliaryReader(); });
}

void CurrentGenerationSession::startVideoReader(net::LiveConnection&) {
    videoReader_ = std::thread([this] {
        runVideoReader();
        if (!stopping_) listener_.videoStopped();
    });
}

// Drains the auxiliary stream: framed messages read whole and dropped.
void CurrentGenerationSession::runAuxiliaryReader() {
    auto& socket = connection_.auxiliarySocket();
    while (!stopping_) {
        std::uint8_t head[net::kHeadSize];
        if (net::receiveExactly(socket, head, sizeof head) != net::IoResult::Done) return;
        const std::uint32_t length = loadLe32(head + 4);
        if (length < net::kHeadSize || length > net::kMaxReplyLength) return;
        if (net::discardExactly(socket, length - net::kHeadSize) != net::IoResult::Done) return;
    }
}

void CurrentGenerationSession::runVideoReader() {
    auto& socket = connection_.videoSocket();
    std::uint8_t record[kStatusRecordSize];
    if (net::receiveExactly(socket, record, sizeof record) != net::IoResult::Done) return;
    storeStatusRecord(record);

    const auto broken = [this] {
        if (!stopping_) listener_.disconnected();
    };
    while (!stopping_) {
        std::uint8_t head[kVideoHeadSize];
        if (net::receiveExactly(socket, head, sizeof head) != net::IoResult::Done) return broken();
        const std::uint32_t total = loadLe32(head + 4);
        // A wrong magic or a length no frame can have: the stream cannot be
        // followed any more, so the reader ends without a message.
        if (loadLe32(head) != kVideoMagic || total > kMaxFrameLength || total < kVideoHeadSize) {
            return;
        }
        const int payload = static_cast<int>(total - kVideoHeadSize);
        if (net::receiveExactly(socket, frame_.data(), payload) != net::IoResult::Done) {
            return broken();
        }
        handleFrame(head, static_cast<std::size_t>(payload));
    }
}

void CurrentGenerationSession::storeStatusRecord(const std::uint8_t* record) {
    const int index = loadLe16(record + kStatusIndexOffset);
    if (index >= kStatusRecords) return;
    std::lock_guard lock(statusMutex_);
    std::memcpy(statusRecords_[index].data(), record, kStatusRecordSize);
    statusReceived_[index] = true;
}

bool CurrentGenerationSession::statusRecordReceived(int index) const {
    std::lock_guard lock(statusMutex_);
    return index >= 0 && index < kStatusRecords && statusReceived_[index];
}

void CurrentGenerationSession::handleFrame(const std::uint8_t* head, std::size_t payloadLength) {
    const std::uint32_t sequence = loadLe32(head + 16);
    const int sizeCode = head[32];
    const int kind = head[34];
    // After a lost frame, dependent frames wait for one that decodes alone.
    if (!(lastSequence_ == 0 || sequence == lastSequence_ + 1 || kind == 0)) return;
    lastSequence_ = sequence;
    if (kind >= 2) return;
    if (payloadLength == 0) {
        listener_.videoLost();
        return;
    }
    const auto size = imageSizeOfCode(sizeCode);
    if (!size) {
        listener_.unsupportedImageSize(sizeCode);
        return;
    }
    if (sizeCode != lastSizeCode_) {
        try {
            configurePicture(*size);
        } catch (const std::bad_alloc&) {
            // No room for this size's pictures: shown like a size the client
            // cannot show, and asked for again with the next frame.
            decoder_.reset();
            listener_.unsupportedImageSize(sizeCode);
            return;
        }
        lastSizeCode_ = sizeCode;
        listener_.pictureSizeChanged(size->width, size->height);
    }

    if (decoder_->decode(frame_.data(), payloadLength, picture_.data()) != media::kDecoderDone ||
        !decoder_->pictureProduced()) {
        return;
    }
    const std::size_t stride = decoder_->stride();
    if (pictureSize_.rowsDoubled) media::copyEvenRows(picture_.data(), stride, pictureSize_.height);
    listener_.pictureDecoded(
        {picture_.data(), pictureSize_.width, pictureSize_.height, stride, arrivalTimeMs()});
}

void CurrentGenerationSession::configurePicture(const ImageSize& size) {
    pictureSize_ = size;
    decoder_ = std::make_unique<media::PictureDecoder>(size.width, size.height);
    picture_.assign(decoder_->pictureBytes(), 0);
}

}  // namespace ambro::live
