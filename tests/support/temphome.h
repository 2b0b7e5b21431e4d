#pragma once
// Points the settings store at a fresh temporary folder for one test.

#include <QSettings>
#include <QTemporaryDir>

namespace telvaro::test {

class TempHome {
public:
    TempHome() { QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, m_dir.path()); }
    QString path() const { return m_dir.path(); }
    QString settingsFile() const { return m_dir.path() + QStringLiteral("/Telvaro/Telvaro.ini"); }

private:
    QTemporaryDir m_dir;
};

} // namespace telvaro::test
