#pragma once
// The bridge's connection to the broker: libmosquitto's client, whose
// network loop runs on a thread of its own so that a slow broker never holds
// an operation up. What arrives is handed to the Qt thread as signals.
// The client reconnects by itself with a growing pause, keeping its session.

#include <QByteArray>
#include <QObject>
#include <QString>
#include <atomic>
#include <optional>

struct mosquitto;
struct mosquitto_message;

namespace telvaro::bridge {

struct BrokerSettings {
    QString host = QStringLiteral("localhost");
    int port = 1883;
    QString clientId;
    QString username;
    QString password;
    QString caFile;
    QString certFile;
    QString keyFile;
    QString willTopic;
    QByteArray willPayload;
};

class MqttClient : public QObject {
    Q_OBJECT
public:
    explicit MqttClient(QObject *parent = nullptr);
    ~MqttClient() override;

    // Sets the client up and starts connecting; the reason when a setting
    // cannot be used (a TLS file that cannot be read, say).
    std::optional<QString> start(const BrokerSettings &settings);
    bool isConnected() const { return m_connected; }

    // Both hand the message to the network thread; false when the client
    // cannot take it (then it has not gone).
    bool publish(const QString &topic, const QByteArray &payload, int qos, bool retain);
    bool subscribe(const QString &topic, int qos);
    // Waits up to ms for what was published to be acknowledged, then says
    // goodbye to the broker (no last will) and stops the network thread.
    void disconnectFromBroker(int ms);

Q_SIGNALS:
    void connected();
    void connectFailed(const QString &reason);
    void disconnected(const QString &reason);
    // retained: the broker kept it for whoever subscribes, rather than
    // passing it on as it was published.
    void messageReceived(const QString &topic, const QByteArray &payload, bool retained);

private:
    static void OnConnect(mosquitto *, void *self, int rc);
    static void OnDisconnect(mosquitto *, void *self, int rc);
    static void OnMessage(mosquitto *, void *self, const mosquitto_message *message);
    static void OnPublish(mosquitto *, void *self, int mid);

    mosquitto *m_client = nullptr;
    bool m_connected = false;
    bool m_started = false;
    std::atomic<int> m_unacknowledged = 0;
};

} // namespace telvaro::bridge
