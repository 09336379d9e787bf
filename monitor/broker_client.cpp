#include "broker_client.h"

#include <mosquitto.h>

namespace {

struct LibraryUse {
    LibraryUse() { mosquitto_lib_init(); }
    ~LibraryUse() { mosquitto_lib_cleanup(); }
};

} // namespace

BrokerClient::BrokerClient(const BrokerLineSettings &settings, void *self, const BrokerCallbacks &callbacks,
                           QObject *parent)
    : QObject(parent), config(settings), owner(self), callbacks(callbacks)
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
    client = mosquitto_new(nullptr, true, owner);
    int result = client ? MOSQ_ERR_SUCCESS : MOSQ_ERR_NOMEM;
    if (result == MOSQ_ERR_SUCCESS && !config.user.isEmpty())
        result = mosquitto_username_pw_set(client, config.user.toUtf8().constData(),
                                           config.password.isEmpty() ? nullptr : config.password.toUtf8().constData());
    if (result == MOSQ_ERR_SUCCESS && !config.caFile.isEmpty())
        result = mosquitto_tls_set(client, config.caFile.toLocal8Bit().constData(), nullptr, nullptr, nullptr, nullptr);
    if (result == MOSQ_ERR_SUCCESS) {
        mosquitto_connect_callback_set(client, callbacks.connected);
        mosquitto_message_callback_set(client, callbacks.message);
        mosquitto_disconnect_callback_set(client, callbacks.disconnected);
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
        failing = false;
        networkThread = mosquitto_loop_start(client) == MOSQ_ERR_SUCCESS;
        return;
    }
    if (!failing)
        emit unreachable(result == MOSQ_ERR_EAI ? QStringLiteral("the broker's host %1 is not found").arg(config.host)
                                                : QStringLiteral("the broker is not reachable"));
    failing = true;
    retry.start();
}
