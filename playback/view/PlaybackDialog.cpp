#include "playback/view/PlaybackDialog.h"

#include <QToolTip>

#include <QAction>
#include <QComboBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPainter>
#include <QSlider>
#include <QSplitter>
#include <QSvgRenderer>
#include <QToolBar>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "app/MessageBox.h"
#include "playback/view/PictureView.h"

// Resources of a static library are registered by hand, from outside any
// namespace.
static void registerPlaybackResources() { Q_INIT_RESOURCE(playback_view); }

namespace ambro::playback {

namespace {

constexpr int kTimeColumnWidth = 160;
constexpr int kTimeTextHeight = 15;
constexpr int kIconSize = 48;
// Tree depth of a day item: root, year, month, day.
constexpr int kDayDepth = 3;

QIcon svgIcon(const QString& name) {
    QSvgRenderer renderer(QStringLiteral(":/playback/icons/") + name + QStringLiteral(".svg"));
    QPixmap pixmap(kIconSize, kIconSize);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    renderer.render(&painter);
    return QIcon(pixmap);
}

int depthOf(const QTreeWidgetItem* item) {
    int depth = 0;
    for (; item->parent(); item = item->parent()) ++depth;
    return depth;
}

QAction* addCommand(QToolBar* bar, const char* icon, const char* tip) {
    QAction* action = bar->addAction(svgIcon(QString::fromLatin1(icon)), QString::fromLatin1(tip));
    action->setToolTip(QString::fromLatin1(tip));
    return action;
}

}  // namespace

PlaybackDialog::PlaybackDialog(PlaybackSettings settings, QWidget* parent) : QDialog(parent) {
    registerPlaybackResources();
    buildControls();
    connectControls();
    PlaybackObserver& observer = *this;
    session_ = std::make_unique<PlaybackSession>(std::move(settings), observer);
    connectingTimer_.start(kConnectingTick);
    session_->start();
}

PlaybackDialog::~PlaybackDialog() { session_->close(); }

void PlaybackDialog::buildControls() {
    setWindowTitle(QStringLiteral("RPB"));
    resize(900, 600);

    evenRowIcon_ = svgIcon(QStringLiteral("row-even"));
    oddRowIcon_ = svgIcon(QStringLiteral("row-odd"));
    playedIcon_ = svgIcon(QStringLiteral("row-played"));
    failedIcon_ = svgIcon(QStringLiteral("row-failed"));

    auto* commands = new QToolBar(this);
    commands->setIconSize(QSize(24, 24));
    playAction_ = addCommand(commands, "play", "Play Selected File");
    pauseAction_ = addCommand(commands, "pause", "Pause Play");
    stopAction_ = addCommand(commands, "stop", "Stop Play File");
    exitAction_ = addCommand(commands, "exit", "Exit Rpb");
    snapshotAction_ = addCommand(commands, "snapshot", "Snapshot");

    cameraList_ = new QComboBox(this);
    dayTree_ = new QTreeWidget(this);
    dayTree_->setHeaderHidden(true);
    fileList_ = new QTreeWidget(this);
    fileList_->setHeaderLabels({QStringLiteral("Time")});
    fileList_->setRootIsDecorated(false);
    fileList_->header()->setStretchLastSection(false);
    fileList_->setColumnWidth(0, kTimeColumnWidth);
    clearDayTree();

    auto* choices = new QWidget(this);
    auto* choiceLayout = new QVBoxLayout(choices);
    choiceLayout->setContentsMargins(0, 0, 0, 0);
    choiceLayout->addWidget(cameraList_);
    choiceLayout->addWidget(dayTree_, 1);
    choiceLayout->addWidget(fileList_, 1);

    pictureView_ = new PictureView(this);
    auto* splitter = new QSplitter(Qt::Horizontal, this);
    splitter->addWidget(choices);
    splitter->addWidget(pictureView_);
    splitter->setStretchFactor(1, 1);
    splitter->setSizes({220, 680});

    timeText_ = new QLabel(QStringLiteral("TimStamp"), this);
    timeText_->setFixedHeight(kTimeTextHeight);
    slider_ = new QSlider(Qt::Horizontal, this);
    slider_->setTracking(false);
    slider_->setEnabled(false);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(commands);
    layout->addWidget(splitter, 1);
    layout->addWidget(timeText_);
    layout->addWidget(slider_);
    showPlay(true);
}

void PlaybackDialog::connectControls() {
    connect(&connectingTimer_, &QTimer::timeout, this, [this] { onConnectingTick(); });
    connect(&pacingTimer_, &QTimer::timeout, this, [this] { onPace(); });
    connect(cameraList_, &QComboBox::activated, this, [this](int index) { onCameraChosen(index); });
    connect(dayTree_, &QTreeWidget::itemClicked, this,
            [this](QTreeWidgetItem* item) { onDayChosen(item); });
    connect(dayTree_, &QTreeWidget::itemActivated, this,
            [this](QTreeWidgetItem* item) { onDayChosen(item); });
    connect(fileList_, &QTreeWidget::itemClicked, this,
            [this](QTreeWidgetItem* item) { onFileChosen(item); });
    connect(fileList_, &QTreeWidget::itemActivated, this,
            [this](QTreeWidgetItem* item) { onFileChosen(item); });
    connect(playAction_, &QAction::triggered, this, [this] { onPlay(); });
    connect(pauseAction_, &QAction::triggered, this, [this] { onPlay(); });
    connect(stopAction_, &QAction::triggered, this, [this] { onStop(); });
    connect(exitAction_, &QAction::triggered, this, [this] { reject(); });
    connect(snapshotAction_, &QAction::triggered, this, [this] { session_->requestSnapshot(); });
    connect(slider_, &QSlider::valueChanged, this, [this](int position) {
        if (!movingSlider_) onSeek(position);
    });
}

void PlaybackDialog::done(int result) {
    connectingTimer_.stop();
    pacingTimer_.stop();
    session_->close();
    QDialog::done(result);
}

// The session's threads: each report is handed to the window's thread. A
// report still queued when the window goes is dropped with it.
void PlaybackDialog::openingFinished(int status) {
    QMetaObject::invokeMethod(this, [this, status] { onOpeningFinished(status); },
                              Qt::QueuedConnection);
}

void PlaybackDialog::sessionEnded() {
    QMetaObject::invokeMethod(this, [this] { onSessionEnded(); }, Qt::QueuedConnection);
}

void PlaybackDialog::pictureShown(int shownFrames) {
    QMetaObject::invokeMethod(this, [this, shownFrames] { onPictureShown(shownFrames); },
                              Qt::QueuedConnection);
}

void PlaybackDialog::snapshotSaved(const std::filesystem::path& path) {
    const QString text = QString::fromStdString(path.string());
    QMetaObject::invokeMethod(this, [this, text] { showSnapshotNote(text); },
                              Qt::QueuedConnection);
}

void PlaybackDialog::snapshotFailed(const std::string& why) {
    const QString text = QStringLiteral("Snapshot not saved: ") + QString::fromStdString(why);
    QMetaObject::invokeMethod(this, [this, text] { showSnapshotNote(text); },
                              Qt::QueuedConnection);
}

void PlaybackDialog::showSnapshotNote(const QString& text) {
    constexpr int kShownMs = 3000;
    QToolTip::showText(pictureView_->mapToGlobal(pictureView_->rect().center()), text,
                       pictureView_, {}, kShownMs);
}

void PlaybackDialog::onConnectingTick() {
    pictureView_->showConnecting(++connectingTicks_ % 10);
}

void PlaybackDialog::onOpeningFinished(int status) {
    connectingTimer_.stop();
    pictureView_->showConnecting(-1);
    if (status != opening::kOpen) {
        const std::string_view message = openingFailureMessage(status);
        app::showMessage(this, QString::fromLatin1(message.data(),
                                                   static_cast<qsizetype>(message.size())));
        reject();
        return;
    }
    cameras_ = session_->cameras();
    cameraList_->clear();
    for (const auto& camera : cameras_) {
        cameraList_->addItem(QString::fromLatin1(camera.name.data(),
                                                 static_cast<qsizetype>(camera.name.size())));
    }
    cameraList_->setCurrentIndex(cameras_.empty() ? -1 : 0);
    fillDayTree();
}

void PlaybackDialog::clearDayTree() {
    dayTree_->clear();
    fileList_->clear();
    rows_.clear();
    dayTree_->addTopLevelItem(new QTreeWidgetItem({QStringLiteral("Rpb Date")}));
}

void PlaybackDialog::fillDayTree() {
    clearDayTree();
    QTreeWidgetItem* root = dayTree_->topLevelItem(0);
    for (const auto& year : buildDayTree(session_->recordingDays()).years) {
        auto* yearItem = new QTreeWidgetItem(root, {QString::fromStdString(year.text)});
        for (const auto& month : year.months) {
            auto* monthItem = new QTreeWidgetItem(yearItem, {QString::fromStdString(month.text)});
            for (const auto& day : month.days) {
                new QTreeWidgetItem(monthItem, {QString::fromStdString(day)});
            }
        }
    }
    dayTree_->expandAll();
}

void PlaybackDialog::onCameraChosen(int index) {
    if (index < 0 || index >= static_cast<int>(cameras_.size())) return;
    clearDayTree();
    if (session_->selectCamera(cameras_[static_cast<std::size_t>(index)].number)) fillDayTree();
}

void PlaybackDialog::onDayChosen(QTreeWidgetItem* item) {
    if (!item || item->childCount() > 0 || depthOf(item) != kDayDepth) return;
    fileList_->clear();
    rows_.clear();
    const RecordingDay day{item->parent()->parent()->text(0).toStdString(),
                           item->parent()->text(0).toStdString(), item->text(0).toStdString()};
    const auto rows = session_->chooseDay(day);
    if (!rows) return;
    rows_ = *rows;
    for (std::size_t i = 0; i < rows_.size(); ++i) {
        auto* row = new QTreeWidgetItem(fileList_, {QString::fromStdString(rows_[i].text)});
        row->setIcon(0, i % 2 == 0 ? evenRowIcon_ : oddRowIcon_);
    }
}

void PlaybackDialog::onFileChosen(QTreeWidgetItem* item) {
    const int index = item ? fileList_->indexOfTopLevelItem(item) : -1;
    if (index < 0 || index >= static_cast<int>(rows_.size())) return;
    const TimeCodeRow& row = rows_[static_cast<std::size_t>(index)];
    // A failed request ends the connection, which the window reports.
    if (!row.text.empty()) (void)session_->chooseFile(row);
}

void PlaybackDialog::onPlay() {
    if (session_->playing()) {
        (void)session_->play();  // pauses or resumes; the button shows which
        showPlay(session_->paused());
        return;
    }
    QTreeWidgetItem* row = fileList_->currentItem();
    if (!row) return;
    switch (session_->play()) {
        case PlayResult::Started:
            movingSlider_ = true;
            slider_->setRange(0, session_->totalFrames());
            slider_->setValue(0);
            movingSlider_ = false;
            slider_->setEnabled(true);
            takingPictures_ = true;
            showPlay(false);
            setChoicesEnabled(false);
            pacingTimer_.start(kPacingTick);
            row->setIcon(0, playedIcon_);
            break;
        case PlayResult::FileNotOpened: row->setIcon(0, failedIcon_); break;
        case PlayResult::PauseToggled:
        case PlayResult::NothingToPlay:
        case PlayResult::RequestFailed: break;
    }
}

void PlaybackDialog::onPace() {
    switch (session_->pace()) {
        case PaceResult::Finished:
        case PaceResult::Idle: endPlaying(); break;
        case PaceResult::Requested: setChoicesEnabled(false); break;
        case PaceResult::SendFailed: setChoicesEnabled(true); break;
        case PaceResult::Waiting: break;
    }
}

// Playback ran to its end or the session ended: the choices are free again.
void PlaybackDialog::endPlaying() {
    pacingTimer_.stop();
    showPlay(true);
    setChoicesEnabled(true);
}

void PlaybackDialog::onStop() {
    pacingTimer_.stop();
    takingPictures_ = false;
    slider_->setEnabled(false);
    showPlay(true);
    if (!session_->stop()) return;
    pictureView_->clearPicture();
    setChoicesEnabled(true);
    timeText_->clear();
}

// A seek that went through plays on, also after a pause; one without a
// reply stays paused with "Pause Play" shown until it is pressed.
void PlaybackDialog::onSeek(int position) {
    switch (session_->seek(position)) {
        case SeekResult::Restarted: showPlay(false); break;
        case SeekResult::SendFailed: showPlay(true); break;
        case SeekResult::NoReply:
        case SeekResult::NotPossible: break;
    }
}

void PlaybackDialog::onPictureShown(int shownFrames) {
    if (ending_ || !takingPictures_) return;
    pictureView_->takePicture(session_->pictures());
    if (!slider_->isSliderDown()) moveSlider(shownFrames);
    if (const auto text = session_->pictureTimeText()) {
        timeText_->setText(QString::fromStdString(*text));
    }
}

void PlaybackDialog::moveSlider(int position) {
    movingSlider_ = true;
    slider_->setValue(position);
    movingSlider_ = false;
}

void PlaybackDialog::onSessionEnded() {
    if (ending_) return;
    ending_ = true;
    pacingTimer_.stop();
    app::showMessage(this, QString::fromLatin1(kDisconnectedMessage.data(),
                                               static_cast<qsizetype>(kDisconnectedMessage.size())));
    reject();
}

void PlaybackDialog::showPlay(bool play) {
    playAction_->setVisible(play);
    pauseAction_->setVisible(!play);
}

void PlaybackDialog::setChoicesEnabled(bool enabled) {
    cameraList_->setEnabled(enabled);
    dayTree_->setEnabled(enabled);
    fileList_->setEnabled(enabled);
}

}  // namespace ambro::playback
