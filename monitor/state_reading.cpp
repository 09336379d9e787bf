#include "state_reading.h"

#include "link_settings.h"
#include "sensor_catalogue.h"

#include <QJsonArray>

#include <cmath>
#include <cstring>
#include <limits>

namespace {

template <std::size_t Registers>
void setFloat(RegisterImage<Registers> &image, std::size_t offset, float value)
{
    std::memcpy(image.bytes.data() + offset, &value, sizeof value);
}

// A number, or the non-reading a null with this status stands for; `name` is how the row's
// status names the value when it was an infinity ("channel 2", "XT1/XT2").
float numberOf(const QJsonValue &value, const QString &status, const QString &rowStatus, const QString &name)
{
    if (value.isDouble())
        return float(value.toDouble());
    if (status == QLatin1String("infinite"))
        return rowStatus.contains(name + QLatin1String(" sent -Inf")) ? -std::numeric_limits<float>::infinity()
                                                                      : std::numeric_limits<float>::infinity();
    return std::numeric_limits<float>::quiet_NaN();
}

unsigned sensorCodeOf(const QJsonValue &sensor)
{
    if (sensor.isDouble())
        return unsigned(sensor.toInt());
    for (unsigned code = 0; code < sensorTypeCount; ++code)
        if (sensor.toString() == QLatin1String(sensorTypeNames[code]))
            return code;
    return NO_SENSOR;
}

} // namespace

bool readStateMessage(const QJsonObject &message, SweepRow &row)
{
    const QString module = message.value(QLatin1String("module")).toString();
    const QDateTime time = QDateTime::fromString(message.value(QLatin1String("time")).toString(), Qt::ISODateWithMs);
    const QJsonArray channels = message.value(QLatin1String("channels")).toArray();
    bool ok = false;
    const int address = module.mid(2).toInt(&ok, 16);
    if (!ok || !module.startsWith(QLatin1String("0x")) || !time.isValid() || channels.size() != 4)
        return false;
    row = SweepRow();
    row.selector = address - busAddress(0);
    row.status = message.value(QLatin1String("status")).toString();
    ModuleSnapshot &snapshot = row.snapshot;
    snapshot.time = time.toUTC();
    snapshot.busAddress = quint8(address);

    if (message.value(QLatin1String("xt1xt2_status")).toString() != QLatin1String("not read")) {
        ReferenceTemperatures reference;
        setFloat(reference, 0, numberOf(message[QLatin1String("xt1xt2_C")], message[QLatin1String("xt1xt2_status")].toString(), row.status, "XT1/XT2"));
        setFloat(reference, 4, numberOf(message[QLatin1String("xt3xt4_C")], message[QLatin1String("xt3xt4_status")].toString(), row.status, "XT3/XT4"));
        snapshot.reference = reference;
    }
    const bool recordsRead = channels[0].toObject().value(QLatin1String("status")).toString() != QLatin1String("not read");
    const bool statesRead = !channels[0].toObject().value(QLatin1String("gain")).isNull();
    std::array<MeasurementRecord, 4> records;
    std::array<AdcState, 4> states;
    for (int c = 0; c < 4; ++c) {
        const QJsonObject channel = channels[c].toObject();
        const QString status = channel.value(QLatin1String("status")).toString();
        records[c].bytes[4] = quint8(sensorCodeOf(channel.value(QLatin1String("sensor"))));
        setFloat(records[c], 0, numberOf(channel.value(QLatin1String("value")), status, row.status,
                                         QStringLiteral("channel %1").arg(c + 1)));
        // The code goes where the ADC state says to look for it: unsigned unless negative.
        const int adc = channel.value(QLatin1String("adc")).toInt();
        const int gain = channel.value(QLatin1String("gain")).toInt(1);
        states[c].bytes[3] = quint8((adc >= 0 ? 0x10 : 0) | (gain > 1 ? int(std::log2(gain)) & 0x07 : 0));
        records[c].setRegisterValue(adc >= 0 ? 3 : 4, quint16(adc));
        const QJsonValue temperature = channel.value(QLatin1String("temperature_C"));
        if (temperature.isDouble())
            snapshot.temperatures[c] = float(temperature.toDouble());
    }
    if (recordsRead)
        snapshot.records = records;
    if (statesRead)
        snapshot.states = states;
    if (!snapshot.complete()) {
        snapshot.failure = {RequestFailure::NoAnswer, row.status};
        snapshot.failures << row.status;
    }
    return true;
}
