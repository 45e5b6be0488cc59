#include "live/view/LiveViewDialog.h"

#include <QApplication>
#include <QComboBox>
#include <QVBoxLayout>

#include "live/CommandBlock.h"
#include "live/ConnectingText.h"
#include "live/view/InputMonitorDialog.h"
#include "live/view/LiveKeyFilter.h"
#include "live/view/LivePictureWidget.h"
#include "live/view/LiveToolbarStrip.h"

namespace ambro::live {

namespace {

CameraListModel listOf(const CameraCatalogue& catalogue) {
    if (catalogue.generation == Generation::Older) {
        return CameraListModel::fromCameraTable(catalogue.cameraTable, catalogue.serverVersion,
                                                catalogue.viewWord);
    }
    std::vector<net::CameraEntry> cameras;
    for (std::size_t i = 0; i < catalogue.cameraNumbers.size() && i < catalogue.cameraNames.size();
         ++i) {
        cameras.push_back({catalogue.cameraNumbers[i], catalogue.cameraNames[i]});
    }
    return CameraListModel::fromCameras(cameras);
}

std::vector<std::vector<std::string>> inputNamesOf(const std::vector<IoModule>& modules) {
    std::vector<std::vector<std::string>> names;
    for (const IoModule& module : modules) {
        names.emplace_back(module.inputNames.begin(), module.inputNames.end());
    }
    return names;
}

}  // namespace

LiveViewDialog::LiveViewDialog(LiveSessionSettings settings, LiveMessageFunction showMessage,
                               QWidget* parent)
    : QDialog(parent),
      showMessage_(std::move(showMessage)),
      session_(std::make_unique<LiveSession>(std::move(settings),
                                            static_cast<LiveSessionObserver&>(*this))) {
    session_->setCellSelection(&navigator_.cells());
    pictures_ = std::make_unique<SessionPictures>(*session_);
    setModal(true);
    setWindowTitle(QStringLiteral("Ambro Live"));
    buildWindow();
    connectingTimer_.setInterval(kConnectingInterval);
    connect(&connectingTimer_, &QTimer::timeout, this, [this] { connectingTick(); });
    displayTimer_.setInterval(kDisplayInterval);
    displayTimer_.setTimerType(Qt::PreciseTimer);
    connect(&displayTimer_, &QTimer::timeout, this, [this] { displayTick(); });
    cameraStatusTimer_.setInterval(kStatusPageRefresh);
    connect(&cameraStatusTimer_, &QTimer::timeout, picture_, qOverload<>(&QWidget::update));
    resize(640, 560);
}

LiveViewDialog::~LiveViewDialog() { stopSession(); }

void LiveViewDialog::buildWindow() {
    picture_ = new LivePictureWidget(*pictures_, navigator_, this);
    toolbars_ = new LiveToolbarStrip(this);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(picture_, 1);
    layout->addWidget(toolbars_);

    picture_->setTapHandler([this](int x, int y) { tapped(x, y); });
    picture_->setSmallSizeHandler([this] { session_->setImageSize(1, false); });
    toolbars_->setHandlers([this](ToolbarId id, int index) { toolbarClicked(id, index); },
                           [this](ToolbarId id, int index, bool down) {
                               toolbarHeld(id, index, down);
                           });
    LiveBottomRow& row = picture_->bottomRow();
    row.cameraList()->setDropDownHandler([this] { cameraListDropsDown(); });
    connect(row.cameraList(), &QComboBox::activated, this, [this](int index) { select(index); });
    connect(row.presetList(), &QComboBox::activated, this,
            [this](int entry) { presetChosen(entry); });
    keyFilter_ = new LiveKeyFilter(
        *this, session_->keys(),
        {[this](int key) { applyNavigation(navigator_.arrowKey(key)); },
         [this] { applyNavigation(navigator_.shortEnter()); }});
    refreshToolbars();
}

QComboBox* LiveViewDialog::cameraList() const { return picture_->bottomRow().cameraList(); }
QComboBox* LiveViewDialog::presetList() const { return picture_->bottomRow().presetList(); }

// --- Life of the session ---

void LiveViewDialog::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (!started_) startSession();
}

