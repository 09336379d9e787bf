#include "config_file.h"

#include "link_settings.h"
#include "sensor_catalogue.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace {

const QString formatName = QStringLiteral("korun-config/1");

// A catalogue name, or the bare number for a code the catalogue does not know.
QJsonValue codeValue(const char *name, unsigned code)
{
    return name ? QJsonValue(QString::fromLatin1(name)) : QJsonValue(int(code));
}

QString toHex(const quint8 *bytes, int count)
{
    return QString::fromLatin1(QByteArray(reinterpret_cast<const char *>(bytes), count).toHex());
}

int sensorCodeOf(const QString &name)
{
    for (unsigned code = 0; code < sensorTypeCount; ++code) {
        if (name == QLatin1String(sensorTypeNames[code]))
            return int(code);
    }
    return -1;
}

int connectionCodeOf(const QString &name)
{
    for (unsigned code = 0; code < 256; ++code) {
        if (connectionCodeName(code) && name == QLatin1String(connectionCodeName(code)))
            return int(code);
    }
    return -1;
}

// The name if given, else the code; -1 with `error` set when neither is usable.
int codeField(const QJsonObject &channel, const char *nameKey, const char *codeKey, int (*byName)(const QString &),
              QString &error)
{
    const QJsonValue name = channel.value(QLatin1String(nameKey));
    if (name.isString()) {
        const int code = byName(name.toString());
        if (code < 0)
            error = QStringLiteral("%1: unknown name '%2'").arg(QLatin1String(nameKey), name.toString());
        return code;
    }
    const QJsonValue code = name.isDouble() ? name : channel.value(QLatin1String(codeKey));
    const double number = code.toDouble(-1);
    if (!code.isDouble() || number < 0 || number > 255 || number != int(number)) {
        error = QStringLiteral("%1: missing, or not a name nor a code 0..255").arg(QLatin1String(nameKey));
        return -1;
    }
    return int(number);
}

} // namespace

QByteArray configFileText(const ConfigurationImage &image, quint8 busAddress, const QDateTime &readAt)
{
    QJsonArray channels;
    for (int channel = 0; channel < RegisterMap::channelCount; ++channel) {
        const unsigned sensor = image.sensorCode(channel), connection = image.connectionCode(channel);
        channels.append(QJsonObject{
            {"channel", channel + 1},
            {"sensor", codeValue(sensor < sensorTypeCount ? sensorTypeNames[sensor] : nullptr, sensor)},
            {"connection", codeValue(connectionCodeName(connection), connection)},
            {"sensor_code", int(sensor)},
            {"connection_code", int(connection)},
            {"adc_setup", toHex(image.record(channel) + 2, 10)},
        });
    }
    const QJsonObject root{
        {"format", formatName},
        {"module", busAddressText(busAddress)},
        {"read_at", readAt.toUTC().toString(Qt::ISODateWithMs)},
        {"address_switch_zero_left", image.addressSwitchZeroLeft()},
        {"channels", channels},
        {"image", toHex(image.bytes.data(), int(image.bytes.size()))},
    };
    return QJsonDocument(root).toJson(QJsonDocument::Indented);
}

bool parseConfigFile(const QByteArray &text, ConfigFile &file, QString &error)
{
    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson(text, &parseError);
    if (!document.isObject()) {
        error = QStringLiteral("not a JSON object: %1").arg(parseError.errorString());
        return false;
    }
    const QJsonObject root = document.object();
    if (root.value(QLatin1String("format")).toString() != formatName) {
        error = QStringLiteral("format: expected \"%1\"").arg(formatName);
        return false;
    }
    const QJsonValue flag = root.value(QLatin1String("address_switch_zero_left"));
    if (!flag.isBool()) {
        error = QStringLiteral("address_switch_zero_left: expected true or false");
        return false;
    }
    file.addressSwitchZeroLeft = flag.toBool();

    const QJsonArray channels = root.value(QLatin1String("channels")).toArray();
    std::array<bool, 4> seen{};
    for (const QJsonValue &value : channels) {
        const QJsonObject channel = value.toObject();
        const int number = channel.value(QLatin1String("channel")).toInt(0);
        if (number < 1 || number > 4 || seen[std::size_t(number - 1)]) {
            error = QStringLiteral("channels: each of the channels 1 to 4 once, not %1")
                        .arg(QString::fromUtf8(QJsonDocument(channel).toJson(QJsonDocument::Compact)));
            return false;
        }
        seen[std::size_t(number - 1)] = true;
        QString fieldError;
        const int sensor = codeField(channel, "sensor", "sensor_code", sensorCodeOf, fieldError);
        const int connection =
            fieldError.isEmpty() ? codeField(channel, "connection", "connection_code", connectionCodeOf, fieldError) : 0;
        if (fieldError.isEmpty() && isResistiveSensor(unsigned(sensor))
            && (connection < RESISTIVE_2_WIRE || connection > RESISTIVE_4_WIRE))
            fieldError = QStringLiteral("connection: the resistive sensor %1 needs RESISTIVE_2_WIRE, "
                                        "RESISTIVE_3_WIRE or RESISTIVE_4_WIRE")
                             .arg(QLatin1String(sensorTypeNames[sensor]));
        if (!fieldError.isEmpty()) {
            error = QStringLiteral("channel %1: %2").arg(number).arg(fieldError);
            return false;
        }
        file.choices[std::size_t(number - 1)] = {quint8(connection), quint8(sensor)};
    }
    if (seen != std::array<bool, 4>{true, true, true, true}) {
        error = QStringLiteral("channels: all four channels are needed");
        return false;
    }

    const QJsonValue image = root.value(QLatin1String("image"));
    if (!image.isUndefined()) {
        const QByteArray bytes = QByteArray::fromHex(image.toString().toLatin1());
        ConfigurationImage block;
        if (!image.isString() || bytes.size() != int(block.bytes.size())
            || bytes.toHex() != image.toString().toLower().toLatin1()) {
            error = QStringLiteral("image: expected %1 hex digits").arg(2 * block.bytes.size());
            return false;
        }
        std::copy(bytes.begin(), bytes.end(), block.bytes.begin());
        file.image = block;
    }
    return true;
}
