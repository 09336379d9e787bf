#include "module_snapshot.h"

#include "sensor_catalogue.h"
#include "temperature_routing.h"

#include <cmath>

namespace {

bool isThermocouple(unsigned code)
{
    return isVoltageInputSensor(code) && code != VOLTAGE;
}

float coldJunctionOf(const ReferenceTemperatures &reference, int channel)
{
    return channel < 2 ? reference.xt1xt2Temperature() : reference.xt3xt4Temperature();
}

const char *pairName(int channel)
{
    return channel < 2 ? "XT1/XT2" : "XT3/XT4";
}

} // namespace

std::array<std::optional<float>, 4> channelTemperatures(const std::array<MeasurementRecord, 4> &records,
                                                        const std::optional<ReferenceTemperatures> &coldJunction)
{
    std::array<std::optional<float>, 4> temperatures;
    for (int channel = 0; channel < 4; ++channel) {
        const unsigned code = records[channel].sensorCode();
        if (code == NO_SENSOR || !isReading(records[channel].physicValue()))
            continue;
        const bool thermocouple = isThermocouple(code);
        if (thermocouple && (!coldJunction || !isReading(coldJunctionOf(*coldJunction, channel))))
            continue;
        const float reference = coldJunction ? coldJunctionOf(*coldJunction, channel) : 0.0f;
        temperatures[channel] = compensatedTemperature(code, records[channel].physicValue(), reference);
    }
    return temperatures;
}

bool isReading(float value)
{
    return std::isfinite(value);
}

QString nonReadingName(float value)
{
    if (std::isnan(value))
        return QStringLiteral("NaN");
    if (std::isinf(value))
        return value > 0 ? QStringLiteral("+Inf") : QStringLiteral("-Inf");
    return QString();
}

QString nonReadingOfChannel(const ModuleSnapshot &snapshot, int channel)
{
    if (!snapshot.records)
        return QString();
    const MeasurementRecord &record = (*snapshot.records)[channel];
    if (record.sensorCode() == NO_SENSOR)
        return QString();
    if (!isReading(record.physicValue()))
        return QStringLiteral("sent ") + nonReadingName(record.physicValue());
    if (isThermocouple(record.sensorCode()) && snapshot.reference) {
        const float coldJunction = coldJunctionOf(*snapshot.reference, channel);
        if (!isReading(coldJunction))
            return QStringLiteral("%1 sent %2").arg(QLatin1String(pairName(channel)), nonReadingName(coldJunction));
    }
    return QString();
}

QStringList nonReadings(const ModuleSnapshot &snapshot)
{
    QStringList texts;
    if (snapshot.reference) {
        for (int channel : {0, 2}) {
            const float value = coldJunctionOf(*snapshot.reference, channel);
            if (!isReading(value))
                texts << QStringLiteral("%1 sent %2").arg(QLatin1String(pairName(channel)), nonReadingName(value));
        }
    }
    if (snapshot.records) {
        for (int channel = 0; channel < 4; ++channel) {
            const MeasurementRecord &record = (*snapshot.records)[channel];
            if (record.sensorCode() != NO_SENSOR && !isReading(record.physicValue()))
                texts << QStringLiteral("channel %1 sent %2").arg(channel + 1).arg(nonReadingName(record.physicValue()));
        }
    }
    return texts;
}
