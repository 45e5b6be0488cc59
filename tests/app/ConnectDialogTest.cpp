#include <gtest/gtest.h>

#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include "app/ConnectDialog.h"
#include "tests/support/MemoryKeyValueStore.h"

namespace ambro::app {
namespace {

using test::MemoryKeyValueStore;

class ConnectDialogTest : public testing::Test {
protected:
    std::unique_ptr<ConnectDialog> open(SessionKind kind) {
        auto dialog = std::make_unique<ConnectDialog>(kind, store, parameters);
        dialog->show();
        return dialog;
    }
    void confirm(ConnectDialog& dialog, const QString& address, const QString& port,
                 const QString& user, const QString& password) {
        dialog.addressBox()->setEditText(address);
        dialog.portBox()->setEditText(port);
        dialog.userField()->setText(user);
        dialog.passwordField()->setText(password);
        QTest::mouseClick(dialog.okButton(), Qt::LeftButton);
    }

    MemoryKeyValueStore store;
    SessionParameters parameters;
};

TEST_F(ConnectDialogTest, PortFieldKeepsDigitsOnly) {
    auto dialog = open(SessionKind::Live);
    QTest::keyClicks(dialog->portBox()->lineEdit(), QStringLiteral("12a4"));
    EXPECT_EQ(dialog->portBox()->currentText(), QStringLiteral("124"));
    QTest::keyClicks(dialog->portBox()->lineEdit(), QStringLiteral("5678"));
    EXPECT_EQ(dialog->portBox()->currentText(), QStringLiteral("12456"));
    EXPECT_EQ(ConnectDialog::portDigits(QStringLiteral("x9y8z7654")), QStringLiteral("98765"));
}

TEST_F(ConnectDialogTest, ModesShowTheirOwnControls) {
    auto live = open(SessionKind::Live);
    EXPECT_EQ(live->windowTitle(), QStringLiteral("Connect"));
    EXPECT_TRUE(live->snapshotField()->isVisible());
    EXPECT_FALSE(live->databaseTypeBox()->isVisible());
    EXPECT_EQ(live->passwordField()->echoMode(), QLineEdit::Password);
    EXPECT_EQ(live->cancelButton()->text(), QStringLiteral("CANCEL"));
    EXPECT_EQ(live->clearHistoryButton()->text(), QStringLiteral("Clear History"));

    auto playback = open(SessionKind::Playback);
    EXPECT_FALSE(playback->snapshotField()->isVisible());
    ASSERT_TRUE(playback->databaseTypeBox()->isVisible());
    EXPECT_EQ(playback->databaseTypeBox()->count(), 2);
    EXPECT_EQ(playback->databaseTypeBox()->currentText(), QStringLiteral("DVR"));
    EXPECT_EQ(playback->databaseTypeBox()->itemText(1), QStringLiteral("Video Server"));
}

TEST_F(ConnectDialogTest, GuestHandsAnEmptyPasswordButTheListKeepsTheTypedOne) {
    auto dialog = open(SessionKind::Live);
    confirm(*dialog, "10.1.1.1", "5000", "Guest", "typed");
    EXPECT_EQ(dialog->result(), QDialog::Accepted);
    EXPECT_EQ(parameters.userName, "Guest");
    EXPECT_EQ(parameters.password, "");
    EXPECT_EQ(parameters.snapshotFolder, "SnapShot");
    EXPECT_FALSE(parameters.databaseType.has_value());
    EXPECT_EQ(store.value(SavedServerList::keyFor(SessionKind::Live), "Pass_0"), "typed\t");

    // Opening again shows the entry with an empty password field.
    auto again = open(SessionKind::Live);
    EXPECT_EQ(again->addressBox()->currentText(), QStringLiteral("10.1.1.1"));
    EXPECT_EQ(again->userField()->text(), QStringLiteral("Guest"));
    EXPECT_EQ(again->passwordField()->text(), QString());
}

TEST_F(ConnectDialogTest, EmptyUserBecomesGuestAndEmptyPortKeepsThePreviousOne) {
    parameters.port = "6000";
    auto dialog = open(SessionKind::Playback);
    dialog->databaseTypeBox()->setCurrentIndex(1);
    confirm(*dialog, "dvr.local", "", "", "pw");
    EXPECT_EQ(parameters.address, "dvr.local");
    EXPECT_EQ(parameters.port, "6000");
    EXPECT_EQ(parameters.userName, "Guest");
    EXPECT_EQ(parameters.password, "");
    EXPECT_EQ(parameters.databaseType, 1);
}

TEST_F(ConnectDialogTest, SelectingAnEntryFillsCredentials) {
    for (const char* address : {"a.example", "b.example", "c.example"}) {
        auto dialog = open(SessionKind::Live);
        const bool guest = std::string(address) == "b.example";
        confirm(*dialog, address, "80", guest ? "Guest" : "admin", "pw-" + QString(address));
    }
    auto dialog = open(SessionKind::Live);
    ASSERT_EQ(dialog->addressBox()->count(), 3);
    EXPECT_EQ(dialog->passwordField()->text(), QStringLiteral("pw-c.example"));
    dialog->portBox()->activated(1);
    EXPECT_EQ(dialog->addressBox()->currentText(), QStringLiteral("b.example"));
    EXPECT_EQ(dialog->userField()->text(), QStringLiteral("Guest"));
    EXPECT_EQ(dialog->passwordField()->text(), QString());
    dialog->addressBox()->activated(2);
    EXPECT_EQ(dialog->portBox()->currentIndex(), 2);
    EXPECT_EQ(dialog->passwordField()->text(), QStringLiteral("pw-a.example"));
}

TEST_F(ConnectDialogTest, ClearHistoryEmptiesTheLists) {
    auto first = open(SessionKind::Live);
    confirm(*first, "a.example", "80", "admin", "pw");
    auto dialog = open(SessionKind::Live);
    QTest::mouseClick(dialog->clearHistoryButton(), Qt::LeftButton);
    EXPECT_EQ(dialog->addressBox()->count(), 0);
    EXPECT_EQ(dialog->passwordField()->text(), QString());
    EXPECT_EQ(open(SessionKind::Live)->addressBox()->count(), 0);
}

TEST_F(ConnectDialogTest, CancelChangesNothing) {
    auto dialog = open(SessionKind::Live);
    dialog->addressBox()->setEditText(QStringLiteral("x"));
    QTest::mouseClick(dialog->cancelButton(), Qt::LeftButton);
    EXPECT_EQ(dialog->result(), QDialog::Rejected);
    EXPECT_EQ(parameters.address, "");
    EXPECT_TRUE(store.values.empty());
}

}  // namespace
}  // namespace ambro::app
