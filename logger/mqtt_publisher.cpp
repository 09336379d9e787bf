#include "mqtt_publisher.h"

#include <QEventLoop>

#include <mosquitto.h>

#include <cstdio>

namespace {

// Handed to the library at a time: enough to keep the link busy, few enough that the order
// of what waits stays ours and the bound on the queue stays meaningful.
constexpr int maxInFlight = 100;
constexpr int keepaliveSeconds = 30;
// The network thread ends for good on some errors; it is restarted after this long offline.
constexpr int restartAfterMs = 30000;
constexpr int warnAfterMs = 10000;

struct LibraryUse {
    LibraryUse() { mosquitto_lib_init(); }
    ~LibraryUse() { mosquitto_lib_cleanup(); }
};

} // namespace

MqttPublisher::MqttPublisher(const MqttSettings &settings, QObject *parent)
    : QObject(parent)
    , settings(settings)
{
    static LibraryUse library;
    connect(&watchdog, &QTimer::timeout, this, &MqttPublisher::checkNetworkThread);
}

MqttPublisher::~MqttPublisher()
{
    if (client) {
        mosquitto_loop_stop(client, true);
        mosquitto_destroy(client);
    }
}

QByteArray MqttPublisher::topic(const QString &tail) const
{
    return (settings.prefix + QLatin1Char('/') + settings.line + QLatin1Char('/') + tail).toUtf8();
}

bool MqttPublisher::start(QString &error)
{
    // A persistent session, so that the broker keeps what it acknowledged across restarts.
    client = mosquitto_new(settings.clientId.toUtf8().constData(), false, this);
    if (!client) {
        error = QStringLiteral("cannot create the MQTT client");
        return false;
    }
    const QByteArray statusTopic = topic(QStringLiteral("status"));
    int result = mosquitto_will_set(client, statusTopic.constData(), 7, "offline", 1, true);
    if (result == MOSQ_ERR_SUCCESS && !settings.user.isEmpty())
        result = mosquitto_username_pw_set(client, settings.user.toUtf8().constData(),
                                           settings.password.isNull() ? nullptr : settings.password.toUtf8().constData());
    if (result == MOSQ_ERR_SUCCESS && !settings.caFile.isEmpty())
        result = mosquitto_tls_set(client, settings.caFile.toLocal8Bit().constData(), nullptr, nullptr, nullptr, nullptr);
    if (result != MOSQ_ERR_SUCCESS) {
        error = QStringLiteral("MQTT settings: %1").arg(QString::fromUtf8(mosquitto_strerror(result)));
        return false;
    }
    mosquitto_connect_callback_set(client, connectCallback);
    mosquitto_disconnect_callback_set(client, disconnectCallback);
    mosquitto_publish_callback_set(client, publishCallback);
    // Short and even: a broker back from a restart should not wait for an exponential delay.
    mosquitto_reconnect_delay_set(client, 1, 2, false);
    // A broker that is not there yet is no error: the network thread keeps trying.
    mosquitto_connect_async(client, settings.host.toUtf8().constData(), settings.port, keepaliveSeconds);
    result = mosquitto_loop_start(client);
    if (result != MOSQ_ERR_SUCCESS) {
        error = QStringLiteral("MQTT: %1").arg(QString::fromUtf8(mosquitto_strerror(result)));
        return false;
    }
    offlineSince.start();
    watchdog.start(5000);
    return true;
}

void MqttPublisher::publishState(int selector, const QByteArray &message)
{
    enqueue(topic(QString::number(selector, 16).toUpper() + QStringLiteral("/state")), message, false);
}

void MqttPublisher::publishOnline(int selector, bool online)
{
    const char state = online ? '1' : '0';
    if (onlineStates[selector] == state)
        return;
    onlineStates[selector] = state;
    enqueue(topic(QString::number(selector, 16).toUpper() + QStringLiteral("/online")),
            online ? QByteArrayLiteral("true") : QByteArrayLiteral("false"), true);
}

