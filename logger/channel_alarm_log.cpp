#include "channel_alarm_log.h"

#include "channel_alarms.h"
#include "channel_file.h"
#include "link_settings.h"
#include "module_snapshot.h"

#include <QDateTime>
#include <QHash>
#include <QJsonArray>
#include <QJsonObject>

#include <cstdio>

namespace {

struct Book {
    bool active = false;
    ChannelFile file;
    QHash<int, ChannelAlarm> alarms;   // bus address * 4 + channel
    QHash<int, QDateTime> lastFollowed; // bus address -> the refresh last followed
};

Book &book()
{
    static Book instance;
    return instance;
}

int selectorOf(quint8 address)
{
    return address - busAddress(0);
}

ChannelAlarm &alarmOf(quint8 address, int channel)
{
    Book &b = book();
    const int key = address * 4 + channel;
    if (!b.alarms.contains(key)) {
        ChannelAlarm alarm;
        const ChannelSettings settings = b.file.value(selectorOf(address), channel);
        alarm.low = settings.low;
        alarm.high = settings.high;
        b.alarms.insert(key, alarm);
    }
    return b.alarms[key];
}

} // namespace

void setChannelFile(const ChannelFile &file)
{
    book().active = true;
    book().file = file;
}

void followChannelAlarms(const ModuleSnapshot &snapshot)
{
    Book &b = book();
    if (!b.active || !snapshot.records || b.lastFollowed.value(snapshot.busAddress) == snapshot.time)
        return;
    b.lastFollowed[snapshot.busAddress] = snapshot.time;
    for (int channel = 0; channel < 4; ++channel) {
        ChannelAlarm &alarm = alarmOf(snapshot.busAddress, channel);
        const ChannelAlarm::Kind before = alarm.kind();
        if (!alarm.update(snapshot, channel))
            continue;
        const std::optional<float> t = snapshot.temperatures[channel];
        const QString reading = t && isReading(*t) ? QString::number(double(*t), 'f', 2) + QStringLiteral(" degC")
                                                   : QStringLiteral("no temperature");
        const ChannelAlarm::Kind now = alarm.kind();
        const QString what = now == ChannelAlarm::None ? QStringLiteral("%1 cleared").arg(QLatin1String(alarmText(before)))
                                                       : QString::fromLatin1(alarmText(now));
        std::fprintf(stderr, "korun-log: alarm %s module %s channel %d \"%s\": %s (%s)\n",
                     qPrintable(snapshot.time.toUTC().toString(Qt::ISODateWithMs)),
                     qPrintable(QString::number(selectorOf(snapshot.busAddress), 16).toUpper()), channel + 1,
                     qPrintable(b.file.value(selectorOf(snapshot.busAddress), channel).tag), qPrintable(what),
                     qPrintable(reading));
    }
}

void addChannelLabels(QJsonArray &channels, const ModuleSnapshot &snapshot)
{
    Book &b = book();
    if (!b.active)
        return;
    followChannelAlarms(snapshot);
    for (int channel = 0; channel < channels.size() && channel < 4; ++channel) {
        QJsonObject object = channels[channel].toObject();
        const QString tag = b.file.value(selectorOf(snapshot.busAddress), channel).tag;
        object["tag"] = tag.isEmpty() ? QJsonValue::Null : QJsonValue(tag);
        // Null where there is no limit or range alarm to tell: a refresh that did not read the
        // channels ("not read"), and a value the module sent as NaN or infinity (its status
        // says which; standard error calls it a sensor break).
        const ChannelAlarm::Kind kind = snapshot.records ? alarmOf(snapshot.busAddress, channel).kind() : ChannelAlarm::None;
        object["alarm"] = kind == ChannelAlarm::None || kind == ChannelAlarm::SensorBreak
            ? QJsonValue::Null : QJsonValue(QLatin1String(alarmKey(kind)));
        channels[channel] = object;
    }
}
