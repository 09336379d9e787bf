#include "monitor_store.h"

#include <QSettings>

namespace MonitorStore {

// The same JSON as a channel file, so that one can be made from the other.
ChannelFile channels()
{
    ChannelFile file;
    QString error;
    const QByteArray json = QSettings().value(QStringLiteral("channels")).toByteArray();
    if (!json.isEmpty() && !file.parse(json, error))
        file = ChannelFile();
    return file;
}

void setChannels(const ChannelFile &file)
{
    QSettings().setValue(QStringLiteral("channels"), file.toJson());
}

bool hasTrendChannels()
{
    return QSettings().contains(QStringLiteral("trend/channels"));
}

QStringList trendChannels()
{
    return QSettings().value(QStringLiteral("trend/channels")).toStringList();
}

void setTrendChannels(const QStringList &keys)
{
    QSettings().setValue(QStringLiteral("trend/channels"), keys);
}

int spanSeconds(int otherwise)
{
    return QSettings().value(QStringLiteral("trend/span"), otherwise).toInt();
}

void setSpanSeconds(int seconds)
{
    QSettings().setValue(QStringLiteral("trend/span"), seconds);
}

} // namespace MonitorStore
