#include "live/CurrentGenerationSession.h"

#include <cstring>

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

struct ActionPlan {
    ptz::PtzAction start;
    int startType;
    std::optional<ptz::PtzAction> stop;
    int stopType;
};

ActionPlan planOf(CameraAction action) {
    using ptz::PtzAction;
    switch (action) {
        case CameraAction::Left: return {PtzAction::PanLeft, 1, PtzAction::PanStop, 11};
        case CameraAction::Right: return {PtzAction::PanRight, 2, PtzAction::PanStop, 11};
        case CameraAction::Up: return {PtzAction::TiltUp, 3, PtzAction::TiltStop, 11};
        case CameraAction::Down: return {PtzAction::TiltDown, 4, PtzAction::TiltStop, 11};
        case CameraAction::ZoomOut: return {PtzAction::ZoomOut, 5, PtzAction::ZoomStop, 12};
        case CameraAction::ZoomIn: return {PtzAction::ZoomIn, 6, PtzAction::ZoomStop, 12};
        case CameraAction::FocusNear: return {PtzAction::FocusNear, 9, PtzAction::FocusStop, 13};
        case CameraAction::FocusFar: return {PtzAction::FocusFar, 10, PtzAction::FocusStop, 13};
        case CameraAction::Home: return {PtzAction::Home, 7, std::nullopt, 0};
        case CameraAction::AutoFocus: return {PtzAction::AutoFocus, 16, std::nullopt, 0};
        case CameraAction::AutoMove:
        case CameraAction::GoPreset: break;
    }
    return {PtzAction::Home, 0, std::nullopt, 0};  // built separately
}

std::uint8_t capabilityByte(const ptz::PtzProtocol& protocol) {
    return static_cast<std::uint8_t>(
        (protocol.hasHome() << 0) | (protocol.hasAutoFocus() << 1) | (protocol.hasTilt() << 2) |
        (protocol.hasPan() << 3) | (protocol.hasZoom() << 4) | (protocol.hasFocus() << 5) |
        (protocol.hasAuto() << 6) | (protocol.hasPreset() << 7));
}

}  // namespace

CurrentGenerationSession::CurrentGenerationSession(net::SessionEndpoint endpoint,
                                                   std::string userName, std::string password,
                                                   LiveSessionObserver& observer,
                                                   std::string ptzDirectory)
    : connection_(std::move(endpoint), std::move(userName), std::move(password)),
      observer_(observer),
      ptzDirectory_(std::move(ptzDirectory)),
      frame_(kMaxFrameLength + media::FrameDecoder::kInputPadding) {
    connection_.setStreamReaders(this);
}

CurrentGenerationSession::~CurrentGenerationSession() { close(); }

net::ConnectOutcome CurrentGenerationSession::connect() {
    // The readers start before the handshake's last requests; one that has
    // to stop video must wait until the command connection is free.
    const auto lock = lockCommandConnection();
    if (!lock) return net::ConnectOutcome::Interrupted;
    const net::ConnectOutcome outcome = connection_.connectSession();
    if (outcome != net::ConnectOutcome::Accepted) return outcome;
    const auto& cameras = connection_.cameraList().cameras;
    if (cameras.empty()) return outcome;
    currentCamera_ = cameras.front().number - 1;
    requestPtzDescriptionLocked(currentCamera_);
    return outcome;
}

CurrentGenerationSession::SelectResult CurrentGenerationSession::selectCamera(std::size_t entry) {
    const auto& cameras = connection_.cameraList().cameras;
    if (entry >= cameras.size()) return SelectResult::NotInList;
    const int camera = cameras[entry].number - 1;
    const auto lock = lockCommandConnection();
    if (!lock) return SelectResult::Busy;
    currentCamera_ = camera;
    if (!connection_.requestVideoChannels(1u << camera) || !requestPtzDescriptionLocked(camera)) {
        return SelectResult::Failed;
    }
    return SelectResult::Selected;
}