void LiveViewDialog::startSession() {
    started_ = true;
    connectingTimer_.start();
    connectingTick();
    session_->start();
}

void LiveViewDialog::stopSession() {
    if (stopped_) return;
    stopped_ = true;
    connectingTimer_.stop();
    displayTimer_.stop();
    cameraStatusTimer_.stop();
    keyFilter_->stop();
    session_->close();
}

void LiveViewDialog::done(int result) {
    stopSession();
    QDialog::done(result);
}

// One message, then the window closes; whatever the session reports after
// it is not shown.
void LiveViewDialog::endWithMessage(const QString& text) {
    if (ending_ || stopped_) return;
    ending_ = true;
    connectingTimer_.stop();
    displayTimer_.stop();
    if (monitor_) monitor_->reject();
    showMessage_(this, text);
    reject();
}

void LiveViewDialog::connectingTick() {
    keyFilter_->timerTick();
    picture_->setConnectingText(connectingText(connectingCount_++));
}

void LiveViewDialog::displayTick() {
    keyFilter_->timerTick();
    (void)session_->displayTick();  // a picture shows through the observer
}

// --- What the session reports ---

void LiveViewDialog::connectFailed(LiveFailure failure, const std::string&) {
    onWindowThread(
        [this, failure] { endWithMessage(QString::fromLatin1(liveFailureText(failure))); });
}

void LiveViewDialog::disconnected(const std::string& headline, const std::string& detail) {
    const QString text =
        QString::fromStdString(detail.empty() ? headline : headline + "\n" + detail);
    onWindowThread([this, text] { endWithMessage(text); });
}

void LiveViewDialog::sessionReady(Generation generation) {
    onWindowThread([this, generation] { onSessionReady(generation); });
}

void LiveViewDialog::cameraListChanged(const CameraCatalogue& catalogue) {
    onWindowThread([this, catalogue] { onCameraList(catalogue); });
}

void LiveViewDialog::cameraSelected(const CameraAbilities& abilities) {
    onWindowThread([this, abilities] { onCameraSelected(abilities); });
}

void LiveViewDialog::cameraStatusChanged(const CameraStatusTable&) {
    onWindowThread([this] {
        if (cameraStatusPage_) picture_->update();
    });
}

void LiveViewDialog::ioModulesChanged(const std::vector<IoModule>& modules) {
    onWindowThread([this, modules] { onIoModules(modules); });
}

void LiveViewDialog::controlAnswersChanged(const ControlAnswers& answers) {
    onWindowThread([this, answers] { onControlAnswers(answers); });
}

void LiveViewDialog::alarmRaised(const AlarmInputs& alarm) {
    onWindowThread([this, alarm] {
        if (monitor_) monitor_->addAlarm(alarm);
    });
}

void LiveViewDialog::videoLost() {
    onWindowThread([this] { picture_->showStatusText(StatusMessage::VideoLost); });
}

void LiveViewDialog::unsupportedImageSize(int) {
    onWindowThread([this] { picture_->showStatusText(StatusMessage::SetupResolution); });
}

void LiveViewDialog::pictureReady(const PictureView&) { picture_->pictureArrived(); }

void LiveViewDialog::snapshotSaved(const std::filesystem::path& file) {
    picture_->showNote(file.string());
}

void LiveViewDialog::snapshotFailed(const std::string& reason) {
    picture_->showNote("Snapshot not saved: " + reason);
}

void LiveViewDialog::onSessionReady(Generation generation) {
    if (ending_ || stopped_) return;
    ready_ = true;
    generation_ = generation;
    connectingTimer_.stop();
    picture_->setConnectingText(std::nullopt);
    updateServer();
    toolbarModel_.showMain();
    refreshToolbars();
    if (generation == Generation::Older) {
        fillRequested_ = true;
        firstSetUpPending_ = true;
        session_->refreshCameraList();
    }
    displayTimer_.start();
}

