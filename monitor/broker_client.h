#pragma once

#include "broker_line.h"

#include <QObject>
#include <QString>
#include <QTimer>

struct mosquitto;
struct mosquitto_message;

// What a subscriber does on the library's network thread: subscribe once the broker
// accepted it (result 0), take a message. `self` is the owner given to BrokerClient.
struct BrokerCallbacks {
    void (*connected)(mosquitto *, void *self, int result) = nullptr;
    void (*message)(mosquitto *, void *self, const mosquitto_message *) = nullptr;
};

// A subscriber of the broker in `settings` (user, password, TLS), with the library's own
// client id and a clean session: a viewer keeps nothing at the broker. The library's
// network thread reconnects to a broker that went away; a broker that is not there when we
// start (refused, host not found) is tried again every second here, as the library's
// thread would wait for ever for a connection that no attempt left under way.
class BrokerClient : public QObject
{
    Q_OBJECT

public:
    BrokerClient(const BrokerLineSettings &settings, void *owner, const BrokerCallbacks &callbacks,
                 QObject *parent = nullptr);
    ~BrokerClient() override;

    // False, with why, for settings the library refuses.
    bool start(QString &error);
    // Why the broker is not serving us ("connecting to the broker", "the broker is not
    // reachable", "the broker refused: ..."); empty while it is.
    const QString &problem() const { return said; }

signals:
    void problemChanged(const QString &problem);

private:
    void attempted(int result);
    void setProblem(const QString &problem);

    static void connectCallback(mosquitto *, void *self, int result);
    static void disconnectCallback(mosquitto *, void *self, int result);
    static void messageCallback(mosquitto *, void *self, const mosquitto_message *message);

    BrokerLineSettings config;
    void *owner;
    BrokerCallbacks callbacks;
    mosquitto *client = nullptr;
    bool networkThread = false;
    QString said = QStringLiteral("connecting to the broker");
    QTimer retry;
};
