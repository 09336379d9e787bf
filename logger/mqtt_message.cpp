#include "mqtt_message.h"

#include "link_settings.h"
#include "module_snapshot.h"
#include "sensor_catalogue.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <cmath>

namespace {

// Six decimals, as in the CSV; NaN and infinities have no JSON form.
QJsonValue number(float value)
{
    if (!std::isfinite(value))
        return QJsonValue::Null;
    return std::round(double(value) * 1e6) / 1e6;
}

QJsonValue unitOf(unsigned code)
{
    if (isVoltageInputSensor(code))
        return QStringLiteral("mV");
    if (isResistiveSensor(code))
        return QStringLiteral("ohm");
    return QJsonValue::Null;
}

QJsonObject channelObject(const ModuleSnapshot &snapshot, int channel)
{
    QJsonObject object{{"channel", channel + 1}, {"sensor", QJsonValue::Null}, {"value", QJsonValue::Null},
                       {"unit", QJsonValue::Null}, {"adc", QJsonValue::Null}, {"gain", QJsonValue::Null},
                       {"temperature_C", QJsonValue::Null}};
    if (!snapshot.records)
        return object;
    const MeasurementRecord &record = (*snapshot.records)[channel];
    const unsigned code = record.sensorCode();
    object["sensor"] = code < sensorTypeCount ? QJsonValue(QString::fromLatin1(sensorTypeNames[code])) : QJsonValue(int(code));
    object["value"] = number(record.physicValue());
    object["unit"] = unitOf(code);
    if (snapshot.states) {
        const AdcState &state = (*snapshot.states)[channel];
        object["adc"] = state.adcCode(record);
        object["gain"] = state.gain();
    }
    if (const std::optional<float> temperature = snapshot.temperatures[channel])
        object["temperature_C"] = number(*temperature);
    return object;
}

} // namespace

QByteArray stateMessage(const ModuleSnapshot &snapshot, long long seq, const QString &status)
{
    QJsonArray channels;
    for (int channel = 0; channel < 4; ++channel)
        channels.append(channelObject(snapshot, channel));
    const auto &reference = snapshot.reference;
    const QJsonObject message{
        {"time", snapshot.time.toString(Qt::ISODateWithMs)},
        {"seq", double(seq)},
        {"module", busAddressText(snapshot.busAddress)},
        {"xt1xt2_C", reference ? number(reference->xt1xt2Temperature()) : QJsonValue::Null},
        {"xt3xt4_C", reference ? number(reference->xt3xt4Temperature()) : QJsonValue::Null},
        {"channels", channels},
        {"status", status},
    };
    return QJsonDocument(message).toJson(QJsonDocument::Compact);
}
