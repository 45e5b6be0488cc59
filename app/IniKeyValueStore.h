#pragma once

#include <QSettings>
#include <QString>

#include "app/KeyValueStore.h"

namespace ambro::app {

// The per-user store as an INI file. Keys written with backslashes become
// nested groups. The file is readable by its owner only, since passwords are
// kept as plain text.
class IniKeyValueStore : public KeyValueStore {
public:
    explicit IniKeyValueStore(const QString& path);

    // "Brevantis/Ambro.ini" under the user's configuration folder.
    static QString defaultPath();

    std::optional<std::string> value(const std::string& key,
                                     const std::string& name) const override;
    void setValue(const std::string& key, const std::string& name,
                  const std::string& text) override;
    void removeValue(const std::string& key, const std::string& name) override;

    QString path() const { return path_; }

private:
    void writeThrough();

    QString path_;
    mutable QSettings settings_;
};

}  // namespace ambro::app
