#pragma once
// The operating mode and the sign protocol values chosen with it.

#include <QByteArray>
#include <QObject>

namespace telvaro {

enum class OperatingMode : qint16 { Test = 0, SignLoad = 1, ControllerLoad = 2 };

// Where the operator switched the mode: the ADP editor's register controls
// follow the two places differently.
enum class ModeSwitchPlace { UseModeMenu, ModeButton };

class ModeState : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;

    OperatingMode mode() const { return m_mode; }
    void setMode(OperatingMode mode)
    {
        if (mode == m_mode)
            return;
        m_mode = mode;
        Q_EMIT modeChanged(mode);
    }

    // The sign address of the ADP header, two characters.
    QByteArray adpSerialAddress() const { return m_adpAddress; }
    void setAdpSerialAddress(const QByteArray &address) { m_adpAddress = address; }
    bool adpLoadMode() const { return m_adpLoadMode; }
    void setAdpLoadMode(bool on) { m_adpLoadMode = on; }

Q_SIGNALS:
    void modeChanged(telvaro::OperatingMode mode);

private:
    OperatingMode m_mode = OperatingMode::Test;
    QByteArray m_adpAddress = QByteArrayLiteral("00");
    bool m_adpLoadMode = false;
};

} // namespace telvaro