// An older-generation server's list fills the selector only when the window
// asked for it; the camera selection asks for the list too, and that answer
// leaves the selector as it is.
void LiveViewDialog::onCameraList(const CameraCatalogue& catalogue) {
    if (catalogue.generation == Generation::Current) {
        server_.serverKind = catalogue.serverKind;
        picture_->setServerKind(catalogue.serverKind);
        updateServer();
        fillCameraList(listOf(catalogue));
        return;
    }
    if (!fillRequested_) return;
    fillRequested_ = false;
    fillCameraList(listOf(catalogue));
    if (firstSetUpPending_) {
        firstSetUpPending_ = false;
        for (const ToolbarCommand& command : ToolbarModel::logInImageCommands()) run(command);
    }
}

void LiveViewDialog::onCameraSelected(const CameraAbilities& abilities) {
    toolbarModel_.setCamera({abilities.capabilityWord, abilities.hasPtz, abilities.presetCount});
    fillPresetList();
    refreshToolbars();
}

void LiveViewDialog::onIoModules(std::vector<IoModule> modules) {
    modules_ = std::move(modules);
    updateServer();
    refreshToolbars();
}

void LiveViewDialog::onControlAnswers(ControlAnswers answers) {
    answers_ = answers;
    toolbarModel_.refresh(answers.ptz, answers.io);
    refreshToolbars();
}

// --- Camera selector, taps and keys ---

void LiveViewDialog::fillCameraList(CameraListModel list) {
    QComboBox* combo = cameraList();
    const QSignalBlocker quiet(combo);
    combo->clear();
    for (const std::string& name : list.names()) combo->addItem(QString::fromStdString(name));
    combo->setCurrentIndex(-1);
    const auto initial = list.initialSelection();
    navigator_.setCameraList(std::move(list));
    if (initial) select(*initial);
}

// fillCameraList: an older-generation list with nothing selected is asked
// for again as it drops down.
void LiveViewDialog::cameraListDropsDown() {
    if (generation_ != Generation::Older || navigator_.position() >= 0) return;
    fillRequested_ = true;
    session_->refreshCameraList();
}

// selectCurrent for a list position.
void LiveViewDialog::select(int position) {
    if (!navigator_.cameraList().valid(position)) return;
    {
        const QSignalBlocker quiet(cameraList());
        cameraList()->setCurrentIndex(position);
    }
    navigator_.selected(position);
    session_->select(navigator_.cameraList(), position);
    picture_->update();
}

void LiveViewDialog::tapped(int x, int y) {
    const bool rotated = picture_->layout().rotated();
    applyNavigation(navigator_.tap(x, y, picture_->lastDestination(), rotated));
}

void LiveViewDialog::applyNavigation(const NavigatorAction& action) {
    if (action.waitCursor) QApplication::setOverrideCursor(Qt::WaitCursor);
    if (action.showBottomControls) picture_->bottomRow().setVisible(*action.showBottomControls);
    if (action.selectPosition) select(*action.selectPosition);
    if (action.repaint) picture_->update();
    if (action.waitCursor) QApplication::restoreOverrideCursor();
}

// --- Toolbars ---

void LiveViewDialog::toolbarClicked(ToolbarId toolbar, int index) {
    if (!ready_ || stopped_) return;
    applyOutcome(toolbarModel_.press(toolbar, index));
}

// A dome button held down repeats its move on the control thread until it
// is let go.
void LiveViewDialog::toolbarHeld(ToolbarId toolbar, int index, bool down) {
    if (!ready_ || stopped_) return;
    if (!down) {
        session_->setHeldAction(std::nullopt, toolbarModel_.speed());
        return;
    }
    if (!toolbarModel_.repeatsWhileHeld(toolbar, index) ||
        !toolbarModel_.buttonEnabled(toolbar, index)) {
        return;
    }
    const ToolbarButton& button = toolbarButtons(toolbar)[static_cast<std::size_t>(index)];
    session_->setHeldAction(button.action, toolbarModel_.speed());
}

