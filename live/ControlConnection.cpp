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
    if (connection_->connect(net::TwoPortConnection::kClientType) ==
        net::TwoPortConnectResult::Failed) {
        return false;
    }
    return connection_->login(net::codeTwoPortPassword(password), userName).has_value();
}

std::unique_lock<std::timed_mutex> ControlConnection::lock(int tries,
                                                           std::chrono::milliseconds each) {
    if (!platform::lockWithTries(mutex_, tries, each, stopping_)) return {};
    return std::unique_lock<std::timed_mutex>(mutex_, std::adopt_lock);
}

bool ControlConnection::keepAlive(int camera) {
    const auto reply = connection_->cameraCommandShortForm(kKeepAliveCode, 0, camera);
    if (!reply) return false;
    ptzAnswer_ = reply->answer;
    return true;
}

bool ControlConnection::askModule(int module) {
    const auto reply = connection_->channelCommand(module - 1, kModulePollValue);
    if (!reply) return false;
    ioAnswer_ = reply->answer;
    return true;
}

ControlPollResult ControlConnection::poll(const ControlPoll& state) {
    using enum ControlPollResult;
    const auto held = lock(1, kPollLockTry);
    if (!held) return Done;
    const bool camera = state.camera >= 0;
    if (camera && state.cameraHasPtz && !keepAlive(state.camera)) return Failed;
    if (state.ioMode) {
        if (state.module == 0) return Done;
        return askModule(state.module) ? Answered : Failed;
    }
    if (!camera || !state.cameraHasPtz) return Done;
    if (state.module > 0 && !connection_->channelCommand(state.module - 1, kModuleReleaseValue)) {
        return Failed;
    }
    // The last poll may fail without ending the polls.
    const auto reply = connection_->channelCommand(0, kModulePollValue);
    if (!reply) return Done;
    ioAnswer_ = reply->answer;
    return Answered;
}

PtzResult ControlConnection::cameraCommand(int code, int parameter, int camera,
                                           bool cameraHasPtz, int speed, bool askFirst) {
    const auto held = lock(kLockTries, kLockTry);
    if (!held) return PtzResult::Busy;
    if (camera < 0) return PtzResult::NoCamera;
    if (!cameraHasPtz) return PtzResult::NoDome;
    if (ptzAnswer_ == 0 && askFirst && !keepAlive(camera)) return PtzResult::Failed;
    if (ptzAnswer_ == 0) return PtzResult::NoDome;
    return connection_->cameraCommand(code, parameter, camera, speed) ? PtzResult::Sent
                                                                      : PtzResult::Failed;
}

bool ControlConnection::forceOutput(int module, int output, bool askFirst) {
    const auto held = lock(kLockTries, kLockTry);
    if (!held || module < 1) return false;
    if (ioAnswer_ == 0 && askFirst && !askModule(module)) return false;
    if (ioAnswer_ == 0) return false;
    return connection_->channelCommand(module - 1, olderGenerationOutputValue(output)).has_value();
}

}  // namespace ambro::live
