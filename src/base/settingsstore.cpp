#include "base/settingsstore.h"

namespace telvaro {

namespace {
const QString group = QStringLiteral("Settings");
}

SettingsStore::SettingsStore()
    : m_settings(QSettings::IniFormat, QSettings::UserScope, QStringLiteral("Telvaro"), QStringLiteral("Telvaro"))
{
}

QString SettingsStore::read(const QString &key, const QString &defaultValue) const
{
    return m_settings.value(group + u'/' + key, defaultValue).toString();
}

void SettingsStore::write(const QString &key, const QString &value)
{
    m_settings.setValue(group + u'/' + key, value);
}

bool SettingsStore::flush()
{
    m_settings.sync();
    return m_settings.status() == QSettings::NoError;
}

QString SettingsStore::lastFolder() const
{
    return m_settings.value(QStringLiteral("Dialogs/LastFolder")).toString();
}

void SettingsStore::setLastFolder(const QString &folder)
{
    m_settings.setValue(QStringLiteral("Dialogs/LastFolder"), folder);
    m_settings.sync();
}

} // namespace telvaro
