#include "app/ConnectDialog.h"

#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace ambro::app {

namespace {

QString fromUtf8(const std::string& text) { return QString::fromStdString(text); }
std::string toUtf8(const QString& text) { return text.toStdString(); }

QComboBox* editableList(QWidget* parent, const char* name) {
    auto* box = new QComboBox(parent);
    box->setObjectName(QString::fromLatin1(name));
    box->setEditable(true);
    box->setInsertPolicy(QComboBox::NoInsert);
    return box;
}

QLineEdit* field(QWidget* parent, const char* name) {
    auto* edit = new QLineEdit(parent);
    edit->setObjectName(QString::fromLatin1(name));
    return edit;
}

}  // namespace

ConnectDialog::ConnectDialog(SessionKind kind, KeyValueStore& store,
                             SessionParameters& parameters, QWidget* parent)
    : QDialog(parent), kind_(kind), store_(store), parameters_(parameters), list_(kind) {
    setWindowTitle(QStringLiteral("Connect"));
    buildControls();
    loadList();
}

void ConnectDialog::buildControls() {
    address_ = editableList(this, "IP Address");
    port_ = editableList(this, "Port");
    port_->lineEdit()->setMaxLength(kMaxPortLength);
    user_ = field(this, "User Name");
    password_ = field(this, "Password");
    password_->setEchoMode(QLineEdit::Password);
    snapshot_ = field(this, "SnapShot Path");
    databaseType_ = new QComboBox(this);
    databaseType_->setObjectName(QStringLiteral("MDB Type"));
    databaseType_->addItems({QStringLiteral("DVR"), QStringLiteral("Video Server")});

    auto* grid = new QGridLayout;
    int row = 0;
    const auto addRow = [&](const QString& text, QWidget* control) {
        auto* label = new QLabel(text, this);
        label->setBuddy(control);
        grid->addWidget(label, row, 0);
        grid->addWidget(control, row++, 1);
        return label;
    };
    addRow(QStringLiteral("IP Address"), address_);
    addRow(QStringLiteral("Port"), port_);
    addRow(QStringLiteral("User Name"), user_);
    addRow(QStringLiteral("Password"), password_);
    snapshotLabel_ = addRow(QStringLiteral("SnapShot Path"), snapshot_);
    databaseTypeLabel_ = addRow(QStringLiteral("MDB Type"), databaseType_);

    const bool live = kind_ == SessionKind::Live;
    snapshotLabel_->setVisible(live);
    snapshot_->setVisible(live);
    databaseTypeLabel_->setVisible(!live);
    databaseType_->setVisible(!live);

    clearHistory_ = new QPushButton(QStringLiteral("Clear History"), this);
    ok_ = new QPushButton(QStringLiteral("OK"), this);
    ok_->setDefault(true);
    cancel_ = new QPushButton(QStringLiteral("CANCEL"), this);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(clearHistory_);
    buttons->addStretch();
    buttons->addWidget(ok_);
    buttons->addWidget(cancel_);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(grid);
    layout->addLayout(buttons);

    connect(address_, &QComboBox::activated, this, &ConnectDialog::selectEntry);
    connect(port_, &QComboBox::activated, this, &ConnectDialog::selectEntry);
    connect(port_->lineEdit(), &QLineEdit::textEdited, this, &ConnectDialog::filterPort);
    connect(clearHistory_, &QPushButton::clicked, this, &ConnectDialog::clearHistory);
    connect(ok_, &QPushButton::clicked, this, &ConnectDialog::confirm);
    connect(cancel_, &QPushButton::clicked, this, &QDialog::reject);
}

void ConnectDialog::loadList() {
    address_->clear();
    port_->clear();
    user_->clear();
    password_->clear();
    list_.load(store_);
    for (const ServerEntry& entry : list_.entries()) {
        address_->addItem(fromUtf8(entry.address));
        port_->addItem(fromUtf8(entry.port));
    }
    if (!list_.entries().empty()) selectEntry(0);
}

void ConnectDialog::selectEntry(int index) {
    if (index < 0 || static_cast<std::size_t>(index) >= list_.entries().size()) return;
    const ServerEntry& entry = list_.entries()[static_cast<std::size_t>(index)];
    address_->setCurrentIndex(index);
    port_->setCurrentIndex(index);
    user_->setText(fromUtf8(entry.userName));
    password_->setText(fromUtf8(SavedServerList::passwordFieldFor(entry)));
}

QString ConnectDialog::portDigits(const QString& text) {
    QString digits;
    for (const QChar c : text) {
        if (c >= QLatin1Char('0') && c <= QLatin1Char('9') && digits.size() < kMaxPortLength) {
            digits += c;
        }
    }
    return digits;
}

void ConnectDialog::filterPort(const QString& text) {
    const QString digits = portDigits(text);
    if (digits != text) port_->lineEdit()->setText(digits);
}

void ConnectDialog::clearHistory() {
    list_.clearHistory(store_);
    address_->clear();
    port_->clear();
    password_->clear();
}

void ConnectDialog::confirm() {
    const QString typedPort = port_->currentText();
    const QString typedUser = user_->text();
    const QString typedPassword = password_->text();

    parameters_.address = toUtf8(address_->currentText());
    if (!typedPort.isEmpty()) parameters_.port = toUtf8(typedPort);
    parameters_.userName = typedUser.isEmpty() ? SavedServerList::kGuest : toUtf8(typedUser);
    parameters_.password =
        parameters_.userName == SavedServerList::kGuest ? std::string() : toUtf8(typedPassword);
    parameters_.snapshotFolder =
        snapshot_->text().isEmpty() ? std::string("SnapShot") : toUtf8(snapshot_->text());
    parameters_.databaseType =
        kind_ == SessionKind::Playback ? std::optional<int>(databaseType_->currentIndex())
                                       : std::nullopt;

    list_.save(store_, {parameters_.address, toUtf8(typedPort), parameters_.userName,
                        toUtf8(typedPassword)});
    accept();
}

}  // namespace ambro::app
