#pragma once

#include <QDialog>
#include <QIcon>
#include <QTimer>
#include <memory>
#include <vector>

#include "playback/PlaybackObserver.h"
#include "playback/PlaybackSession.h"

class QAction;
class QComboBox;
class QLabel;
class QSlider;
class QTreeWidget;
class QTreeWidgetItem;

namespace ambro::playback {

class PictureView;

// The remote playback window ("RPB"): opens the session on its worker
// thread, then lets the user choose a camera, a recording day and a file,
// play, pause, stop, seek with the slider and take snapshots. It owns the
// session core and marshals the core's reports to its own thread.
class PlaybackDialog : public QDialog, private PlaybackObserver {
public:
    static constexpr int kConnectingTick = 66;  // ms
    static constexpr int kPacingTick = 33;      // ms

    explicit PlaybackDialog(PlaybackSettings settings, QWidget* parent = nullptr);
    ~PlaybackDialog() override;

    PlaybackSession& session() { return *session_; }
    QComboBox* cameraList() const { return cameraList_; }
    QTreeWidget* dayTree() const { return dayTree_; }
    QTreeWidget* fileList() const { return fileList_; }
    QSlider* slider() const { return slider_; }
    QLabel* timeText() const { return timeText_; }
    PictureView* pictureView() const { return pictureView_; }
    QAction* playAction() const { return playAction_; }
    QAction* pauseAction() const { return pauseAction_; }
    QAction* stopAction() const { return stopAction_; }
    QAction* exitAction() const { return exitAction_; }
    QAction* snapshotAction() const { return snapshotAction_; }

    // Closes the session (every thread joined) before the window goes.
    void done(int result) override;

private:
    // PlaybackObserver, called on the session's threads.
    void openingFinished(int status) override;
    void sessionEnded() override;
    void pictureShown(int shownFrames) override;
    void snapshotSaved(const std::filesystem::path& path) override;
    void snapshotFailed(const std::string& why) override;

    void buildControls();
    void connectControls();
    void onOpeningFinished(int status);
    void onConnectingTick();
    void onCameraChosen(int index);
    void onDayChosen(QTreeWidgetItem* item);
    void onFileChosen(QTreeWidgetItem* item);
    void onPlay();
    void onPace();
    void onStop();
    void onSeek(int position);
    void onPictureShown(int shownFrames);
    void onSessionEnded();
    // Tells the user, for a few seconds over the picture, where a snapshot
    // went or why it could not be saved.
    void showSnapshotNote(const QString& text);

    void fillDayTree();
    void clearDayTree();
    void showPlay(bool play);
    void setChoicesEnabled(bool enabled);
    void moveSlider(int position);
    void endPlaying();

    std::unique_ptr<PlaybackSession> session_;
    std::vector<CameraEntry> cameras_;
    std::vector<TimeCodeRow> rows_;

    QComboBox* cameraList_ = nullptr;
    QTreeWidget* dayTree_ = nullptr;
    QTreeWidget* fileList_ = nullptr;
    QSlider* slider_ = nullptr;
    QLabel* timeText_ = nullptr;
    PictureView* pictureView_ = nullptr;
    QAction* playAction_ = nullptr;
    QAction* pauseAction_ = nullptr;
    QAction* stopAction_ = nullptr;
    QAction* exitAction_ = nullptr;
    QAction* snapshotAction_ = nullptr;

    QIcon evenRowIcon_;
    QIcon oddRowIcon_;
    QIcon playedIcon_;
    QIcon failedIcon_;

    QTimer connectingTimer_;
    QTimer pacingTimer_;
    int connectingTicks_ = 0;
    bool movingSlider_ = false;
    // Off from a stop until the next play, so that a report still queued
    // does not bring back a picture the stop cleared.
    bool takingPictures_ = false;
    bool ending_ = false;
};

}  // namespace ambro::playback
