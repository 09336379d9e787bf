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
    client = new BrokerClient(config, this, {connectCallback, messageCallback}, this);
    connect(client, &BrokerClient::problemChanged, this, &LineDirectory::linesChanged);
    if (!client->start(error)) {
        delete client;
        client = nullptr;
    }
    return client != nullptr;
}

// Both callbacks run on the library's network thread; the work is done on ours.
void LineDirectory::connectCallback(mosquitto *client, void *self, int result)
{
    if (result != 0)
        return;
    auto *directory = static_cast<LineDirectory *>(self);
    // Queued before the retained statuses that name the broker's lines again.
    QMetaObject::invokeMethod(directory, [directory] {
        directory->known.clear();
        emit directory->linesChanged();
    }, Qt::QueuedConnection);
    mosquitto_subscribe(client, nullptr, (directory->config.prefix + QStringLiteral("/+/status")).toUtf8().constData(), 1);
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

QString LineDirectory::problem() const
{
    return client ? client->problem() : QStringLiteral("not started");
}
