#include "broker_client.h"

#include <mosquitto.h>

namespace {

struct LibraryUse {
    LibraryUse() { mosquitto_lib_init(); }
    ~LibraryUse() { mosquitto_lib_cleanup(); }
};

} // namespace

BrokerClient::BrokerClient(const BrokerLineSettings &settings, void *owner, const BrokerCallbacks &callbacks,
                           QObject *parent)
    : QObject(parent), config(settings), owner(owner), callbacks(callbacks)
{
    static LibraryUse library;
    retry.setSingleShot(true);
    retry.setInterval(1000);
    connect(&retry, &QTimer::timeout, this, [this] { attempted(mosquitto_reconnect_async(client)); });
}

BrokerClient::~BrokerClient()
{
    if (!client)
        return;
    mosquitto_disconnect(client);
    if (networkThread)
        mosquitto_loop_stop(client, false);
    mosquitto_destroy(client);
}

bool BrokerClient::start(QString &error)
{
    client = mosquitto_new(nullptr, true, this);
    int result = client ? MOSQ_ERR_SUCCESS : MOSQ_ERR_NOMEM;
    if (result == MOSQ_ERR_SUCCESS && !config.user.isEmpty())
        result = mosquitto_username_pw_set(client, config.user.toUtf8().constData(),
                                           config.password.isEmpty() ? nullptr : config.password.toUtf8().constData());
    if (result == MOSQ_ERR_SUCCESS && !config.caFile.isEmpty())
        result = mosquitto_tls_set(client, config.caFile.toLocal8Bit().constData(), nullptr, nullptr, nullptr, nullptr);
    if (result == MOSQ_ERR_SUCCESS) {
        mosquitto_connect_callback_set(client, connectCallback);
        mosquitto_message_callback_set(client, messageCallback);
        mosquitto_disconnect_callback_set(client, disconnectCallback);
        mosquitto_reconnect_delay_set(client, 1, 2, false);
        result = mosquitto_connect_async(client, config.host.toUtf8().constData(), config.port, 10);
    }
    if (result != MOSQ_ERR_SUCCESS && result != MOSQ_ERR_ERRNO && result != MOSQ_ERR_EAI) {
        error = QStringLiteral("cannot read from %1:%2: %3").arg(config.host).arg(config.port).arg(mosquitto_strerror(result));
        if (client)
            mosquitto_destroy(client);
        client = nullptr;
        return false;
    }
    attempted(result);
    return true;
}

void BrokerClient::attempted(int result)
{
    if (result == MOSQ_ERR_SUCCESS) {
        networkThread = mosquitto_loop_start(client) == MOSQ_ERR_SUCCESS;
        return;
    }
    setProblem(result == MOSQ_ERR_EAI ? QStringLiteral("the broker's host %1 is not found").arg(config.host)
                                      : QStringLiteral("the broker is not reachable"));
    retry.start();
}

void BrokerClient::setProblem(const QString &problem)
{
    if (problem == said)
        return;
    said = problem;
    emit problemChanged(said);
}

// The callbacks run on the library's network thread; what changes is changed on ours.
void BrokerClient::connectCallback(mosquitto *client, void *self, int result)
{
    auto *broker = static_cast<BrokerClient *>(self);
    const QString problem = result == 0 ? QString() : QStringLiteral("the broker refused: %1").arg(mosquitto_connack_string(result));
    QMetaObject::invokeMethod(broker, [broker, problem] { broker->setProblem(problem); }, Qt::QueuedConnection);
    broker->callbacks.connected(client, broker->owner, result);
}

void BrokerClient::disconnectCallback(mosquitto *, void *self, int result)
{
    auto *broker = static_cast<BrokerClient *>(self);
    if (result == 0)
        return;
    // A refusal ends in a disconnection too, and stays what there is to say.
    QMetaObject::invokeMethod(broker, [broker] {
        if (!broker->said.startsWith(QLatin1String("the broker refused")))
            broker->setProblem(QStringLiteral("the broker is not reachable"));
    }, Qt::QueuedConnection);
}

void BrokerClient::messageCallback(mosquitto *client, void *self, const mosquitto_message *message)
{
    auto *broker = static_cast<BrokerClient *>(self);
    broker->callbacks.message(client, broker->owner, message);
}
