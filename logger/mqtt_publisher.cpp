#include "mqtt_publisher.h"

#include <QEventLoop>

#include <mosquitto.h>

#include <utility>

#include <cstdio>

namespace {

// Handed to the library at a time: enough to keep the link busy, few enough that the order
// of what waits stays ours and the bound on the queue stays meaningful.
constexpr int maxInFlight = 100;
constexpr int keepaliveSeconds = 30;
// The network thread ends for good on some errors; it is restarted after this long offline.
constexpr int restartAfterMs = 30000;
// Between two attempts to connect while the network thread is not running.
constexpr int retryMs = 1000;

struct LibraryUse {
    LibraryUse() { mosquitto_lib_init(); }
    ~LibraryUse() { mosquitto_lib_cleanup(); }
};

void say(const QString &text)
{
    std::fprintf(stderr, "korun-log: %s\n", qPrintable(text));
}

// "Connection Refused: not authorised." becomes "not authorised".
QString connackReason(int code)
{
    QString text = QString::fromUtf8(mosquitto_connack_string(code)).section(QLatin1String(": "), 1);
    if (text.endsWith(QLatin1Char('.')))
        text.chop(1);
    return text;
}

} // namespace

MqttPublisher::MqttPublisher(const MqttSettings &settings, QObject *parent)
    : QObject(parent)
    , settings(settings)
    , queue(settings.queueLimit)
{
    static LibraryUse library;
    connect(&watchdog, &QTimer::timeout, this, &MqttPublisher::checkNetworkThread);
    unreachable.setSingleShot(true);
    unreachable.setTimerType(Qt::PreciseTimer); // a coarse one may fire early
    unreachable.setInterval(unreachableAfterMs);
    connect(&unreachable, &QTimer::timeout, this, &MqttPublisher::sayUnreachable);
    retry.setSingleShot(true);
    retry.setInterval(retryMs);
    connect(&retry, &QTimer::timeout, this, [this] { attempted(mosquitto_reconnect_async(client)); });
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
    mosquitto_log_callback_set(client, logCallback);
    mosquitto_connect_callback_set(client, connectCallback);
    mosquitto_disconnect_callback_set(client, disconnectCallback);
    mosquitto_publish_callback_set(client, publishCallback);
    // Short and even: a broker back from a restart should not wait for an exponential delay.
    mosquitto_reconnect_delay_set(client, 1, 2, false);
    offlineSince.start();
    unreachable.start();
    watchdog.start(5000);
    result = mosquitto_connect_async(client, settings.host.toUtf8().constData(), settings.port, keepaliveSeconds);
    if (result == MOSQ_ERR_INVAL || result == MOSQ_ERR_NOMEM) {
        error = QStringLiteral("MQTT: %1").arg(QString::fromUtf8(mosquitto_strerror(result)));
        return false;
    }
    attempted(result);
    return true;
}

// The network thread starts by waiting for a connection under way, and a failed attempt
// leaves none: it would wait for ever. So it is started once an attempt is under way; until
// then (a broker that is not there yet, a host name not found) attempts are repeated here.
void MqttPublisher::attempted(int result)
{
    if (result == MOSQ_ERR_SUCCESS) {
        networkThread = mosquitto_loop_start(client) == MOSQ_ERR_SUCCESS;
        return;
    }
    if (result == MOSQ_ERR_EAI && !lookupFailed)
        say(QStringLiteral("cannot find the MQTT broker's host %1; trying again").arg(settings.host));
    lookupFailed = result == MOSQ_ERR_EAI;
    retry.start();
}

void MqttPublisher::publishState(int selector, const QByteArray &message)
{
    const QString module = QString::number(selector, 16).toUpper();
    enqueue(topic(module + QStringLiteral("/state")), message, false);
    enqueue(topic(module + QStringLiteral("/last")), message, true);
}

void MqttPublisher::publishInfo(const QByteArray &message)
{
    info = message;
    enqueue(topic(QStringLiteral("info")), message, true);
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
    droppedMessages += queue.push({topic, payload, retain}, inFlight);
    pump();
}

// Messages published while the broker is away stay in the library's own queue, so each is
// handed over exactly once; the library sends it when the link is back.
void MqttPublisher::pump()
{
    while (connected && inFlight < qMin(maxInFlight, settings.queueLimit) && !queue.empty()) {
        const MqttQueue::Message &message = queue.front();
        const int result = mosquitto_publish(client, nullptr, message.topic.constData(), message.payload.size(),
                                             message.payload.constData(), 1, message.retain);
        if (result == MOSQ_ERR_SUCCESS || result == MOSQ_ERR_NO_CONN)
            ++inFlight;
        else
            ++droppedMessages; // cannot ever be sent (too large, bad topic)
        queue.pop();
        if (result == MOSQ_ERR_NO_CONN)
            connected = false;
    }
}

