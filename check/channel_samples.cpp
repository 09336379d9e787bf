#include "channel_samples.h"

#include "module_snapshot.h"
#include "sensor_catalogue.h"

#include <algorithm>
#include <cmath>
#include <numeric>

namespace {

QString sensorName(unsigned code)
{
    return code < sensorTypeCount ? QString::fromLatin1(sensorTypeNames[code]) : QString::number(code);
}

QString notANumber(float value)
{
    return std::isnan(value) ? QStringLiteral("NaN") : value > 0 ? QStringLiteral("+Inf") : QStringLiteral("-Inf");
}

} // namespace

QString noTemperatureReason(unsigned sensorCode)
{
    float low, high;
    if (sensorCode == NO_SENSOR)
        return QStringLiteral("the channel has no sensor (NO_SENSOR)");
    if (!sensorTemperatureRange(sensorCode, low, high))
        return QStringLiteral("the channel measures %1, not a temperature").arg(sensorName(sensorCode));
    return QString();
}

ChannelSamples::ChannelSamples(int channel, unsigned sensorCode)
    : channel(channel)
    , sensorCode(sensorCode)
{
}

bool ChannelSamples::refuse(const QString &why)
{
    ++setAsideCount;
    ++inARow;
    reason = why;
    return false;
}

bool ChannelSamples::add(const ModuleSnapshot &snapshot)
{
    if (snapshot.busy)
        return refuse(QStringLiteral("the link was busy"));
    if (!snapshot.complete()) {
        const QString why = !snapshot.failure.reason.isEmpty() ? snapshot.failure.reason
                                                               : snapshot.failures.join(QStringLiteral("; "));
        return refuse(why.isEmpty() ? QStringLiteral("incomplete refresh") : QStringLiteral("refresh failed: ") + why);
    }
    const MeasurementRecord &record = (*snapshot.records)[std::size_t(channel - 1)];
    if (record.sensorCode() != sensorCode)
        return refuse(QStringLiteral("the channel's sensor changed from %1 to %2")
                          .arg(sensorName(sensorCode), sensorName(record.sensorCode())));
    if (const QString why = noTemperatureReason(sensorCode); !why.isEmpty())
        return refuse(why);
    if (!std::isfinite(record.physicValue()))
        return refuse(QStringLiteral("the module sent %1 for the channel").arg(notANumber(record.physicValue())));
    const bool thermocouple = isVoltageInputSensor(sensorCode) && sensorCode != VOLTAGE;
    const float coldJunction = channel <= 2 ? snapshot.reference->xt1xt2Temperature() : snapshot.reference->xt3xt4Temperature();
    if (thermocouple && !std::isfinite(coldJunction))
        return refuse(QStringLiteral("the module sent %1 for the cold junction %2")
                          .arg(notANumber(coldJunction), channel <= 2 ? QStringLiteral("XT1/XT2") : QStringLiteral("XT3/XT4")));
    const std::optional<float> temperature = snapshot.temperatures[std::size_t(channel - 1)];
    if (!temperature)
        return refuse(QStringLiteral("the refresh gave the channel no temperature"));
    if (!std::isfinite(*temperature))
        return refuse(QStringLiteral("the temperature came out as %1").arg(notANumber(*temperature)));
    readings.push_back(double(*temperature));
    inARow = 0;
    return true;
}

SampleStatistics ChannelSamples::statistics() const
{
    SampleStatistics s;
    s.count = count();
    if (readings.empty())
        return s;
    s.mean = std::accumulate(readings.begin(), readings.end(), 0.0) / s.count;
    double squares = 0;
    for (double value : readings)
        squares += (value - s.mean) * (value - s.mean);
    s.standardDeviation = s.count > 1 ? std::sqrt(squares / (s.count - 1)) : 0.0;
    const auto [low, high] = std::minmax_element(readings.begin(), readings.end());
    s.minimum = *low;
    s.maximum = *high;
    return s;
}
