#pragma once

#include <QDialog>

#include "app/KeyValueStore.h"
#include "app/SavedServerList.h"
#include "app/SessionKind.h"
#include "app/SessionParameters.h"

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace ambro::app {

// "Connect": asks for the server and credentials of a session, offering the
// servers used before for this session kind. OK writes the confirmed fields
// into the given parameters and saves the list.
class ConnectDialog : public QDialog {
    Q_OBJECT
public:
    static constexpr int kMaxPortLength = 5;

    ConnectDialog(SessionKind kind, KeyValueStore& store, SessionParameters& parameters,
                  QWidget* parent = nullptr);

    QComboBox* addressBox() const { return address_; }
    QComboBox* portBox() const { return port_; }
    QLineEdit* userField() const { return user_; }
    QLineEdit* passwordField() const { return password_; }
    QLineEdit* snapshotField() const { return snapshot_; }
    QComboBox* databaseTypeBox() const { return databaseType_; }
    QPushButton* okButton() const { return ok_; }
    QPushButton* cancelButton() const { return cancel_; }
    QPushButton* clearHistoryButton() const { return clearHistory_; }

    // Keeps only the digits of a typed port, at most five of them.
    static QString portDigits(const QString& text);

private:
    void buildControls();
    void loadList();
    void selectEntry(int index);
    void filterPort(const QString& text);
    void clearHistory();
    void confirm();

    SessionKind kind_;
    KeyValueStore& store_;
    SessionParameters& parameters_;
    SavedServerList list_;

    QComboBox* address_;
    QComboBox* port_;
    QLineEdit* user_;
    QLineEdit* password_;
    QLabel* snapshotLabel_;
    QLineEdit* snapshot_;
    QLabel* databaseTypeLabel_;
    QComboBox* databaseType_;
    QPushButton* clearHistory_;
    QPushButton* ok_;
    QPushButton* cancel_;
};

}  // namespace ambro::app
