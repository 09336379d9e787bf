#include "config_changes.h"

#include "sensor_catalogue.h"

#include <functional>
#include <numeric>

namespace {

constexpr int auxSetupOffset = 2, mainSetupOffset = 7, setupSize = 5, interpretedSize = 12;

QString hexBytes(const quint8 *bytes, int count)
{
    return QString::fromLatin1(QByteArray(reinterpret_cast<const char *>(bytes), count).toHex(' ').toUpper());
}

int countDiffering(const quint8 *a, const quint8 *b, int count)
{
    return std::inner_product(a, a + count, b, 0, std::plus<>(), std::not_equal_to<>());
}

QString switchText(bool zeroLeft)
{
    return QLatin1String(zeroLeft ? "0 on the left" : "0 on the top");
}

void describeChannel(int channel, const quint8 *from, const quint8 *to, QStringList &lines)
{
    const QString name = QStringLiteral("channel %1").arg(channel + 1);
    if (from[1] != to[1])
        lines << QStringLiteral("%1 sensor: %2 -> %3").arg(name, sensorText(from[1]), sensorText(to[1]));
    if (from[0] != to[0])
        lines << QStringLiteral("%1 connection: %2 -> %3").arg(name, connectionText(from[0]), connectionText(to[0]));
    const struct {
        const char *label;
        int offset;
    } groups[] = {{"auxSetup (bytes 2-6)", auxSetupOffset}, {"mainSetup (bytes 7-11)", mainSetupOffset}};
    for (const auto &group : groups) {
        if (countDiffering(from + group.offset, to + group.offset, setupSize))
            lines << QStringLiteral("%1 %2: %3 -> %4")
                         .arg(name, QLatin1String(group.label), hexBytes(from + group.offset, setupSize),
                              hexBytes(to + group.offset, setupSize));
    }
    const int rest = countDiffering(from + interpretedSize, to + interpretedSize,
                                    int(RegisterMap::channelRecordSize) - interpretedSize);
    if (rest)
        lines << QStringLiteral("%1 bytes 12-299 (not interpreted): %2 bytes change").arg(name).arg(rest);
}

} // namespace

QString sensorText(unsigned code)
{
    return code < sensorTypeCount ? QString::fromLatin1(sensorTypeNames[code]) : QString::number(code);
}

QString connectionText(unsigned code)
{
    const char *name = connectionCodeName(code);
    return name ? QString::fromLatin1(name) : QString::number(code);
}

QStringList describeChanges(const ConfigurationImage &from, const ConfigurationImage &to)
{
    QStringList lines;
    for (int channel = 0; channel < RegisterMap::channelCount; ++channel)
        describeChannel(channel, from.record(channel), to.record(channel), lines);
    if (from.addressSwitchZeroLeft() != to.addressSwitchZeroLeft())
        lines << QStringLiteral("address switch: %1 -> %2")
                     .arg(switchText(from.addressSwitchZeroLeft()), switchText(to.addressSwitchZeroLeft()));
    const std::size_t flags = RegisterMap::addressSwitchByte;
    if ((from.bytes[flags] ^ to.bytes[flags]) & 0xFE)
        lines << QStringLiteral("byte 1200 bits 1-7: %1 -> %2").arg(hexBytes(&from.bytes[flags], 1), hexBytes(&to.bytes[flags], 1));
    if (from.bytes[flags + 1] != to.bytes[flags + 1])
        lines << QStringLiteral("byte 1201: %1 -> %2").arg(hexBytes(&from.bytes[flags + 1], 1), hexBytes(&to.bytes[flags + 1], 1));
    return lines;
}

int changedByteCount(const ConfigurationImage &from, const ConfigurationImage &to)
{
    return countDiffering(from.bytes.data(), to.bytes.data(), int(from.bytes.size()));
}
