#include "register_map.h"

#include "sensor_catalogue.h"

#include <cstring>

static_assert(Q_BYTE_ORDER == Q_LITTLE_ENDIAN,
              "register byte images are read as native words and floats");

template <std::size_t Registers>
float RegisterImage<Registers>::floatAt(std::size_t offset) const
{
    float value;
    std::memcpy(&value, bytes.data() + offset, sizeof value);
    return value;
}

template struct RegisterImage<RegisterMap::referenceTemperaturesCount>;
template struct RegisterImage<RegisterMap::measurementCount>;
template struct RegisterImage<RegisterMap::configurationCount>;

namespace {

// Offsets inside a channel record.
constexpr int auxSetupOffset = 2;
constexpr int mainSetupOffset = 7;
constexpr int setupEnd = 12;

void setSetupGroup(quint8 *record, int offset, quint8 b0, quint8 b1, quint8 b2, quint8 b3, quint8 b4)
{
    const quint8 group[5] = {b0, b1, b2, b3, b4};
    std::memcpy(record + offset, group, sizeof group);
}

void applyChoice(quint8 *record, const ChannelChoice &choice)
{
    const unsigned sensor = choice.sensorCode;
    // A sensor this program does not know (newer firmware, say) keeps its whole setup.
    if (sensor >= sensorTypeCount)
        return;
    std::memset(record + auxSetupOffset, 0, setupEnd - auxSetupOffset);
    const quint8 gain = sensor < sensorTypeCount ? sensorGainCode[sensor] & 0x07 : 0;
    if (isVoltageInputSensor(sensor)) {
        record[0] = VOLTAGE_INPUT;
        record[1] = choice.sensorCode;
        setSetupGroup(record, mainSetupOffset, 0x07, 0x00, 0x91, quint8(0x28 | gain), 0x03);
    } else if (isResistiveSensor(sensor)) {
        record[0] = choice.connectionCode;
        record[1] = choice.sensorCode;
        const quint8 connection = choice.connectionCode;
        if (connection == RESISTIVE_3_WIRE)
            setSetupGroup(record, auxSetupOffset, 0x07, 0x00, 0x10, 0x14, 0x02);
        if (connection >= RESISTIVE_2_WIRE && connection <= RESISTIVE_4_WIRE)
            setSetupGroup(record, mainSetupOffset, 0x07, 0x00, 0x11, quint8(0x10 | gain), 0x02);
    } else {
        record[0] = NO_CONNECTION;
        record[1] = NO_SENSOR;
    }
}

} // namespace

int channelWithoutConnection(const std::array<ChannelChoice, 4> &choices)
{
    for (int channel = 0; channel < RegisterMap::channelCount; ++channel) {
        const ChannelChoice &choice = choices[channel];
        if (isResistiveSensor(choice.sensorCode)
            && (choice.connectionCode < RESISTIVE_2_WIRE || choice.connectionCode > RESISTIVE_4_WIRE))
            return channel;
    }
    return -1;
}

void applyChannelChoices(ConfigurationImage &image, const std::array<ChannelChoice, 4> &choices,
                         bool addressSwitchZeroLeft)
{
    quint8 &flags = image.bytes[RegisterMap::addressSwitchByte];
    flags = quint8((flags & ~1u) | (addressSwitchZeroLeft ? 1u : 0u));
    for (int channel = 0; channel < RegisterMap::channelCount; ++channel)
        applyChoice(image.record(channel), choices[channel]);
}
