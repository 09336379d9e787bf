#pragma once

#include "broker_line.h"

#include <QObject>
#include <QString>
#include <QTimer>

struct mosquitto;
struct mosquitto_message;

struct BrokerCallbacks {
    void (*connected)(mosquitto *, void *self, int result) = nullptr;
    void (*message)(mosquitto *, void *self, const mosquitto_message *) = nullptr;
    void (*disconnected)(mosquitto *, void *self, int result) = nullptr;
};

// A subscriber of the broker in `settings` (user, password, TLS), with the library's own
// client id and a clean session: a viewer keeps nothing at the broker. The callbacks run on
// the library's network thread, which reconnects to a broker that went away. A broker that
// is not there when we start (refused, host not found) is tried again every second here:
// the library's thread would wait for ever for a connection that no attempt left under way.
class BrokerClient : public QObject
{
    Q_OBJECT

public:
    BrokerClient(const BrokerLineSettings &settings, void *self, const BrokerCallbacks &callbacks,
                 QObject *parent = nullptr);
    ~BrokerClient() override;

    // False, with why, for settings the library refuses.
    bool start(QString &error);
    mosquitto *handle() const { return client; }

signals:
    // An attempt to reach the broker failed; said once per run of failures.
    void unreachable(const QString &why);

private:
    void attempted(int result);

    BrokerLineSettings config;
    void *owner;
    BrokerCallbacks callbacks;
    mosquitto *client = nullptr;
    bool networkThread = false;
    bool failing = false;
    QTimer retry;
};
