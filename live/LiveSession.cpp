#include "live/LiveSession.h"

#include "live/CameraCommandCodes.h"
#include "net/ServerBlocks.h"

namespace ambro::live {

namespace {

using namespace std::chrono_literals;

// Capability word bit that offers the I/O module pages.
constexpr std::uint32_t kIoCapability = 1u << 11;
constexpr int kLowQuality = 30;
constexpr int kLowQualitySecond = 2;

std::string describe(net::ConnectOutcome outcome) {
    switch (outcome) {
        case net::ConnectOutcome::LoginRefused:
            return "the server refused the user name or password";
        case net::ConnectOutcome::TimedOut:
            return "the server did not answer in time (timed out after " +
                   std::to_string(platform::replyTimeout().count()) + " ms)";
        case net::ConnectOutcome::ConnectFailed: return "the server cannot be reached";
        default: return "the connection broke during the log-in";
    }
}

IoModule moduleOf(const net::IoNames& names) {
    IoModule module;
    for (std::size_t i = 0; i < names.inputNames.size() && i < IoModule::kNames; ++i) {
        module.inputNames[i] = names.inputNames[i];
    }
    for (std::size_t i = 0; i < names.outputNames.size() && i < IoModule::kNames; ++i) {
        module.outputNames[i] = names.outputNames[i];
    }
    module.inputCount = static_cast<int>(std::min(names.inputNames.size(),
                                                  std::size_t{IoModule::kNames}));
    module.outputCount = static_cast<int>(std::min(names.outputNames.size(),
                                                   std::size_t{IoModule::kNames}));
    return module;
}

}  // namespace

std::int64_t arrivalTimeMs() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

const char* liveFailureText(LiveFailure failure) {
    switch (failure) {
        case LiveFailure::ConnectedFailed: return "Connected Failed";
        case LiveFailure::TooManyUsers: return "Too Many Users";
        case LiveFailure::Rejected: return "Server Reject Ambro Client";
        case LiveFailure::MemoryAllocationFailed: return "Memory Allocation Failed";
    }
    return "Connected Failed";
}

LiveSession::LiveSession(LiveSessionSettings settings, LiveSessionObserver& observer)
    : settings_(std::move(settings)),
      shared_(observer),
      display_(shared_, settings_.snapshotFolder),
      connection_(settings_.endpoint, settings_.userName, settings_.password),
      current_(std::make_unique<CurrentGenerationSession>(
          connection_, static_cast<CurrentGenerationSession::Listener&>(*this),
          settings_.ptzDirectory)) {}

LiveSession::~LiveSession() { close(); }

void LiveSession::start() {
    if (connectThread_.joinable() || closed_) return;
    connectThread_ = std::thread([this] { runConnect(); });
}

void LiveSession::close() {
    if (closed_.exchange(true)) return;
    shared_.closing = true;
    shared_.running = false;
    shared_.wakeSleepers();
    keys_.clear();
    current_->interrupt();
    {
        std::lock_guard lock(controlMutex_);
        if (control_) control_->interrupt();
    }
    if (connectThread_.joinable()) connectThread_.join();
    if (sessionThread_.joinable()) sessionThread_.join();
    worker_.stop();
    current_->close();
    connection_.closeSockets();
}

void LiveSession::runConnect() {
    const net::ConnectOutcome outcome = current_->connect();
    if (shared_.closing) return;
    switch (outcome) {
        case net::ConnectOutcome::Accepted: return startCurrentGeneration();
        case net::ConnectOutcome::OlderGeneration: return startOlderGeneration();
        case net::ConnectOutcome::TooManyUsers:
            return fail(LiveState::TooManyUsers, LiveFailure::TooManyUsers, "");
        default: return fail(LiveState::Failed, LiveFailure::ConnectedFailed, describe(outcome));
    }
}

void LiveSession::fail(LiveState state, LiveFailure failure, const std::string& detail) {
    state_ = state;
    if (!shared_.closing) shared_.observer.connectFailed(failure, detail);
}

void LiveSession::startCurrentGeneration() {
    generation_ = Generation::Current;
    const auto& io = connection_.ioNames();
    std::vector<IoModule> modules;
    if (io.present) modules.push_back(moduleOf(io));
    shared_.tables.setModules(modules);
    state_ = LiveState::CurrentGenerationConnected;
    worker_.start([this] { controlPass(); });
    shared_.observer.cameraListChanged(catalogue());
    shared_.observer.ioModulesChanged(modules);
    shared_.observer.cameraSelected(abilities());
    shared_.observer.sessionReady(Generation::Current);
}

void LiveSession::startOlderGeneration() {
    const net::Greeting greeting = connection_.greeting().value_or(net::Greeting{});
    if (greeting[2] > 0xFFFF || greeting[3] > 0xFFFF) {
        return fail(LiveState::Failed, LiveFailure::ConnectedFailed,
                    "the server announced ports that do not exist");
    }
    ControlConnection* control = nullptr;
    {
        std::lock_guard lock(controlMutex_);
        if (shared_.closing) return;
        control_ = std::make_unique<ControlConnection>(std::make_unique<net::TwoPortConnection>(
            settings_.endpoint.host, static_cast<std::uint16_t>(greeting[2]),
            static_cast<std::uint16_t>(greeting[3])));
        control = control_.get();
    }
    const std::string password = settings_.password.substr(0, kTextField - 1);
    const std::string user = settings_.userName.substr(0, kTextField - 1);
    if (!control->open(password, user)) {
        return fail(LiveState::Failed, LiveFailure::ConnectedFailed,
                    "the server's control connection did not accept the log-in");
    }
    shared_.setPictureSize(176, 144);
    generation_ = Generation::Older;
    state_ = LiveState::OlderGenerationStarted;
    older_ = std::make_unique<OlderGenerationSession>(shared_, connection_.commandSocket(),
                                                      settings_.userName, settings_.password);
    sessionThread_ = std::thread([this] {
        const auto ended = older_->run([this] { worker_.start([this] { controlPass(); }); });
        if (ended == SessionError::ServerRejectClientType) state_ = LiveState::Rejected;
    });
}

// The control thread's pass: the dome keep-alive and the I/O polls of an
// older-generation server, then the buttons and keys held down.
void LiveSession::controlPass() {
    std::optional<ptz::DomeAction> held;
    int speed = 1;
    ControlPoll poll;
    {
        std::lock_guard lock(controlMutex_);
        held = heldAction_;
        speed = heldSpeed_;
        poll.ioMode = ioPage_.ioMode;
        poll.module = ioPage_.module;
    }
    if (generation() == Generation::Older && !pollsFailed_) {
        const CameraSelectWords selection = shared_.tables.selection();
        poll.camera = selection.camera;
        poll.cameraHasPtz = selection.ptzFlag != 0;
        const ControlAnswers before = control_->answers();
        const ControlPollResult result = control_->poll(poll);
        pollsFailed_ = result == ControlPollResult::Failed;
        const ControlAnswers after = control_->answers();
        if (result == ControlPollResult::Answered || after.ptz != before.ptz) {
            shared_.observer.controlAnswersChanged(after);
        }
    }
    if (held) (void)actionNow(*held, speed, false);
    if (const auto key = keys_.takeKeyCommand()) (void)actionNow(*key, speed, false);
}

void LiveSession::queue(std::function<void()> job) { worker_.post(std::move(job)); }

bool LiveSession::postNow(const CommandBlock& block) {
    return generation() == Generation::Older && shared_.mailbox.post(block, shared_.running);
}

void LiveSession::postCommand(const CommandBlock& block) {
    // A click whose block cannot be posted is dropped without a message.
    queue([this, block] { (void)postNow(block); });
}

void LiveSession::refreshCameraList() {
    postCommand(CommandBlock::withWords(kCameraListCode, {}));
}

void LiveSession::select(const CameraListModel& list, int position) {
    const auto selection = list.selectionFor(position);
    if (!selection) return;
    const int camera = list.cameraAt(position);
    queue([this, selection = *selection, camera] {
        if (generation() == Generation::Current) {
            (void)current_->selectCamera(camera);
            shared_.observer.cameraSelected(abilities());
            return;
        }
        // As any click, a selection that cannot be posted is dropped.
        (void)postNow(CommandBlock::withWords(kCameraListCode, {}));
        shared_.sleepFor(kSelectPause);
        (void)postNow(CommandBlock::withWords(kCameraSelectCode, {selection.payload}));
    });
}

// Posts and waits until the session thread has served the block: the
// reply's effect is in the tables once this returns true.
bool LiveSession::postAndWait(const CommandBlock& block) {
    if (!postNow(block)) return false;
    const auto deadline = platform::Deadline::after(platform::replyTimeout() + 1s);
    while (shared_.mailbox.pending() && shared_.running && !deadline.expired()) {
        std::this_thread::sleep_for(2ms);
    }
    return !shared_.mailbox.pending() && shared_.mailbox.lastServed();
}

bool LiveSession::refreshCameraListNow() {
    return postAndWait(CommandBlock::withWords(kCameraListCode, {}));
}

SelectResult LiveSession::selectCameraNow(int camera) {
    if (generation() == Generation::Current) {
        const SelectResult result = current_->selectCamera(camera);
        if (result == SelectResult::Selected) shared_.observer.cameraSelected(abilities());
        return result;
    }
    if (!refreshCameraListNow()) return SelectResult::Failed;
    const CameraListModel list = CameraListModel::fromCameraTable(
        shared_.tables.cameraTable(), shared_.tables.serverVersion(), shared_.tables.viewWord());
    if (!list.positionOfCamera(camera)) return SelectResult::NotInList;
    if (!postAndWait(CommandBlock::withWords(kCameraSelectCode, {camera}))) {
        return SelectResult::Failed;
    }
    return shared_.tables.selection().camera == camera ? SelectResult::Selected
                                                        : SelectResult::Failed;
}

PtzResult LiveSession::olderCameraCommand(int code, int parameter, int speed, bool askFirst) {
    const CameraSelectWords selection = shared_.tables.selection();
    return control_->cameraCommand(code, parameter, selection.camera, selection.ptzFlag != 0, speed,
                                   askFirst);
}

PtzResult LiveSession::actionNow(ptz::DomeAction action, int speed, bool askFirst) {
    switch (generation()) {
        case Generation::Current: return current_->cameraAction(action);
        case Generation::Older:
            return olderCameraCommand(olderGenerationCameraCode(action), 0, speed, askFirst);
        case Generation::Unknown: break;
    }
    return PtzResult::NoCamera;
}

PtzResult LiveSession::presetNow(int presetNumber, int speed, bool askFirst) {
    switch (generation()) {
        case Generation::Current: return current_->goPreset(presetNumber);
        case Generation::Older:
            if (presetNumber <= 16) {
                return olderCameraCommand(olderGenerationPresetCode(presetNumber), 0, speed,
                                          askFirst);
            }
            return olderCameraCommand(kPresetListCameraCode, presetNumber - 1, kPresetListSpeed,
                                      askFirst);
        case Generation::Unknown: break;
    }
    return PtzResult::NoCamera;
}

PtzResult LiveSession::cameraActionNow(ptz::DomeAction action, int speed) {
    return actionNow(action, speed, true);
}

PtzResult LiveSession::goPresetNow(int presetNumber, int speed) {
    if (presetNumber < 1 || presetNumber > kLastListedPreset) return PtzResult::Unsupported;
    return presetNow(presetNumber, speed, true);
}

void LiveSession::cameraAction(ptz::DomeAction action, int speed) {
    queue([this, action, speed] { (void)actionNow(action, speed, false); });
}

void LiveSession::goPreset(int presetNumber, int speed) {
    queue([this, presetNumber, speed] { (void)presetNow(presetNumber, speed, false); });
}

void LiveSession::goListedPreset(int presetNumber) {
    if (presetNumber > kLastListedPreset) return;
    goPreset(presetNumber, kPresetListSpeed);
}

void LiveSession::setHeldAction(std::optional<ptz::DomeAction> action, int speed) {
    std::lock_guard lock(controlMutex_);
    heldAction_ = action;
    heldSpeed_ = speed;
}

bool LiveSession::forceOutputNow(int module, int output) {
    switch (generation()) {
        case Generation::Current: return current_->pulseOutput(output);
        case Generation::Older: return control_->forceOutput(module, output, true);
        case Generation::Unknown: break;
    }
    return false;
}

void LiveSession::forceOutput(int module, int output) {
    queue([this, module, output] {
        if (generation() == Generation::Older) {
            (void)control_->forceOutput(module, output, false);
        } else {
            (void)forceOutputNow(module, output);
        }
    });
}

void LiveSession::setImageSize(int sizeIndex, bool lowQualityFirst) {
    if (lowQualityFirst) {
        postCommand(CommandBlock::withWords(kQualityCode, {kLowQuality, kLowQualitySecond}));
    }
    postCommand(CommandBlock::withWords(kImageSizeCode, {sizeIndex}));
}

void LiveSession::setRotation(bool rotated) {
    postCommand(CommandBlock::withWords(kRotationCode, {rotated ? 1 : 0}));
}

void LiveSession::showCameraStatus(bool shown) {
    shared_.statusPage = shown ? 1 : 0;
    if (shown) postCommand(CommandBlock::withWords(kCameraStatusCode, {}));
}

void LiveSession::setIoPage(IoPage page) {
    std::lock_guard lock(controlMutex_);
    ioPage_ = page;
}

void LiveSession::setInputMonitor(bool open) { shared_.ioMonitoring = open; }

CameraCatalogue LiveSession::catalogue() const {
    CameraCatalogue catalogue;
    catalogue.generation = generation();
    if (catalogue.generation == Generation::Older) {
        catalogue.cameraTable = shared_.tables.cameraTable();
        catalogue.serverVersion = shared_.tables.serverVersion();
        catalogue.viewWord = shared_.tables.viewWord();
    } else if (catalogue.generation == Generation::Current) {
        for (const auto& camera : connection_.cameraList().cameras) {
            catalogue.cameraNumbers.push_back(camera.number);
            catalogue.cameraNames.push_back(camera.name);
        }
        catalogue.serverKind = net::serverKindOf(connection_.serverDescription());
    }
    return catalogue;
}

std::vector<IoModule> LiveSession::ioModules() const { return shared_.tables.modules(); }

CameraAbilities LiveSession::abilities() const {
    if (generation() == Generation::Older) {
        const CameraSelectWords words = shared_.tables.selection();
        return {words.camera, words.ptzFlag != 0, words.capabilityWord,
                std::max(0, words.presetCount), words.audioWord != 0};
    }
    CameraAbilities abilities;
    abilities.camera = current_->currentCamera();
    abilities.hasPtz = currentPtz_;
    abilities.capabilityWord = currentCapabilities_;
    if (!shared_.tables.modules().empty()) abilities.capabilityWord |= kIoCapability;
    abilities.presetCount = currentPresets_;
    return abilities;
}

bool LiveSession::statusRecordReceived(int camera) const {
    return current_->statusRecordReceived(camera);
}

void LiveSession::pictureSizeChanged(int width, int height) {
    shared_.observer.pictureSizeChanged(width, height);
}

void LiveSession::pictureDecoded(const PictureView& picture) {
    shared_.observer.pictureDecoded(picture);
    display_.offerPicture(picture);
}

void LiveSession::videoLost() { shared_.observer.videoLost(); }

void LiveSession::unsupportedImageSize(int code) {
    shared_.observer.unsupportedImageSize(code);
    queue([this] { (void)current_->stopVideo(); });
}

void LiveSession::disconnected() {
    if (!shared_.closing) shared_.observer.disconnected("Disconnect", "");
}

void LiveSession::videoStopped() { shared_.observer.videoStopped(); }

void LiveSession::ptzChanged(bool present, std::uint8_t capabilities, int presetCount) {
    currentPtz_ = present;
    currentCapabilities_ = capabilities;
    currentPresets_ = presetCount;
}

}  // namespace ambro::live
