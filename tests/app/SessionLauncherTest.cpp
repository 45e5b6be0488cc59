#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <QStatusBar>
#include <QToolBar>
#include <thread>

#include "app/ConnectDialog.h"
#include "app/MainWindow.h"
#include "app/MessageBox.h"
#include "app/SessionLauncher.h"
#include "tests/support/MemoryKeyValueStore.h"

namespace ambro::app {
namespace {

struct FakeSession : SessionWindow {
    explicit FakeSession(std::vector<std::string>& log) : log(log) { log.push_back("created"); }
    ~FakeSession() override { log.push_back("destroyed"); }
    int run() override {
        log.push_back("ran");
        return 0;
    }
    std::vector<std::string>& log;
};

struct RecordingFactory : SessionWindowFactory {
    std::unique_ptr<SessionWindow> create(SessionKind kind, const SessionParameters& parameters,
                                          QWidget*) override {
        kinds.push_back(kind);
        handed.push_back(parameters);
        return std::make_unique<FakeSession>(log);
    }
    std::vector<SessionKind> kinds;
    std::vector<SessionParameters> handed;
    std::vector<std::string> log;
};

// The connect dialog runs modally; a timer looks for it (for at most about a
// second, as the network bring-up comes first) and answers it once it shows.
// The timer belongs to `scope`, so it never outlives the test that set it.
void answerConnectDialog(QObject& scope, const QString& address, bool ok, int* shown = nullptr) {
    auto* poll = new QTimer(&scope);
    auto tries = std::make_shared<int>(0);
    QObject::connect(poll, &QTimer::timeout, [=] {
        auto* dialog = qobject_cast<ConnectDialog*>(QApplication::activeModalWidget());
        if (!dialog) {
            if (++*tries > 100) poll->deleteLater();
            return;
        }
        poll->deleteLater();
        if (shown) ++*shown;
        dialog->addressBox()->setEditText(address);
        dialog->userField()->setText(QStringLiteral("admin"));
        (ok ? dialog->okButton() : dialog->cancelButton())->click();
    });
    poll->start(10);
}

class SessionLauncherTest : public testing::Test {
protected:
    void SetUp() override {
        previous = setMessageHandler(
            [this](QWidget*, const QString& text) { messages.push_back(text.toStdString()); });
    }
    void TearDown() override { setMessageHandler(previous); }

    NetworkBringUp network(bool up) {
        return NetworkBringUp([up] { return up; }, [](std::chrono::milliseconds) {});
    }

    QObject scope;
    MainWindow window;
    test::MemoryKeyValueStore store;
    std::vector<std::string> messages;
    MessageHandler previous;
};

TEST_F(SessionLauncherTest, MainWindowShowsTitleCommandsAndText) {
    EXPECT_EQ(window.windowTitle(), QStringLiteral("Welcome Ambro"));
    EXPECT_EQ(window.liveViewAction()->text(), QStringLiteral("Live View"));
    EXPECT_EQ(window.playbackAction()->text(), QStringLiteral("Ambro Remote Play Back"));
    window.show();
    const QImage picture = window.grab().toImage();
    EXPECT_FALSE(picture.isNull());
    // Kept as evidence of what the window looks like.
    QDir().mkpath(QStringLiteral("artifacts"));
    picture.save(QStringLiteral("artifacts/main-window.png"));
}

TEST_F(SessionLauncherTest, NoNetworkShowsTheMessageAndNoDialog) {
    RecordingFactory factory;
    SessionLauncher launcher(window, store, factory, network(false));
    int shown = 0;
    answerConnectDialog(scope, QStringLiteral("h"), true, &shown);
    launcher.run(SessionKind::Live);
    QApplication::processEvents();
    EXPECT_EQ(messages, std::vector<std::string>{"Cannot StartUp the Network"});
    EXPECT_EQ(shown, 0);
    EXPECT_TRUE(factory.kinds.empty());
}

TEST_F(SessionLauncherTest, TheWindowStaysAliveWhileTheNetworkIsAwaited) {
    RecordingFactory factory;
    // Three slow rounds of a network that never comes.
    NetworkBringUp slow([] { return false; },
                        [](std::chrono::milliseconds) {
                            std::this_thread::sleep_for(std::chrono::milliseconds(30));
                        });
    SessionLauncher launcher(window, store, factory, slow);
    int ticks = 0;
    QString shownWhileWaiting;
    bool commandsOffWhileWaiting = false;
    QTimer ticker;
    QObject::connect(&ticker, &QTimer::timeout, [&] {
        ++ticks;
        shownWhileWaiting = window.statusBar()->currentMessage();
        commandsOffWhileWaiting = !window.liveViewAction()->isEnabled();
    });
    ticker.start(5);
    launcher.run(SessionKind::Live);
    EXPECT_GT(ticks, 5);
    EXPECT_EQ(shownWhileWaiting, QStringLiteral("Waiting for the network..."));
    EXPECT_TRUE(commandsOffWhileWaiting);
    EXPECT_TRUE(window.liveViewAction()->isEnabled());
    EXPECT_EQ(messages, std::vector<std::string>{"Cannot StartUp the Network"});
}

TEST_F(SessionLauncherTest, ConfirmedDialogRunsTheSessionOfItsKind) {
    RecordingFactory factory;
    SessionLauncher launcher(window, store, factory, network(true));
    answerConnectDialog(scope, QStringLiteral("10.0.0.9"), true);
    launcher.run(SessionKind::Playback);
    EXPECT_EQ(window.windowTitle(), QStringLiteral("Ambro Rpb"));
    ASSERT_EQ(factory.kinds, std::vector<SessionKind>{SessionKind::Playback});
    EXPECT_EQ(factory.handed[0].address, "10.0.0.9");
    EXPECT_EQ(factory.handed[0].databaseType, 0);
    EXPECT_TRUE(messages.empty());

    // The next command ends the previous session before the new dialog.
    answerConnectDialog(scope, QStringLiteral("10.0.0.9"), true);
    launcher.run(SessionKind::Live);
    EXPECT_EQ(window.windowTitle(), QStringLiteral("Ambro Live"));
    EXPECT_EQ(factory.log,
              (std::vector<std::string>{"created", "ran", "destroyed", "created", "ran"}));
}

TEST_F(SessionLauncherTest, EmptyAddressShowsBothMessagesInOrder) {
    RecordingFactory factory;
    SessionLauncher launcher(window, store, factory, network(true));
    answerConnectDialog(scope, QString(), true);
    launcher.run(SessionKind::Live);
    EXPECT_EQ(messages, (std::vector<std::string>{"IP Cannot be empty", "IP Check is empty"}));
    EXPECT_TRUE(factory.kinds.empty());
}

TEST_F(SessionLauncherTest, CancelOpensNothingAndSaysNothing) {
    RecordingFactory factory;
    SessionLauncher launcher(window, store, factory, network(true));
    answerConnectDialog(scope, QStringLiteral("10.0.0.9"), false);
    launcher.run(SessionKind::Live);
    EXPECT_TRUE(messages.empty());
    EXPECT_TRUE(factory.kinds.empty());
}

TEST_F(SessionLauncherTest, SessionThatCannotBeCreatedIsReported) {
    NoSessionWindows factory;
    SessionLauncher launcher(window, store, factory, network(true));
    answerConnectDialog(scope, QStringLiteral("10.0.0.9"), true);
    launcher.run(SessionKind::Live);
    EXPECT_EQ(messages, std::vector<std::string>{"Init ImgViewDlg Instance Error"});
}

}  // namespace
}  // namespace ambro::app