std::unique_lock<std::timed_mutex> CurrentGenerationSession::lockCommandConnection() {
    if (!platform::lockWithTries(clientMutexPtz_, kLockTries, kLockTry, closing_)) return {};
    return std::unique_lock<std::timed_mutex>(clientMutexPtz_, std::adopt_lock);
}

bool CurrentGenerationSession::requestPtzDescriptionLocked(int camera) {
    net::PtzDescription description;
    if (!connection_.requestPtzDescription(static_cast<std::uint32_t>(camera), description)) {
        return false;
    }
    setUpPtz(description);
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
            protocol_ = std::make_unique<ptz::PtzProtocol>(
                ptzDirectory_, description.protocolName, description.addressNumber(),
                description.speedLevelNumber());
            observer_.ptzCapabilities(true, capabilityByte(*protocol_));
        } else {
            observer_.ptzCapabilities(false, 0);
        }
    }
    lastLoaded_ = description;
}

PtzResult CurrentGenerationSession::cameraAction(CameraAction action, int presetNumber) {
    const auto lock = lockCommandConnection();
    if (!lock) return PtzResult::Busy;
    const int camera = currentCamera_;
    if (camera < 0) return PtzResult::NoCamera;
    if (!requestPtzDescriptionLocked(camera)) return PtzResult::Failed;
    if (!ptzPresent_) return PtzResult::NoDome;
    if (!protocol_ || protocol_->failed()) return PtzResult::ProtocolUnavailable;

    ptz::PtzPacket packet;
    ActionPlan plan = planOf(action);
    int built = 0;
    if (action == CameraAction::AutoMove) {
        built = protocol_->advancedFunction(0, packet);
        plan.startType = 8;
    } else if (action == CameraAction::GoPreset) {
        protocol_->presetGo(presetNumber - 1, packet);
        plan.startType = (47 + presetNumber - 1) % 256;
        // The Lilin file keeps the preset's two digits the other way round.
        if (protocol_->isLilin() && packet.length > 14) std::swap(packet.bytes[13], packet.bytes[14]);
    } else {
        built = protocol_->packet(plan.start, packet);
    }
    if (built < 0) return PtzResult::Failed;
    if (packet.length == 0) return PtzResult::Unsupported;
    if (!sendEntries(packet, plan.startType)) return PtzResult::Failed;
    if (plan.stop) {
        if (protocol_->packet(*plan.stop, packet) < 0 || !sendEntries(packet, plan.stopType)) {
            return PtzResult::Failed;
        }
        std::this_thread::sleep_for(kFinalPtzPause);
    }
    return PtzResult::Sent;
}

