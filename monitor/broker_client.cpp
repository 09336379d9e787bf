#include "broker_client.h"

#include <mosquitto.h>

namespace {

struct LibraryUse {
    LibraryUse() { mosquitto_lib_init(); }
    ~LibraryUse() { mosquitto_lib_cleanup(); }
};

} // namespace

mosquitto *startBrokerClient(const BrokerLineSettings &settings, void *self, const BrokerCallbacks &callbacks,
                             QString &error)
{
    static LibraryUse library;
    mosquitto *client = mosquitto_new(nullptr, true, self);
    int result = client ? MOSQ_ERR_SUCCESS : MOSQ_ERR_NOMEM;
    if (result == MOSQ_ERR_SUCCESS && !settings.user.isEmpty())
        result = mosquitto_username_pw_set(client, settings.user.toUtf8().constData(),
                                           settings.password.isEmpty() ? nullptr : settings.password.toUtf8().constData());
    if (result == MOSQ_ERR_SUCCESS && !settings.caFile.isEmpty())
        result = mosquitto_tls_set(client, settings.caFile.toLocal8Bit().constData(), nullptr, nullptr, nullptr, nullptr);
    if (result == MOSQ_ERR_SUCCESS) {
        mosquitto_connect_callback_set(client, callbacks.connected);
        mosquitto_message_callback_set(client, callbacks.message);
        mosquitto_disconnect_callback_set(client, callbacks.disconnected);
        mosquitto_reconnect_delay_set(client, 1, 2, false);
        result = mosquitto_connect_async(client, settings.host.toUtf8().constData(), settings.port, 10);
        // A broker not there yet is retried by the network thread.
        if (result == MOSQ_ERR_ERRNO || result == MOSQ_ERR_EAI)
            result = MOSQ_ERR_SUCCESS;
    }
    if (result == MOSQ_ERR_SUCCESS)
        result = mosquitto_loop_start(client);
    if (result != MOSQ_ERR_SUCCESS) {
        error = QStringLiteral("cannot read from %1:%2: %3").arg(settings.host).arg(settings.port).arg(mosquitto_strerror(result));
        mosquitto_destroy(client);
        return nullptr;
    }
    return client;
}

void stopBrokerClient(mosquitto *client)
{
    mosquitto_disconnect(client);
    mosquitto_loop_stop(client, false);
    mosquitto_destroy(client);
}
