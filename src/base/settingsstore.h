#pragma once
// The per-user settings store: INI file "Telvaro/Telvaro.ini" in the
// platform's configuration location, section "Settings", every value text.

#include <QSettings>
#include <QString>

namespace telvaro {

class SettingsStore {
public:
    SettingsStore();

    QString read(const QString &key, const QString &defaultValue) const;
    void write(const QString &key, const QString &value);
    // Writes pending values out; false when the store could not be written.
    bool flush();

    // The folder the file dialogs showed last; kept apart from the settings
    // of a run and written at once.
    QString lastFolder() const;
    void setLastFolder(const QString &folder);

private:
    mutable QSettings m_settings;
};

} // namespace telvaro
