#pragma once

#include "line_source.h"

#include <QDateTime>
#include <QElapsedTimer>
#include <QMap>
#include <QTimer>

class BrokerClient;
struct mosquitto;
struct mosquitto_message;

struct BrokerLineSettings {
    QString host;
    int port = 1883;
    QString prefix = QStringLiteral("korun");
    QString line;
    QString user;
    QString password;
    QString caFile; // TLS when set
};

// A line that korun-log polls and publishes, read from the broker: every state message
// becomes the row its recorder had. Nothing is ever sent to a module. A module is silenced
// when its recorder says it is offline, when the recorder itself went offline (its last
// will), or when no message came for three of the line's periods; gaps in a module's
// sequence numbers are counted as lost readings.
class BrokerLine : public LineSource
{
    Q_OBJECT

public:
    static constexpr int stalePeriods = 3;
    // How far a recorder's clock may run ahead of ours before its readings are refused.
    static constexpr qint64 maxClockLeadMs = 60000;

    explicit BrokerLine(const BrokerLineSettings &settings, QObject *parent = nullptr);
    ~BrokerLine() override;

    // Connects and subscribes; the retained messages fill the table at once. False for
    // settings the client library refuses, with why.
    bool start(QString &error);
    void stop() override;
    bool isRunning() const override { return client != nullptr; }
    const ModuleHealth &health(int selector) const override;
    bool asksModules() const override { return false; }
    QString summary() const override;

    long long lostReadings() const;
    const BrokerLineSettings &settings() const { return config; }

private:
    struct Module {
        ModuleHealth health;
        long long seq = -1;
        QDateTime time;
        bool heard = false;
        qint64 heardMs = 0;       // on `clock`, when its reading was taken as far as we can tell
        bool offline = false;     // its retained online flag says false
        bool datedAhead = false;  // its newest reading came from the future
        long long lost = 0;
        QString silence;          // what was last said of it through silenced()
    };

    bool shutDown();
    void onMessage(const QByteArray &topic, const QByteArray &payload, bool retained);
    void onState(int selector, const QByteArray &payload, bool retained);
    void onInfo(const QByteArray &payload);
    void addModule(int selector);
    QString whySilent(int selector) const;
    void checkSilence(int selector);
    QByteArray topic(const QString &tail) const;

    static void connectCallback(mosquitto *, void *self, int result);
    static void messageCallback(mosquitto *, void *self, const mosquitto_message *message);

    BrokerLineSettings config;
    BrokerClient *client = nullptr;
    QMap<int, Module> modules;
    QVector<int> selectors;
    double periodSeconds = 1.0; // until the line's info says
    QString lineStatus;         // "online", "offline", or empty before the broker told
    QElapsedTimer clock;
    QTimer staleness;
};
