#include "broker_line.h"

#include "broker_client.h"
#include "link_settings.h"
#include "refresh_period.h"
#include "state_reading.h"

#include <QJsonArray>
#include <QJsonDocument>

#include <mosquitto.h>

BrokerLine::BrokerLine(const BrokerLineSettings &settings, QObject *parent)
    : LineSource(parent), config(settings)
{
    clock.start();
    connect(&staleness, &QTimer::timeout, this, [this] {
        for (int selector : qAsConst(selectors))
            checkSilence(selector);
    });
}

// Quietly: the window that listens may be half gone.
BrokerLine::~BrokerLine()
{
    shutDown();
}

QByteArray BrokerLine::topic(const QString &tail) const
{
    return (config.prefix + QLatin1Char('/') + config.line + QLatin1Char('/') + tail).toUtf8();
}

bool BrokerLine::start(QString &error)
{
    client = new BrokerClient(config, this, {connectCallback, messageCallback}, this);
    if (!client->start(error)) {
        delete client;
        client = nullptr;
        return false;
    }
    staleness.start(250);
    return true;
}

void BrokerLine::stop()
{
    if (shutDown())
        emit stopped();
}

bool BrokerLine::shutDown()
{
    if (!client)
        return false;
    delete client;
    client = nullptr;
    staleness.stop();
    return true;
}

// Both callbacks run on the library's network thread; the work is done on ours.
void BrokerLine::connectCallback(mosquitto *client, void *self, int result)
{
    auto *line = static_cast<BrokerLine *>(self);
    if (result == 0)
        for (const char *tail : {"info", "status", "+/online", "+/last", "+/state"})
            mosquitto_subscribe(client, nullptr, line->topic(QLatin1String(tail)).constData(), 1);
}

void BrokerLine::messageCallback(mosquitto *, void *self, const mosquitto_message *message)
{
    auto *line = static_cast<BrokerLine *>(self);
    const QByteArray topic(message->topic);
    const QByteArray payload(static_cast<const char *>(message->payload), message->payloadlen);
    const bool retained = message->retain;
    QMetaObject::invokeMethod(line, [=] { line->onMessage(topic, payload, retained); }, Qt::QueuedConnection);
}

void BrokerLine::onMessage(const QByteArray &topicName, const QByteArray &payload, bool retained)
{
    if (!client)
        return;
    const QList<QByteArray> levels = topicName.mid(topic(QString()).size()).split('/');
    if (levels == QList<QByteArray>{"status"}) {
        lineStatus = QString::fromUtf8(payload);
        for (int selector : qAsConst(selectors))
            checkSilence(selector);
    } else if (levels == QList<QByteArray>{"info"}) {
        onInfo(payload);
    } else if (levels.size() == 2) {
        bool ok = false;
        const int selector = levels[0].toInt(&ok, 16);
        if (!ok || selector < 0 || selector > 15)
            return;
        if (levels[1] == "online") {
            addModule(selector);
            modules[selector].offline = payload == "false";
            checkSilence(selector);
        } else if (levels[1] == "state" || levels[1] == "last") {
            onState(selector, payload, retained);
        }
    }
}

void BrokerLine::onInfo(const QByteArray &payload)
{
    const QJsonObject info = QJsonDocument::fromJson(payload).object();
    const double period = info.value(QLatin1String("period_s")).toDouble();
    if (period >= RefreshPeriod::minSeconds && period <= RefreshPeriod::maxSeconds)
        periodSeconds = period;
    QVector<int> listed;
    for (const QJsonValue &module : info.value(QLatin1String("modules")).toArray()) {
        bool ok = false;
        const int selector = module.toString().mid(2).toInt(&ok, 16) - busAddress(0);
        if (ok && selector >= 0 && selector < 16 && !listed.contains(selector))
            listed << selector;
    }
    std::sort(listed.begin(), listed.end());
    if (!listed.isEmpty() && listed != selectors) {
        selectors = listed;
        for (int selector : listed)
            modules[selector];
        emit modulesChanged(selectors);
    }
}

