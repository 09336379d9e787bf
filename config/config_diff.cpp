#include "config_diff.h"

#include "sensor_catalogue.h"

namespace {

QString describe(const quint8 *record)
{
    const unsigned sensor = record[1], connection = record[0];
    const QString sensorName = sensor < sensorTypeCount ? QString::fromLatin1(sensorTypeNames[sensor]) : QString::number(sensor);
    const char *connectionName = connectionCodeName(connection);
    return sensorName + QLatin1Char(' ')
        + (connectionName ? QString::fromLatin1(connectionName) : QString::number(connection));
}

} // namespace

ConfigurationImage afterStore(const ConfigurationImage &module, const ConfigFile &file)
{
    ConfigurationImage stored = module;
    applyChannelChoices(stored, file.choices, file.addressSwitchZeroLeft);
    return stored;
}

QStringList configDifferences(const ConfigurationImage &module, const ConfigFile &file)
{
    const ConfigurationImage stored = afterStore(module, file);
    QStringList lines;
    for (int channel = 0; channel < RegisterMap::channelCount; ++channel) {
        const quint8 *now = module.record(channel), *then = stored.record(channel);
        if (now[0] != then[0] || now[1] != then[1])
            lines << QStringLiteral("channel %1: module %2; file %3").arg(channel + 1).arg(describe(now), describe(then));
    }
    if (module.addressSwitchZeroLeft() != file.addressSwitchZeroLeft)
        lines << QStringLiteral("address switch: module %1; file %2")
                     .arg(module.addressSwitchZeroLeft() ? "0 on the left" : "0 on the top",
                          file.addressSwitchZeroLeft ? "0 on the left" : "0 on the top");
    return lines;
}
