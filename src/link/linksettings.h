#pragma once
// The link's parameters as one value, where they are kept between runs (the
// keys of the settings store and their defaults, in one place for the
// window, the command line and the link), and the program's current choice.

#include <QObject>
#include <QString>
#include <optional>

namespace telvaro {

class SettingsStore;

struct LinkSettings {
    // 1 and up a serial port, 0 TCP, below 0 UDP.
    qint16 PortNumber = 1;
    QString IpAddress = DefaultIpAddress();
    QString IpPort = QStringLiteral("3001");
    // The rate of the serial line, framing added when it is opened.
    QString BaudText = QStringLiteral("9600");
    // A device path used for every serial port number instead of the
    // configured one; empty for none.
    QString DevicePath;

    static QString DefaultIpAddress() { return QStringLiteral("192.168.1.100"); }
    bool operator==(const LinkSettings &) const = default;
};

namespace SettingsKeys {
inline QString Port()
{
    return QStringLiteral("AppPort");
}
inline QString IpAddress()
{
    return QStringLiteral("AppIP");
}
inline QString IpPort()
{
    return QStringLiteral("AppIPPort");
}
inline QString Baud()
{
    return QStringLiteral("AppSerialBaud");
}
} // namespace SettingsKeys

// What the store holds, defaults for what it lacks. The port is read
// leniently; empty optional when it does not fit 16 bits (the stored text is
// then in storedPort).
struct StoredLinkSettings {
    std::optional<LinkSettings> settings;
    QString storedPort;
};
StoredLinkSettings ReadLinkSettings(const SettingsStore &store);
void WriteLinkSettings(SettingsStore &store, const LinkSettings &settings);

// The program's current link parameters, changed through the Communication
// commands and given to the link when an operation opens it.
class LinkSettingsState : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;

    const LinkSettings &value() const { return m_value; }
    void set(const LinkSettings &value)
    {
        if (value == m_value)
            return;
        m_value = value;
        Q_EMIT changed();
    }
    void setPortNumber(qint16 port) { update(&LinkSettings::PortNumber, port); }
    void setIpAddress(const QString &address) { update(&LinkSettings::IpAddress, address); }
    void setIpPort(const QString &port) { update(&LinkSettings::IpPort, port); }
    void setBaudText(const QString &baud) { update(&LinkSettings::BaudText, baud); }

Q_SIGNALS:
    void changed();

private:
    template <typename T> void update(T LinkSettings::*field, const T &value)
    {
        LinkSettings next = m_value;
        next.*field = value;
        set(next);
    }

    LinkSettings m_value;
};

} // namespace telvaro
