#include "app/IniKeyValueStore.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

namespace ambro::app {

namespace {

constexpr QFileDevice::Permissions kOwnerOnly = QFileDevice::ReadOwner | QFileDevice::WriteOwner;

QString settingsPath(const std::string& key, const std::string& name) {
    QString group = QString::fromStdString(key);
    group.replace(QLatin1Char('\\'), QLatin1Char('/'));
    return group + QLatin1Char('/') + QString::fromStdString(name);
}

// Makes sure the file exists with owner-only access before anything is
// written into it.
QString preparedFile(const QString& path) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    if (!file.exists() && file.open(QIODevice::WriteOnly)) file.close();
    QFile::setPermissions(path, kOwnerOnly);
    return path;
}

}  // namespace

IniKeyValueStore::IniKeyValueStore(const QString& path)
    : path_(path), settings_(preparedFile(path), QSettings::IniFormat) {}

QString IniKeyValueStore::defaultPath() {
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
           QStringLiteral("/Brevantis/Ambro.ini");
}

std::optional<std::string> IniKeyValueStore::value(const std::string& key,
                                                   const std::string& name) const {
    const QVariant stored = settings_.value(settingsPath(key, name));
    if (!stored.isValid()) return std::nullopt;
    // A hand-edited value with commas reads back as a list; take it whole.
    if (stored.typeId() == QMetaType::QStringList) {
        return stored.toStringList().join(QLatin1Char(',')).toStdString();
    }
    return stored.toString().toStdString();
}

void IniKeyValueStore::setValue(const std::string& key, const std::string& name,
                                const std::string& text) {
    settings_.setValue(settingsPath(key, name), QString::fromStdString(text));
    writeThrough();
}

void IniKeyValueStore::removeValue(const std::string& key, const std::string& name) {
    settings_.remove(settingsPath(key, name));
    writeThrough();
}

void IniKeyValueStore::writeThrough() {
    settings_.sync();
    QFile::setPermissions(path_, kOwnerOnly);
}

}  // namespace ambro::app