void BrokerLine::addModule(int selector)
{
    if (selectors.contains(selector))
        return;
    selectors << selector;
    std::sort(selectors.begin(), selectors.end());
    emit modulesChanged(selectors);
}

void BrokerLine::onState(int selector, const QByteArray &payload, bool retained)
{
    SweepRow row;
    const QJsonObject message = QJsonDocument::fromJson(payload).object();
    if (!readStateMessage(message, row) || row.selector != selector)
        return;
    addModule(selector);
    Module &module = modules[selector];
    // Each reading comes as a state and as the newest retained: one of them is enough. A
    // recorder restarted with its clock set back sends earlier times, and is heard.
    const long long seq = message.value(QLatin1String("seq")).toVariant().toLongLong();
    if (seq == module.seq && row.snapshot.time == module.time)
        return;
    // A reading from the future says nothing we can place in time.
    module.datedAhead = QDateTime::currentDateTimeUtc().msecsTo(row.snapshot.time) > maxClockLeadMs;
    if (module.datedAhead) {
        checkSilence(selector);
        return;
    }
    if (module.seq >= 0 && seq > module.seq + 1)
        module.lost += seq - module.seq - 1; // a lower seq is a recorder started anew
    module.seq = seq;
    module.time = row.snapshot.time;
    // A retained reading is as old as its time says; a live one is heard now.
    const qint64 age = retained ? qMax<qint64>(0, row.snapshot.time.msecsTo(QDateTime::currentDateTimeUtc())) : 0;
    module.heardMs = clock.elapsed() - age;
    module.heard = true;
    module.health.noteRefresh(row.snapshot);
    emit swept({row});
    checkSilence(selector);
}

QString BrokerLine::whySilent(int selector) const
{
    const Module &module = modules[selector];
    const QString name = busAddressText(busAddress(selector));
    if (lineStatus == QLatin1String("offline"))
        return QStringLiteral("the recorder of line %1 is offline").arg(config.line);
    if (module.offline)
        return QStringLiteral("its recorder says module %1 is offline").arg(name);
    if (module.datedAhead)
        return QStringLiteral("its readings are dated more than %1 s ahead of this computer's clock").arg(maxClockLeadMs / 1000);
    if (!module.heard || clock.elapsed() - module.heardMs > qint64(stalePeriods * periodSeconds * 1000))
        return !module.heard ? QStringLiteral("no reading of module %1 from the broker yet").arg(name)
                             : QStringLiteral("no message for %1 periods of %2 s").arg(stalePeriods).arg(periodSeconds);
    return QString();
}

void BrokerLine::checkSilence(int selector)
{
    // Said once when it falls silent, not again while it stays so for the same reason.
    const QString why = whySilent(selector);
    if (why == modules[selector].silence)
        return;
    modules[selector].silence = why;
    if (!why.isEmpty())
        emit silenced(selector, why);
}

const ModuleHealth &BrokerLine::health(int selector) const
{
    static const ModuleHealth unknown;
    const auto module = modules.constFind(selector);
    return module == modules.cend() ? unknown : module->health;
}

long long BrokerLine::lostReadings() const
{
    long long lost = 0;
    for (const Module &module : modules)
        lost += module.lost;
    return lost;
}

QString BrokerLine::summary() const
{
    QString text = QStringLiteral("Line %1 at %2:%3: ").arg(config.line, config.host).arg(config.port);
    if (!client || !client->problem().isEmpty())
        return text + (client ? client->problem() : QStringLiteral("not reading"));
    text += lineStatus.isEmpty() ? QStringLiteral("recorder not heard of") : QStringLiteral("recorder ") + lineStatus;
    text += QStringLiteral(" · period %1 s").arg(periodSeconds);
    QStringList lost;
    for (auto it = modules.cbegin(); it != modules.cend(); ++it)
        if (it->lost)
            lost << QStringLiteral("%1 from %2").arg(it->lost).arg(busAddressText(busAddress(it.key())));
    text += lost.isEmpty() ? QStringLiteral(" · no reading lost") : QStringLiteral(" · readings lost: ") + lost.join(QLatin1String(", "));
    return text;
}
