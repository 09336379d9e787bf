#pragma once

#include "broker_line.h"

#include <QString>

struct mosquitto;
struct mosquitto_message;

// A subscriber of the broker in `settings` (user, password, TLS), with the library's own
// client id and a clean session: a viewer keeps nothing at the broker. The callbacks run on
// the library's network thread, which connects, and reconnects to a broker that is not
// there yet or went away. Null, with why, for settings the library refuses.
struct BrokerCallbacks {
    void (*connected)(mosquitto *, void *self, int result) = nullptr;
    void (*message)(mosquitto *, void *self, const mosquitto_message *) = nullptr;
    void (*disconnected)(mosquitto *, void *self, int result) = nullptr;
};
mosquitto *startBrokerClient(const BrokerLineSettings &settings, void *self, const BrokerCallbacks &callbacks,
                             QString &error);
void stopBrokerClient(mosquitto *client);