// Sends the commands of the packet's leading entries of `type`, each after
// the packet's pause, as pass-through requests.
bool CurrentGenerationSession::sendEntries(const ptz::PtzPacket& packet, int type) {
    std::size_t position = 0;
    while (position + 2 <= packet.length && packet.bytes[position] == type) {
        const std::size_t count = packet.bytes[position + 1];
        if (position + 2 + count > packet.length) break;
        std::this_thread::sleep_for(std::chrono::milliseconds(packet.interval));
        const std::span<const std::uint8_t> command(packet.bytes.data() + position + 2, count);
        if (!connection_.requestPtzPassThrough(ptzLine_, command)) return false;
        position += 2 + count;
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
    closing_ = true;
    videoStop_ = true;
    auxiliaryStop_ = true;
    connection_.interrupt();
}

void CurrentGenerationSession::close() {
    interrupt();
    if (videoReader_.joinable()) videoReader_.join();
    if (auxiliaryReader_.joinable()) auxiliaryReader_.join();
    connection_.closeSockets();
}

void CurrentGenerationSession::startAuxiliaryReader(net::LiveConnection&) {
    auxiliaryReader_ = std::thread([this] { runAuxiliaryReader(); });
}

void CurrentGenerationSession::startVideoReader(net::LiveConnection&) {
    videoReader_ = std::thread([this] {
        runVideoReader();
        if (!closing_) observer_.videoStopped();
    });
}

// Drains the auxiliary stream: framed messages read whole and dropped.
void CurrentGenerationSession::runAuxiliaryReader() {
    auto& socket = connection_.auxiliarySocket();
    while (!auxiliaryStop_) {
        std::uint8_t head[net::kHeadSize];
        if (net::receiveExactly(socket, head, sizeof head) != sizeof head) return;
        const std::uint32_t length = loadLe32(head + 4);
        if (length < net::kHeadSize || length > net::kMaxReplyLength) return;
        if (!net::discardExactly(socket, length - net::kHeadSize)) return;
    }
}

void CurrentGenerationSession::runVideoReader() {
    auto& socket = connection_.videoSocket();
    std::uint8_t record[kStatusRecordSize];
    if (net::receiveExactly(socket, record, sizeof record) != sizeof record) return;
    storeStatusRecord(record);

    const auto broken = [this] {
        if (!closing_) observer_.disconnected();
    };
    while (!videoStop_) {
        std::uint8_t head[kVideoHeadSize];
        if (net::receiveExactly(socket, head, sizeof head) != sizeof head) return broken();
        const std::uint32_t total = loadLe32(head + 4);
        // A wrong magic or a length no frame can have: the stream cannot be
        // followed any more, so the reader ends without a message.
        if (loadLe32(head) != kVideoMagic || total > kMaxFrameLength || total < kVideoHeadSize) {
            return;
        }
        const int payload = static_cast<int>(total - kVideoHeadSize);
        if (net::receiveExactly(socket, frame_.data(), payload) != payload) return broken();
        handleFrame(head, static_cast<std::size_t>(payload));
    }
}

void CurrentGenerationSession::storeStatusRecord(const std::uint8_t* record) {
    const int index = loadLe16(record + kStatusIndexOffset);
    if (index >= kStatusRecords) return;
    {
        std::lock_guard lock(statusMutex_);
        std::memcpy(statusRecords_[index].data(), record, kStatusRecordSize);
        statusReceived_[index] = true;
    }
    observer_.cameraStatusReceived(index);
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
        observer_.videoLost();
        return;
    }
    const auto size = imageSizeOfCode(sizeCode);
    if (!size) {
        observer_.unsupportedImageSize(sizeCode);
        if (const auto lock = lockCommandConnection()) connection_.requestVideoChannels(0);
        return;
    }
    if (sizeCode != lastSizeCode_) {
        configurePicture(*size);
        lastSizeCode_ = sizeCode;
        observer_.pictureSizeChanged(size->width, size->height);
    }

    if (media::decodePayload(*decoder_, inputFormat_, outputFormat_, frame_.data(), payloadLength,
                             picture_.data()) != 0 ||
        !decoder_->pictureProduced()) {
        return;
    }
    const std::size_t stride = static_cast<std::size_t>(pictureSize_.width) * 3;
    if (pictureSize_.rowsDoubled) {
        for (int row = 0; row + 1 < pictureSize_.height; row += 2) {
            std::memcpy(picture_.data() + (row + 1) * stride, picture_.data() + row * stride,
                        stride);
        }
    }
    observer_.pictureReady(picture_.data(), pictureSize_.width, pictureSize_.height);
}

void CurrentGenerationSession::configurePicture(const ImageSize& size) {
    pictureSize_ = size;
    inputFormat_ = media::PictureFormat{};
    inputFormat_.width = size.width;
    inputFormat_.height = size.height;
    inputFormat_.compression = media::kW264;
    outputFormat_ = inputFormat_;
    outputFormat_.imageSize = static_cast<std::uint32_t>(size.width * size.height * 3);
    picture_.assign(static_cast<std::size_t>(size.width) * size.height * 3, 0);
    decoder_ = std::make_unique<media::FrameDecoder>();
    decoder_->decompressQuery(&inputFormat_, &outputFormat_);
    decoder_->decompressBegin(&inputFormat_, &outputFormat_);
}

}  // namespace ambro::live