void MqttPublisher::enqueue(const QByteArray &topic, const QByteArray &payload, bool retain)
{
    queue.push_back({topic, payload, retain});
    while (waiting() > settings.queueLimit && !queue.empty()) {
        queue.pop_front();
        ++droppedMessages;
    }
    pump();
}

// Messages published while the broker is away stay in the library's own queue, so each is
// handed over exactly once; the library sends it when the link is back.
void MqttPublisher::pump()
{
    while (connected && inFlight < maxInFlight && !queue.empty()) {
        const Message &message = queue.front();
        const int result = mosquitto_publish(client, nullptr, message.topic.constData(), message.payload.size(),
                                             message.payload.constData(), 1, message.retain);
        if (result == MOSQ_ERR_SUCCESS || result == MOSQ_ERR_NO_CONN)
            ++inFlight;
        else
            ++droppedMessages; // cannot ever be sent (too large, bad topic)
        queue.pop_front();
        if (result == MOSQ_ERR_NO_CONN)
            connected = false;
    }
}

void MqttPublisher::onConnected(int result)
{
    if (result != 0)
        return;
    if (warned)
        std::fprintf(stderr, "korun-log: MQTT broker %s:%d reached\n", qPrintable(settings.host), settings.port);
    warned = false;
    connected = true;
    const QByteArray statusTopic = topic(QStringLiteral("status"));
    if (mosquitto_publish(client, nullptr, statusTopic.constData(), 6, "online", 1, true) == MOSQ_ERR_SUCCESS)
        ++inFlight;
    pump();
}

void MqttPublisher::onDisconnected()
{
    connected = false;
    offlineSince.restart();
}

void MqttPublisher::onPublished()
{
    inFlight = qMax(0, inFlight - 1);
    ++acknowledgedMessages;
    pump();
}

void MqttPublisher::checkNetworkThread()
{
    // Said once per outage, so that a wrong broker name does not go unnoticed.
    if (!connected && !warned && offlineSince.elapsed() >= warnAfterMs) {
        std::fprintf(stderr, "korun-log: MQTT broker %s:%d not reachable; up to %d messages wait for it\n",
                     qPrintable(settings.host), settings.port, settings.queueLimit);
        warned = true;
    }
    if (connected || offlineSince.elapsed() < restartAfterMs)
        return;
    mosquitto_loop_stop(client, true);
    mosquitto_reconnect_async(client);
    mosquitto_loop_start(client);
    offlineSince.restart();
}

void MqttPublisher::finish(int timeoutMs)
{
    if (!client)
        return;
    watchdog.stop();
    const QByteArray statusTopic = topic(QStringLiteral("status"));
    enqueue(statusTopic, QByteArrayLiteral("offline"), true);
    QElapsedTimer waited;
    waited.start();
    QEventLoop loop;
    QTimer poll;
    connect(&poll, &QTimer::timeout, &loop, [&] {
        if (waiting() == 0 || waited.elapsed() >= timeoutMs)
            loop.quit();
    });
    poll.start(20);
    loop.exec();
    mosquitto_disconnect(client);
    mosquitto_loop_stop(client, false);
}

// Callbacks arrive on the library's network thread; they only hand over to Qt's.
void MqttPublisher::connectCallback(mosquitto *, void *self, int result)
{
    auto *publisher = static_cast<MqttPublisher *>(self);
    QMetaObject::invokeMethod(publisher, [publisher, result] { publisher->onConnected(result); }, Qt::QueuedConnection);
}

void MqttPublisher::disconnectCallback(mosquitto *, void *self, int)
{
    auto *publisher = static_cast<MqttPublisher *>(self);
    QMetaObject::invokeMethod(publisher, [publisher] { publisher->onDisconnected(); }, Qt::QueuedConnection);
}

void MqttPublisher::publishCallback(mosquitto *, void *self, int)
{
    auto *publisher = static_cast<MqttPublisher *>(self);
    QMetaObject::invokeMethod(publisher, [publisher] { publisher->onPublished(); }, Qt::QueuedConnection);
}
