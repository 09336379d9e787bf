#pragma once

#include "broker_line.h"

#include <QMap>
#include <QObject>

class BrokerClient;
struct mosquitto;
struct mosquitto_message;

// The lines the broker knows: every line whose recorder left its retained status under the
// topic prefix, with that status ("online", or "offline" after an orderly stop or the
// recorder's last will). A status cleared at the broker takes its line off the list.
// linesChanged() also follows a change of problem().
class LineDirectory : public QObject
{
    Q_OBJECT

public:
    explicit LineDirectory(const BrokerLineSettings &settings, QObject *parent = nullptr);
    ~LineDirectory() override;

    bool start(QString &error);
    bool isRunning() const { return client != nullptr; }
    // Line name -> its recorder's status, by name.
    const QMap<QString, QString> &lines() const { return known; }
    // Why the broker is not serving us ("connecting to the broker", "the broker refused: ..."),
    // empty while it is: an empty list then means no line was published.
    QString problem() const;

signals:
    void linesChanged();

private:
    void onStatus(const QByteArray &topic, const QByteArray &payload);

    static void connectCallback(mosquitto *, void *self, int result);
    static void messageCallback(mosquitto *, void *self, const mosquitto_message *message);

    BrokerLineSettings config;
    BrokerClient *client = nullptr;
    QMap<QString, QString> known;
};
