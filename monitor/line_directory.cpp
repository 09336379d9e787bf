#include "line_directory.h"

#include "broker_client.h"

#include <mosquitto.h>

LineDirectory::LineDirectory(const BrokerLineSettings &settings, QObject *parent) : QObject(parent), config(settings)
{
}

// The network thread ends before anything it reports to goes.
LineDirectory::~LineDirectory()
{
    delete client;
}

bool LineDirectory::start(QString &error)
{
    client = new BrokerClient(config, this, {connectCallback, messageCallback, disconnectCallback}, this);
    connect(client, &BrokerClient::unreachable, this, &LineDirectory::setProblem);
    if (!client->start(error)) {
        delete client;
        client = nullptr;
    }
    return client != nullptr;
}

// Both callbacks run on the library's network thread; the work is done on ours.
void LineDirectory::connectCallback(mosquitto *client, void *self, int result)
{
    auto *directory = static_cast<LineDirectory *>(self);
    // Queued before the retained statuses that name the broker's lines again.
    const QString said = result == 0 ? QString() : QStringLiteral("the broker refused: %1").arg(mosquitto_connack_string(result));
    QMetaObject::invokeMethod(directory, [directory, said] {
        directory->known.clear();
        directory->setProblem(said);
        emit directory->linesChanged();
    }, Qt::QueuedConnection);
    if (result == 0)
        mosquitto_subscribe(client, nullptr, (directory->config.prefix + QStringLiteral("/+/status")).toUtf8().constData(), 1);
}

void LineDirectory::disconnectCallback(mosquitto *, void *self, int result)
{
    auto *directory = static_cast<LineDirectory *>(self);
    if (result != 0)
        QMetaObject::invokeMethod(directory, [directory] { directory->setProblem(QStringLiteral("the broker is not reachable")); },
                                  Qt::QueuedConnection);
}

void LineDirectory::setProblem(const QString &problem)
{
    if (problem == connection)
        return;
    connection = problem;
    emit linesChanged();
}

void LineDirectory::messageCallback(mosquitto *, void *self, const mosquitto_message *message)
{
    auto *directory = static_cast<LineDirectory *>(self);
    const QByteArray topic(message->topic);
    const QByteArray payload(static_cast<const char *>(message->payload), message->payloadlen);
    QMetaObject::invokeMethod(directory, [=] { directory->onStatus(topic, payload); }, Qt::QueuedConnection);
}

void LineDirectory::onStatus(const QByteArray &topic, const QByteArray &payload)
{
    const QList<QByteArray> levels = topic.split('/');
    if (levels.size() != 3 || levels[1].isEmpty())
        return;
    const QString line = QString::fromUtf8(levels[1]);
    if (payload.isEmpty() ? known.remove(line) == 0 : known.value(line) == QString::fromUtf8(payload))
        return;
    if (!payload.isEmpty())
        known[line] = QString::fromUtf8(payload);
    emit linesChanged();
}
