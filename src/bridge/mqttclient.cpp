#include "bridge/mqttclient.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QThread>
#include <mosquitto.h>

namespace telvaro::bridge {

namespace {

// Seconds between keepalives, and the pauses between reconnects: from one
// second, doubling, to at most ten, so a broker back from a restart is seen
// within seconds.
constexpr int keepAliveSeconds = 30;
constexpr unsigned firstReconnectDelay = 1;
constexpr unsigned longestReconnectDelay = 10;

QString Reason(int rc)
{
    return QString::fromUtf8(mosquitto_strerror(rc));
}

struct LibraryInit {
    LibraryInit() { mosquitto_lib_init(); }
    ~LibraryInit() { mosquitto_lib_cleanup(); }
};

} // namespace

MqttClient::MqttClient(QObject *parent) : QObject(parent)
{
    static LibraryInit init;
}

MqttClient::~MqttClient()
{
    if (!m_client)
        return;
    if (m_started)
        mosquitto_loop_stop(m_client, true);
    mosquitto_destroy(m_client);
}

std::optional<QString> MqttClient::start(const BrokerSettings &settings)
{
    m_client = mosquitto_new(settings.clientId.toUtf8().constData(), false, this);
    if (!m_client)
        return QStringLiteral("the MQTT client could not be made");
    mosquitto_int_option(m_client, MOSQ_OPT_PROTOCOL_VERSION, MQTT_PROTOCOL_V311);
    // A command or a result is one small packet: held back for the broker's
    // delayed acknowledgement it would wait up to 40 ms (Nagle's algorithm).
    mosquitto_int_option(m_client, MOSQ_OPT_TCP_NODELAY, 1);
    mosquitto_connect_callback_set(m_client, OnConnect);
    mosquitto_disconnect_callback_set(m_client, OnDisconnect);
    mosquitto_message_callback_set(m_client, OnMessage);
    mosquitto_publish_callback_set(m_client, OnPublish);
    mosquitto_reconnect_delay_set(m_client, firstReconnectDelay, longestReconnectDelay, true);
    if (!settings.username.isEmpty()) {
        const int rc = mosquitto_username_pw_set(m_client, settings.username.toUtf8().constData(),
                                                 settings.password.toUtf8().constData());
        if (rc != MOSQ_ERR_SUCCESS)
            return QStringLiteral("the credentials cannot be used: %1").arg(Reason(rc));
    }
    if (!settings.caFile.isEmpty()) {
        const QByteArray ca = settings.caFile.toLocal8Bit();
        const QByteArray cert = settings.certFile.toLocal8Bit();
        const QByteArray key = settings.keyFile.toLocal8Bit();
        const int rc = mosquitto_tls_set(m_client, ca.constData(), nullptr, cert.isEmpty() ? nullptr : cert.constData(),
                                         key.isEmpty() ? nullptr : key.constData(), nullptr);
        if (rc != MOSQ_ERR_SUCCESS)
            return QStringLiteral("TLS cannot be set up with %1: %2").arg(settings.caFile, Reason(rc));
    }
    if (!settings.willTopic.isEmpty()) {
        const int rc = mosquitto_will_set(m_client, settings.willTopic.toUtf8().constData(),
                                          int(settings.willPayload.size()), settings.willPayload.constData(), 1, true);
        if (rc != MOSQ_ERR_SUCCESS)
            return QStringLiteral("the last will cannot be set: %1").arg(Reason(rc));
    }
    // A broker that is not there yet is retried by the network thread, so a
    // failure here is not the end.
    const int rc =
        mosquitto_connect_async(m_client, settings.host.toUtf8().constData(), settings.port, keepAliveSeconds);
    if (rc == MOSQ_ERR_INVAL)
        return QStringLiteral("the broker %1:%2 cannot be used").arg(settings.host).arg(settings.port);
    const int loop = mosquitto_loop_start(m_client);
    if (loop != MOSQ_ERR_SUCCESS)
        return QStringLiteral("the MQTT network thread did not start: %1").arg(Reason(loop));
    m_started = true;
    if (rc != MOSQ_ERR_SUCCESS)
        QMetaObject::invokeMethod(
            this, [this] { Q_EMIT connectFailed(QStringLiteral("the broker is not reachable; trying again")); },
            Qt::QueuedConnection);
    return std::nullopt;
}

bool MqttClient::publish(const QString &topic, const QByteArray &payload, int qos, bool retain)
{
    if (!m_client)
        return false;
    int mid = 0;
    const int rc = mosquitto_publish(m_client, &mid, topic.toUtf8().constData(), int(payload.size()),
                                     payload.constData(), qos, retain);
    // Without a connection a QoS 1 message waits in the client's queue and
    // goes when the connection is back.
    const bool taken = rc == MOSQ_ERR_SUCCESS || (rc == MOSQ_ERR_NO_CONN && qos > 0);
    if (taken && qos > 0)
        ++m_unacknowledged;
    return taken;
}

bool MqttClient::subscribe(const QString &topic, int qos)
{
    return m_client && mosquitto_subscribe(m_client, nullptr, topic.toUtf8().constData(), qos) == MOSQ_ERR_SUCCESS;
}

void MqttClient::disconnectFromBroker(int ms)
{
    if (!m_client || !m_started)
        return;
    const QDeadlineTimer deadline(ms);
    while (m_connected && m_unacknowledged > 0 && !deadline.hasExpired()) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        QThread::msleep(5);
    }
    mosquitto_disconnect(m_client);
    mosquitto_loop_stop(m_client, false);
    m_started = false;
    m_connected = false;
}

void MqttClient::OnConnect(mosquitto *, void *self, int rc)
{
    auto *client = static_cast<MqttClient *>(self);
    QMetaObject::invokeMethod(
        client,
        [client, rc] {
            if (rc == 0) {
                client->m_connected = true;
                Q_EMIT client->connected();
            } else {
                Q_EMIT client->connectFailed(QString::fromUtf8(mosquitto_connack_string(rc)));
            }
        },
        Qt::QueuedConnection);
}

void MqttClient::OnDisconnect(mosquitto *, void *self, int rc)
{
    auto *client = static_cast<MqttClient *>(self);
    const QString reason = rc == 0 ? QStringLiteral("disconnected") : Reason(rc);
    QMetaObject::invokeMethod(
        client,
        [client, reason] {
            const bool was = client->m_connected;
            client->m_connected = false;
            if (was)
                Q_EMIT client->disconnected(reason);
        },
        Qt::QueuedConnection);
}

void MqttClient::OnMessage(mosquitto *, void *self, const mosquitto_message *message)
{
    auto *client = static_cast<MqttClient *>(self);
    const QString topic = QString::fromUtf8(message->topic);
    const QByteArray payload(static_cast<const char *>(message->payload), message->payloadlen);
    const bool retained = message->retain;
    QMetaObject::invokeMethod(
        client, [client, topic, payload, retained] { Q_EMIT client->messageReceived(topic, payload, retained); },
        Qt::QueuedConnection);
}

void MqttClient::OnPublish(mosquitto *, void *self, int)
{
    auto *client = static_cast<MqttClient *>(self);
    if (client->m_unacknowledged > 0)
        --client->m_unacknowledged;
}

} // namespace telvaro::bridge
