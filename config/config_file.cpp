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

bool isCodeNumber(const QJsonValue &value)
{
    const double number = value.toDouble(-1);
    return value.isDouble() && number >= 0 && number <= 255 && number == int(number);
}

// The name if given, else the bare number, else the code entry; -1 with `error` set when
// none is usable. `byNumber` tells that no name was given; `warning` is set when the
// name or number contradicts the code entry beside it.
int codeField(const QJsonObject &channel, const char *nameKey, const char *codeKey, int (*byName)(const QString &),
              bool &byNumber, QString &error, QString &warning)
{
    const QJsonValue name = channel.value(QLatin1String(nameKey));
    const QJsonValue code = channel.value(QLatin1String(codeKey));
    byNumber = !name.isString();
    int result;
    QString given;
    if (name.isString()) {
        given = name.toString();
        result = byName(given);
        if (result < 0) {
            error = QStringLiteral("%1: unknown name '%2'").arg(QLatin1String(nameKey), given);
            return -1;
        }
    } else {
        const QJsonValue number = name.isDouble() ? name : code;
        if (!isCodeNumber(number)) {
            error = QStringLiteral("%1: missing, or not a name nor a code 0..255").arg(QLatin1String(nameKey));
            return -1;
        }
        result = number.toInt();
        given = QString::number(result);
    }
    if (code.isDouble() && code.toDouble() != result)
        warning = QStringLiteral("%1 %2 (code %3) contradicts %4 %5; the %1 entry is taken")
                      .arg(QLatin1String(nameKey), given)
                      .arg(result)
                      .arg(QLatin1String(codeKey))
                      .arg(code.toDouble());
    return result;
}

// Parses one entry of "channels" into `file`; false with `error` set.
bool parseChannel(const QJsonObject &channel, int number, ConfigFile &file, QString &error)
{
    const std::size_t index = std::size_t(number - 1);
    QString fieldError, sensorWarning, connectionWarning;
    bool connectionByNumber = false;
    const int sensor =
        codeField(channel, "sensor", "sensor_code", sensorCodeOf, file.sensorByNumber[index], fieldError, sensorWarning);
    const int connection = fieldError.isEmpty() ? codeField(channel, "connection", "connection_code", connectionCodeOf,
                                                            connectionByNumber, fieldError, connectionWarning)
                                                : 0;
    const QJsonValue setup = channel.value(QLatin1String("adc_setup"));
    const QByteArray setupBytes = QByteArray::fromHex(setup.toString().toLatin1());
    if (fieldError.isEmpty() && !setup.isUndefined()
        && (setupBytes.size() != 10 || setupBytes.toHex() != setup.toString().toLower().toLatin1()))
        fieldError = QStringLiteral("adc_setup: expected 20 hex digits");
    if (!fieldError.isEmpty()) {
        error = QStringLiteral("channel %1: %2").arg(number).arg(fieldError);
        return false;
    }
    for (const QString &warning : {sensorWarning, connectionWarning}) {
        if (!warning.isEmpty())
            file.warnings << QStringLiteral("channel %1: %2").arg(number).arg(warning);
    }
    file.choices[index] = {quint8(connection), quint8(sensor)};
    file.adcSetup[index] = setupBytes;
    return true;
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
    file.module = root.value(QLatin1String("module")).toString();

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
        if (!parseChannel(channel, number, file, error))
            return false;
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