void LiveViewDialog::presetChosen(int entry) {
    if (!ready_ || stopped_) return;
    applyOutcome(toolbarModel_.choosePresetListEntry(entry));
}

void LiveViewDialog::applyOutcome(const ToolbarOutcome& outcome) {
    if (outcome.cameraStatusPageOff && cameraStatusPage_) setCameraStatusPage(false);
    if (outcome.presetListChanged) fillPresetList();
    if (outcome.toolbarChanged || outcome.bottomRowChanged) {
        session_->setIoPage({toolbarModel_.ioMode(), toolbarModel_.selectedModule()});
    }
    refreshToolbars();
    run(outcome.command);
}

void LiveViewDialog::run(const ToolbarCommand& command) {
    switch (command.kind) {
        case CommandKind::None: return;
        case CommandKind::Close: reject(); return;
        case CommandKind::ToggleCameraStatus: setCameraStatusPage(!cameraStatusPage_); return;
        case CommandKind::CameraMove:
            if (command.action) session_->cameraAction(*command.action, command.speed);
            return;
        case CommandKind::GoPreset: session_->goPreset(command.number, command.speed); return;
        case CommandKind::GoListedPreset: session_->goListedPreset(command.number); return;
        case CommandKind::SetQuality:
            session_->postCommand(
                CommandBlock::withWords(kQualityCode, {command.number, command.second}));
            return;
        case CommandKind::RotateImage:
            session_->setRotation(picture_->layout().toggleRotation() == 1);
            picture_->update();
            return;
        case CommandKind::TakeSnapshot: session_->requestSnapshot(); return;
        case CommandKind::SetImageSize:
            session_->setImageSize(command.number, command.lowQualityFirst);
            picture_->update();
            return;
        case CommandKind::Monitoring:
            session_->postCommand(CommandBlock::withWords(command.number, {}));
            return;
        case CommandKind::ForceOutput:
            session_->forceOutput(command.module, command.number);
            return;
        case CommandKind::OpenInputMonitor: openInputMonitor(); return;
    }
}

void LiveViewDialog::refreshToolbars() {
    toolbars_->apply(toolbarModel_);
    picture_->bottomRow().showPair(toolbarModel_.bottomPair(), toolbarModel_.bottomLabel());
}

void LiveViewDialog::updateServer() {
    server_.currentGeneration = generation_ == Generation::Current;
    server_.outputCounts.clear();
    for (const IoModule& module : modules_) server_.outputCounts.push_back(module.outputCount);
    toolbarModel_.setServer(server_);
}

void LiveViewDialog::fillPresetList() {
    QComboBox* presets = presetList();
    const QSignalBlocker quiet(presets);
    presets->clear();
    for (int preset : toolbarModel_.presetList()) presets->addItem(QString::number(preset));
    presets->setCurrentIndex(-1);
}

// The page is refreshed every second while it is shown; an older server
// stops its stream meanwhile and sends the status table again each second.
void LiveViewDialog::setCameraStatusPage(bool shown) {
    cameraStatusPage_ = shown;
    session_->showCameraStatus(shown);
    picture_->setCameraStatusPage(shown);
    if (shown) {
        cameraStatusTimer_.start();
    } else {
        cameraStatusTimer_.stop();
    }
}

// "IO Control" runs modally; alarm polls replace the stream meanwhile and
// no toolbar is shown.
void LiveViewDialog::openInputMonitor() {
    InputMonitorDialog monitor(inputNamesOf(modules_), this);
    monitor_ = &monitor;
    refreshToolbars();
    session_->setInputMonitor(true);
    monitor.exec();
    session_->setInputMonitor(false);
    monitor_ = nullptr;
    toolbarModel_.inputMonitorClosed();
    refreshToolbars();
}

}  // namespace ambro::live
