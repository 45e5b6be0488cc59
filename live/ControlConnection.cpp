#include "live/ControlConnection.h"

#include "live/CameraCommandCodes.h"
#include "net/TwoPortPassword.h"
#include "platform/TimedLock.h"

namespace ambro::live {

namespace {

constexpr int kKeepAliveCode = 0;
constexpr int kModulePollValue = 0;
constexpr int kModuleReleaseValue = 255;

}  // namespace

ControlConnection::ControlConnection(std::unique_ptr<net::TwoPortConnection> connection)
    : connection_(std::move(connection)) {}

bool ControlConnection::open(const std::string& password, const std::string& userName) {
    if (connection_->connect(net::TwoPortConnection::kClientType) == -1) return false;
    net::TwoPortConnection::ReplyBytes reply{};
    return connection_->login(net::codeTwoPortPassword(password), userName, reply);
}

std::unique_lock<std::timed_mutex> ControlConnection::lock(int tries,
                                                           std::chrono::milliseconds each) {
    if (!platform::lockWithTries(mutex_, tries, each, stopping_)) return {};
    return std::unique_lock<std::timed_mutex>(mutex_, std::adopt_lock);
}

bool ControlConnection::keepAlive(int camera) {
    std::uint8_t out1 = 0;
    net::TwoPortConnection::ReplyBytes out2{};
    if (!connection_->cameraCommandShortForm(kKeepAliveCode, 0, camera, out1, out2)) return false;
    ptzAnswer_ = out1;
    return true;
}

bool ControlConnection::askModule(int module) {
    std::uint8_t out1 = 0;
    net::TwoPortConnection::ReplyBytes out2{};
    if (!connection_->channelCommand(module - 1, kModulePollValue, out1, out2)) return false;
    ioAnswer_ = out1;
    return true;
}

bool ControlConnection::poll(const ControlPoll& state, bool& answered) {
    answered = false;
    const auto held = lock(1, kPollLockTry);
    if (!held) return true;
    const bool camera = state.camera >= 0;
    if (camera && state.cameraHasPtz && !keepAlive(state.camera)) return false;
    if (state.ioMode) {
        if (state.module == 0) return true;
        if (!askModule(state.module)) return false;
        answered = true;
        return true;
    }
    if (!camera || !state.cameraHasPtz) return true;
    std::uint8_t out1 = 0;
    net::TwoPortConnection::ReplyBytes out2{};
    if (state.module > 0 &&
        !connection_->channelCommand(state.module - 1, kModuleReleaseValue, out1, out2)) {
        return false;
    }
    // The last poll may fail without ending the polls.
    if (connection_->channelCommand(0, kModulePollValue, out1, out2)) {
        ioAnswer_ = out1;
        answered = true;
    }
    return true;
}

PtzResult ControlConnection::cameraCommand(int code, int parameter, int camera,
                                           bool cameraHasPtz, int speed, bool askFirst) {
    const auto held = lock(kLockTries, kLockTry);
    if (!held) return PtzResult::Busy;
    if (camera < 0) return PtzResult::NoCamera;
    if (!cameraHasPtz) return PtzResult::NoDome;
    if (ptzAnswer_ == 0 && askFirst && !keepAlive(camera)) return PtzResult::Failed;
    if (ptzAnswer_ == 0) return PtzResult::NoDome;
    std::uint8_t out1 = 0;
    net::TwoPortConnection::ReplyBytes out2{};
    return connection_->cameraCommand(code, parameter, camera, speed, out1, out2)
               ? PtzResult::Sent
               : PtzResult::Failed;
}

bool ControlConnection::forceOutput(int module, int output, bool askFirst) {
    const auto held = lock(kLockTries, kLockTry);
    if (!held || module < 1) return false;
    if (ioAnswer_ == 0 && askFirst && !askModule(module)) return false;
    if (ioAnswer_ == 0) return false;
    std::uint8_t out1 = 0;
    net::TwoPortConnection::ReplyBytes out2{};
    return connection_->channelCommand(module - 1, olderGenerationOutputValue(output), out1, out2);
}

}  // namespace ambro::live
