#include "mqtt_message.h"

#include "channel_alarm_log.h"
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

// Why a number the module sent is null, or "ok".
QString numberStatus(float value)
{
    if (std::isnan(value))
        return QStringLiteral("not a number");
    if (std::isinf(value))
        return QStringLiteral("infinite");
    return QStringLiteral("ok");
}

QJsonValue unitOf(unsigned code)
{
    if (isVoltageInputSensor(code))
        return QStringLiteral("mV");
    if (isResistiveSensor(code))
        return QStringLiteral("ohm");
    return QJsonValue::Null;
}

// Why a channel whose value is a number has no temperature, or "ok".
QString temperatureStatus(const ModuleSnapshot &snapshot, int channel, unsigned code)
{
    const std::optional<float> temperature = snapshot.temperatures[channel];
    if (temperature && std::isfinite(*temperature))
        return QStringLiteral("ok");
    if (code >= sensorTypeCount)
        return QStringLiteral("unknown sensor");
    const bool thermocouple = isVoltageInputSensor(code) && code != VOLTAGE;
    const auto &reference = snapshot.reference;
    const float coldJunction = !reference ? 0.0f : channel < 2 ? reference->xt1xt2Temperature() : reference->xt3xt4Temperature();
    if (thermocouple && (!temperature || !std::isfinite(coldJunction)))
        return QStringLiteral("no cold junction");
    return QStringLiteral("no temperature"); // outside what the sensor's characteristic converts
}

QJsonObject channelObject(const ModuleSnapshot &snapshot, int channel)
{
    QJsonObject object{{"channel", channel + 1}, {"sensor", QJsonValue::Null}, {"value", QJsonValue::Null},
                       {"unit", QJsonValue::Null}, {"adc", QJsonValue::Null}, {"gain", QJsonValue::Null},
                       {"temperature_C", QJsonValue::Null}, {"status", QStringLiteral("not read")}};
    if (!snapshot.records)
        return object;
    const MeasurementRecord &record = (*snapshot.records)[channel];
    const unsigned code = record.sensorCode();
    object["sensor"] = code < sensorTypeCount ? QJsonValue(QString::fromLatin1(sensorTypeNames[code])) : QJsonValue(int(code));
    if (snapshot.states) {
        const AdcState &state = (*snapshot.states)[channel];
        object["adc"] = state.adcCode(record);
        object["gain"] = state.gain();
    }
    // Whatever the value register holds means nothing without a sensor.
    if (code == NO_SENSOR) {
        object["status"] = QStringLiteral("no sensor");
        return object;
    }
    object["unit"] = unitOf(code);
    const float value = record.physicValue();
    object["value"] = number(value);
    object["status"] = numberStatus(value);
    if (!std::isfinite(value))
        return object;
    if (const std::optional<float> temperature = snapshot.temperatures[channel])
        object["temperature_C"] = number(*temperature);
    object["status"] = temperatureStatus(snapshot, channel, code);
    return object;
}

} // namespace

QByteArray stateMessage(const ModuleSnapshot &snapshot, const QString &line, long long seq, const QString &status)
{
    QJsonArray channels;
    for (int channel = 0; channel < 4; ++channel)
        channels.append(channelObject(snapshot, channel));
    addChannelLabels(channels, snapshot);
    const auto &reference = snapshot.reference;
    const QString notRead = QStringLiteral("not read");
    const QJsonObject message{
        {"schema", messageSchema},
        {"time", snapshot.time.toString(Qt::ISODateWithMs)},
        {"line", line},
        {"seq", double(seq)},
        {"module", busAddressText(snapshot.busAddress)},
        {"xt1xt2_C", reference ? number(reference->xt1xt2Temperature()) : QJsonValue::Null},
        {"xt1xt2_status", reference ? numberStatus(reference->xt1xt2Temperature()) : notRead},
        {"xt3xt4_C", reference ? number(reference->xt3xt4Temperature()) : QJsonValue::Null},
        {"xt3xt4_status", reference ? numberStatus(reference->xt3xt4Temperature()) : notRead},
        {"channels", channels},
        {"status", status},
    };
    return QJsonDocument(message).toJson(QJsonDocument::Compact);
}

QByteArray infoMessage(const QString &line, const QVector<int> &selectors, double periodSeconds)
{
    QJsonArray modules;
    for (int selector : selectors)
        modules.append(busAddressText(busAddress(selector)));
    const QJsonObject message{
        {"schema", messageSchema},
        {"line", line},
        {"modules", modules},
        {"period_s", periodSeconds},
        {"program", QStringLiteral("korun-log")},
        {"version", QStringLiteral(KORUN_VERSION)},
    };
    return QJsonDocument(message).toJson(QJsonDocument::Compact);
}
