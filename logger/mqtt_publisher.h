#pragma once

#include "mqtt_queue.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QObject>
#include <QString>
#include <QTimer>
#include <QVector>

#include <atomic>

struct mosquitto;

struct MqttSettings {
    QString host;
    int port = 1883;
    QString prefix = QStringLiteral("korun");
    QString line;         // the line's name in the topics
    QString clientId;     // also names the broker's session for this line
    QString user;
    QString password;
    QString caFile;       // TLS when set
    int queueLimit = 100000;
};

// Publishes to an MQTT broker without ever making the caller wait: messages go into a
// bounded queue and are handed to the client library, whose network thread sends them, in
// order, whenever the broker is there. A last will says PREFIX/LINE/status "offline";
// "online" while the program runs. What keeps the broker away (a refusal, TLS, silence)
// is said once on standard error.
class MqttPublisher : public QObject
{
    Q_OBJECT

public:
    // A broker silent this long is said to be not reachable.
    static constexpr int unreachableAfterMs = 5000;

    explicit MqttPublisher(const MqttSettings &settings, QObject *parent = nullptr);
    ~MqttPublisher() override;

    // Sets up the client and starts connecting; false only for settings that cannot work.
    bool start(QString &error);
    const QString &line() const { return settings.line; }
    // The modules whose PREFIX/LINE/MODULE/online finish() sets to "false".
    void setModules(const QVector<int> &selectors) { modules = selectors; }
    // PREFIX/LINE/MODULE/state, QoS 1, in order; the same retained on PREFIX/LINE/MODULE/last
    // for a reader that comes later (only the newest waits there while the broker is away).
    void publishState(int selector, const QByteArray &message);
    // PREFIX/LINE/info, retained.
    void publishInfo(const QByteArray &message);
    // PREFIX/LINE/MODULE/online, retained, sent when it changes.
    void publishOnline(int selector, bool online);
    // Says every module "false", then the line "offline"; waits up to timeoutMs for what is
    // queued to reach the broker (not at all when the broker refused us) and disconnects.
    void finish(int timeoutMs);

    long long dropped() const { return droppedMessages; }
    long long acknowledged() const { return acknowledgedMessages; }
    int waiting() const { return queue.size() + inFlight; }
    QString brokerName() const { return QStringLiteral("%1:%2").arg(settings.host).arg(settings.port); }

private:
    QByteArray topic(const QString &tail) const;
    void enqueue(const QByteArray &topic, const QByteArray &payload, bool retain);
    void attempted(int result);
    void pump();
    void onConnected(int result);
    void onDisconnected();
    void onTlsFailure(const QString &reason);
    void onPublished();
    void sayRefused(const QString &reason);
    void sayUnreachable();
    void checkNetworkThread();

    static void connectCallback(mosquitto *, void *self, int result);
    static void disconnectCallback(mosquitto *, void *self, int result);
    static void publishCallback(mosquitto *, void *self, int mid);
    static void logCallback(mosquitto *, void *self, int level, const char *text);

    MqttSettings settings;
    QVector<int> modules;
    mosquitto *client = nullptr;
    MqttQueue queue;
    int inFlight = 0;      // handed to the library, not yet acknowledged by the broker
    bool connected = false; // messages may be handed to the library
    bool up = false;        // between an accepted connection and its end
    QString refusal;        // why the broker last turned us away; empty once it accepts
    bool warned = false;    // that the broker is not reachable
    bool lookupFailed = false;
    bool networkThread = false; // started; it may have ended on an error since
    QElapsedTimer offlineSince;
    QTimer unreachable;
    QTimer watchdog;
    QTimer retry;
    QByteArray onlineStates = QByteArray(16, '?');
    QByteArray info;           // the line's info, published again on every new connection
    bool connectedBefore = false;
    long long droppedMessages = 0, acknowledgedMessages = 0;
    std::atomic<bool> afterCaLoad{false}; // OpenSSL's details of a CA file that would not load follow
};
