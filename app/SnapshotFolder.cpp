#include "app/SnapshotFolder.h"

#include <QDir>
#include <QStandardPaths>

namespace ambro::app {

std::filesystem::path resolveSnapshotFolder(const QString& path) {
    const QString folder = path.isEmpty() ? QStringLiteral("SnapShot") : path;
    if (QDir::isAbsolutePath(folder)) return std::filesystem::path(folder.toStdString());
    QString pictures = QStandardPaths::writableLocation(QStandardPaths::PicturesLocation);
    if (pictures.isEmpty()) pictures = QDir::homePath();
    return std::filesystem::path(QDir(pictures).filePath(folder).toStdString());
}

}  // namespace ambro::app
