#pragma once

#include <QByteArray>
#include <QElapsedTimer>
#include <QObject>
#include <QString>
#include <QTimer>

#include <deque>

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
// bounded queue (the oldest dropped beyond the limit, and counted) and are handed to the
// client library, whose network thread sends them, in order, whenever the broker is there.
// A last will says PREFIX/LINE/status "offline"; "online" while the program runs.
class MqttPublisher : public QObject
{
    Q_OBJECT

public:
    explicit MqttPublisher(const MqttSettings &settings, QObject *parent = nullptr);
    ~MqttPublisher() override;

    // Sets up the client and starts connecting; false only for settings that cannot work.
    bool start(QString &error);
    // PREFIX/LINE/MODULE/state, QoS 1, in order.
    void publishState(int selector, const QByteArray &message);
    // PREFIX/LINE/MODULE/online, retained, sent when it changes.
    void publishOnline(int selector, bool online);
    // Says "offline", waits up to timeoutMs for what is queued to reach the broker, and
    // disconnects.
    void finish(int timeoutMs);

    long long dropped() const { return droppedMessages; }
    long long acknowledged() const { return acknowledgedMessages; }
    int waiting() const { return int(queue.size()) + inFlight; }

private:
    struct Message {
        QByteArray topic;
        QByteArray payload;
        bool retain;
    };

    QByteArray topic(const QString &tail) const;
    void enqueue(const QByteArray &topic, const QByteArray &payload, bool retain);
    void pump();
    void onConnected(int result);
    void onDisconnected();
    void onPublished();
    void checkNetworkThread();

    static void connectCallback(mosquitto *, void *self, int result);
    static void disconnectCallback(mosquitto *, void *self, int result);
    static void publishCallback(mosquitto *, void *self, int mid);

    MqttSettings settings;
    mosquitto *client = nullptr;
    std::deque<Message> queue;
    int inFlight = 0; // handed to the library, not yet acknowledged by the broker
    bool connected = false;
    bool warned = false; // that the broker is not reachable
    QElapsedTimer offlineSince;
    QTimer watchdog;
    QByteArray onlineStates = QByteArray(16, '?');
    long long droppedMessages = 0, acknowledgedMessages = 0;
};
