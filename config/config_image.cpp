#include "config_image.h"

#include "config_changes.h"
#include "sensor_catalogue.h"

#include <algorithm>
#include <cstring>

namespace {

constexpr int setupOffset = 2, setupEnd = 12;

bool connectionDefined(unsigned code)
{
    return connectionCodeName(code) != nullptr;
}

QString channelName(int channel)
{
    return QStringLiteral("channel %1").arg(channel + 1);
}

// Why a channel the write changes cannot be built; empty when it can.
QString unbuildable(const ChannelChoice &choice)
{
    if (choice.sensorCode >= sensorTypeCount)
        return QStringLiteral("sensor code %1 is not in the catalogue, so its ADC setup is unknown; it is kept "
                              "only where the module already holds it (--restore-image writes a whole block)")
            .arg(choice.sensorCode);
    if (!connectionDefined(choice.connectionCode))
        return QStringLiteral("connection code %1 is not one the module has (0, 2, 3, 4 or 5)").arg(choice.connectionCode);
    if (isResistiveSensor(choice.sensorCode)
        && (choice.connectionCode < RESISTIVE_2_WIRE || choice.connectionCode > RESISTIVE_4_WIRE))
        return QStringLiteral("the resistive sensor %1 needs RESISTIVE_2_WIRE, RESISTIVE_3_WIRE or RESISTIVE_4_WIRE")
            .arg(sensorText(choice.sensorCode));
    return {};
}

void checkChannel(const ConfigFile &file, const ConfigurationImage &image, int channel, QStringList &problems)
{
    const ChannelChoice &choice = file.choices[std::size_t(channel)];
    const quint8 sensor = image.sensorCode(channel), connection = image.connectionCode(channel);
    const QString name = channelName(channel);
    if (sensor != choice.sensorCode || connection != choice.connectionCode)
        problems << QStringLiteral("%1: the image holds %2 %3, the channels entry says %4 %5")
                        .arg(name, sensorText(sensor), connectionText(connection), sensorText(choice.sensorCode),
                             connectionText(choice.connectionCode));
    const QByteArray &setup = file.adcSetup[std::size_t(channel)];
    if (!setup.isEmpty() && std::memcmp(setup.constData(), image.record(channel) + setupOffset, 10) != 0)
        problems << QStringLiteral("%1: the image's ADC setup is not the channel's adc_setup").arg(name);
    // A code the catalogue does not name is trusted only where the file gives it as a number.
    const bool keptNumber = file.sensorByNumber[std::size_t(channel)] && sensor == choice.sensorCode;
    if (sensor >= sensorTypeCount && !keptNumber)
        problems << QStringLiteral("%1: sensor code %2 is not one the module could hold").arg(name).arg(sensor);
    if (!connectionDefined(connection))
        problems << QStringLiteral("%1: connection code %2 is not one the module could hold (0, 2, 3, 4 or 5)")
                        .arg(name)
                        .arg(connection);
}

} // namespace

bool buildWrittenImage(const ConfigurationImage &module, const ConfigFile &file, ConfigurationImage &written,
                       QStringList &notes, QString &error)
{
    // The window's Store over a copy: the source of the changed channels' setup bytes.
    ConfigurationImage stored = module;
    applyChannelChoices(stored, file.choices, file.addressSwitchZeroLeft);
    written = module;
    written.bytes[RegisterMap::addressSwitchByte] = stored.bytes[RegisterMap::addressSwitchByte];
    for (int channel = 0; channel < RegisterMap::channelCount; ++channel) {
        const ChannelChoice &choice = file.choices[std::size_t(channel)];
        if (module.connectionCode(channel) == choice.connectionCode && module.sensorCode(channel) == choice.sensorCode)
            continue;
        const QString why = unbuildable(choice);
        if (!why.isEmpty()) {
            error = channelName(channel) + QStringLiteral(": ") + why;
            return false;
        }
        quint8 *record = written.record(channel);
        std::copy(stored.record(channel) + setupOffset, stored.record(channel) + setupEnd, record + setupOffset);
        record[0] = choice.connectionCode;
        record[1] = choice.sensorCode;
        if (stored.connectionCode(channel) != choice.connectionCode)
            notes << QStringLiteral("%1: the window stores %2 with %3; the file's %4 is written")
                         .arg(channelName(channel), sensorText(choice.sensorCode),
                              connectionText(stored.connectionCode(channel)), connectionText(choice.connectionCode));
    }
    return true;
}

QStringList restoreImageProblems(const ConfigFile &file, const QString &busAddressText)
{
    const ConfigurationImage &image = *file.image;
    QStringList problems;
    if (std::all_of(image.bytes.begin(), image.bytes.end(), [](quint8 byte) { return byte == 0xFF; }))
        problems << QStringLiteral("image: every byte is FF, as in an erased or unread block");
    if (file.module.compare(busAddressText, Qt::CaseInsensitive) != 0)
        problems << (file.module.isEmpty()
                         ? QStringLiteral("module: missing, so the image may be another module's")
                         : QStringLiteral("module: the file is module %1's, not %2's").arg(file.module, busAddressText));
    for (int channel = 0; channel < RegisterMap::channelCount; ++channel)
        checkChannel(file, image, channel, problems);
    if (image.addressSwitchZeroLeft() != file.addressSwitchZeroLeft)
        problems << QStringLiteral("address_switch_zero_left: the image says %1")
                        .arg(QLatin1String(image.addressSwitchZeroLeft() ? "true" : "false"));
    return problems;
}
