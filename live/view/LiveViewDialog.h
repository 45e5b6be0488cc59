#pragma once

#include <QDialog>
#include <QTimer>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "live/LiveNavigator.h"
#include "live/LiveSession.h"
#include "live/ToolbarModel.h"

class QComboBox;

namespace ambro::live {

class InputMonitorDialog;
class LiveKeyFilter;
class LivePictureWidget;
class LiveToolbarStrip;
class SessionPictures;

// How the window tells the user something: a message box in the program.
using LiveMessageFunction = std::function<void(QWidget* parent, const QString& text)>;

// The live view: one live session with a server of either generation, its
// picture, camera selector, toolbars, keys and taps. A modal window that
// owns its session from construction to close; the session's reports come
// from its threads and are carried onto the window's thread.
class LiveViewDialog : public QDialog, private LiveSessionObserver {
    Q_OBJECT
public:
    static constexpr int kConnectingInterval = 66;  // ms
    static constexpr int kDisplayInterval = 33;
    static constexpr int kStatusPageRefresh = 1000;

    LiveViewDialog(LiveSessionSettings settings, LiveMessageFunction showMessage,
                   QWidget* parent = nullptr);
    ~LiveViewDialog() override;

    // Every way of closing ends here: the session's threads stop first.
    void done(int result) override;

    LiveSession& session() { return *session_; }
    const LiveNavigator& navigator() const { return navigator_; }
    const ToolbarModel& toolbarModel() const { return toolbarModel_; }
    LivePictureWidget* pictureWidget() const { return picture_; }
    LiveToolbarStrip* toolbarStrip() const { return toolbars_; }
    QComboBox* cameraList() const;
    QComboBox* presetList() const;
    // The input monitor while it is open.
    InputMonitorDialog* inputMonitor() const { return monitor_; }
    // What the control connection answered last (older generation).
    ControlAnswers controlAnswers() const { return answers_; }
    bool cameraStatusPageShown() const { return cameraStatusPage_; }

protected:
    void showEvent(QShowEvent* event) override;

private:
    // What the session reports, from its threads.
    void connectFailed(LiveFailure failure, const std::string& detail) override;
    void sessionReady(Generation generation) override;
    void disconnected(const std::string& headline, const std::string& detail) override;
    void cameraListChanged(const CameraCatalogue& catalogue) override;
    void cameraSelected(const CameraAbilities& abilities) override;
    void cameraStatusChanged(const CameraStatusTable& status) override;
    void ioModulesChanged(const std::vector<IoModule>& modules) override;
    void controlAnswersChanged(const ControlAnswers& answers) override;
    void alarmRaised(const AlarmInputs& alarm) override;
    void videoLost() override;
    void unsupportedImageSize(int code) override;
    // On the window's thread, from the display tick.
    void pictureReady(const PictureView& picture) override;
    void snapshotSaved(const std::filesystem::path& file) override;
    void snapshotFailed(const std::string& reason) override;

    template <typename Work>
    void onWindowThread(Work work) {
        QMetaObject::invokeMethod(this, std::move(work), Qt::QueuedConnection);
    }

    void buildWindow();
    void startSession();
    void stopSession();
    void endWithMessage(const QString& text);
    void connectingTick();
    void displayTick();

    void onSessionReady(Generation generation);
    void onCameraList(const CameraCatalogue& catalogue);
    void onCameraSelected(const CameraAbilities& abilities);
    void onIoModules(std::vector<IoModule> modules);
    void onControlAnswers(ControlAnswers answers);

    void fillCameraList(CameraListModel list);
    void cameraListDropsDown();
    void select(int position);
    void tapped(int x, int y);
    void applyNavigation(const NavigatorAction& action);

    void toolbarClicked(ToolbarId toolbar, int index);
    void toolbarHeld(ToolbarId toolbar, int index, bool down);
    void presetChosen(int entry);
    void applyOutcome(const ToolbarOutcome& outcome);
    void run(const ToolbarCommand& command);
    void refreshToolbars();
    void updateServer();
    void fillPresetList();
    void setCameraStatusPage(bool shown);
    void openInputMonitor();

    LiveMessageFunction showMessage_;
    // The navigator owns the cell selection that the session's thread
    // writes: it outlives the session.
    LiveNavigator navigator_;
    std::unique_ptr<LiveSession> session_;
    std::unique_ptr<SessionPictures> pictures_;
    ToolbarModel toolbarModel_;
    ToolbarServer server_;
    std::vector<IoModule> modules_;
    ControlAnswers answers_;

    LivePictureWidget* picture_ = nullptr;
    LiveToolbarStrip* toolbars_ = nullptr;
    LiveKeyFilter* keyFilter_ = nullptr;
    InputMonitorDialog* monitor_ = nullptr;
    QTimer connectingTimer_;
    QTimer displayTimer_;
    QTimer cameraStatusTimer_;

    std::uint32_t connectingCount_ = 0;
    Generation generation_ = Generation::Unknown;
    bool started_ = false;
    bool ready_ = false;
    bool ending_ = false;
    bool stopped_ = false;
    // Older generation: a camera list was asked for to fill the selector.
    bool fillRequested_ = false;
    // Older generation: the image size and quality still to set after log-in.
    bool firstSetUpPending_ = false;
    bool cameraStatusPage_ = false;
};

}  // namespace ambro::live