void MqttPublisher::onConnected(int result)
{
    if (result != 0) {
        QString reason = connackReason(result);
        if (!settings.user.isEmpty())
            reason += QStringLiteral(" (user %1)").arg(settings.user);
        sayRefused(QStringLiteral("MQTT broker %1 refused the connection: %2").arg(brokerName(), reason));
        return;
    }
    if (warned || !refusal.isEmpty())
        say(QStringLiteral("MQTT broker %1 reached").arg(brokerName()));
    warned = false;
    refusal.clear();
    up = true;
    connected = true;
    unreachable.stop();
    const QByteArray statusTopic = topic(QStringLiteral("status"));
    if (mosquitto_publish(client, nullptr, statusTopic.constData(), 6, "online", 1, true) == MOSQ_ERR_SUCCESS)
        ++inFlight;
    // A broker that restarted may have lost the retained info and flags: they are said again.
    if (std::exchange(connectedBefore, true)) {
        if (!info.isEmpty())
            enqueue(topic(QStringLiteral("info")), info, true);
        for (int selector = 0; selector < onlineStates.size(); ++selector)
            if (onlineStates[selector] != '?')
                enqueue(topic(QString::number(selector, 16).toUpper() + QStringLiteral("/online")),
                        onlineStates[selector] == '1' ? QByteArrayLiteral("true") : QByteArrayLiteral("false"), true);
    }
    pump();
}

void MqttPublisher::onDisconnected()
{
    connected = false;
    if (!up)
        return;
    up = false;
    offlineSince.restart();
    unreachable.start();
}

void MqttPublisher::onTlsFailure(const QString &reason)
{
    sayRefused(QStringLiteral("TLS with the MQTT broker %1 failed: %2 (CA file %3)").arg(brokerName(), reason, settings.caFile));
}

void MqttPublisher::onPublished()
{
    inFlight = qMax(0, inFlight - 1);
    ++acknowledgedMessages;
    pump();
}

// Said once until the broker accepts us: the library tries again every second or two.
void MqttPublisher::sayRefused(const QString &text)
{
    if (text != refusal)
        say(text);
    refusal = text;
}

// Said once per outage, so that a wrong broker name does not go unnoticed; a broker that
// answered with a refusal has been named already.
void MqttPublisher::sayUnreachable()
{
    if (up || warned || !refusal.isEmpty())
        return;
    say(QStringLiteral("MQTT broker %1 not reachable for %2 s; up to %3 messages wait for it")
            .arg(brokerName())
            .arg(unreachableAfterMs / 1000)
            .arg(settings.queueLimit));
    warned = true;
}

void MqttPublisher::checkNetworkThread()
{
    if (up || !networkThread || offlineSince.elapsed() < restartAfterMs)
        return;
    mosquitto_loop_stop(client, true);
    networkThread = false;
    offlineSince.restart();
    attempted(mosquitto_reconnect_async(client));
}

void MqttPublisher::finish(int timeoutMs)
{
    if (!client)
        return;
    watchdog.stop();
    unreachable.stop();
    retry.stop();
    // Only while korun-log runs does it know a module to be online.
    for (int selector : qAsConst(modules))
        publishOnline(selector, false);
    enqueue(topic(QStringLiteral("status")), QByteArrayLiteral("offline"), true);
    QElapsedTimer waited;
    waited.start();
    QEventLoop loop;
    QTimer poll;
    connect(&poll, &QTimer::timeout, &loop, [&] {
        if (waiting() == 0 || !refusal.isEmpty() || waited.elapsed() >= timeoutMs)
            loop.quit();
    });
    poll.start(20);
    if (refusal.isEmpty())
        loop.exec();
    mosquitto_disconnect(client);
    // Between two attempts the network thread sleeps for up to two seconds.
    mosquitto_loop_stop(client, !up);
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

// The library's log is its only account of why TLS failed, and the network thread gives up
// after it. OpenSSL's reasons come as "OpenSSL Error[0]: error:0A000086:SSL
// routines::certificate verify failed", the first one the most telling; those that follow
// "Unable to load CA certificates" only detail the CA file's format.
void MqttPublisher::logCallback(mosquitto *, void *self, int level, const char *text)
{
    auto *publisher = static_cast<MqttPublisher *>(self);
    const QString line = QString::fromUtf8(text);
    const bool openSsl = line.startsWith(QLatin1String("OpenSSL Error"));
    QString reason;
    if ((level & MOSQ_LOG_ERR) && line.contains(QLatin1String("Unable to load CA certificates"))) {
        reason = QStringLiteral("its certificates would not load");
        publisher->afterCaLoad = true;
    } else if ((level & MOSQ_LOG_ERR) && line.startsWith(QLatin1String("OpenSSL Error[0]")) && !publisher->afterCaLoad) {
        reason = line.section(QLatin1Char(':'), -1).trimmed();
    }
    if (!openSsl && reason.isEmpty())
        publisher->afterCaLoad = false;
    if (!reason.isEmpty())
        QMetaObject::invokeMethod(publisher, [publisher, reason] { publisher->onTlsFailure(reason); }, Qt::QueuedConnection);
}
