#pragma once

// The module's holding-register blocks and their byte images. Register i of a block sits
// at image bytes 2i (bits 0-7) and 2i+1 (bits 8-15); wider fields are little-endian inside
// the image, so a float has its low half in the lower-addressed register.

#include <QtGlobal>

#include <array>
#include <cstddef>

namespace RegisterMap {

// Modbus per-request maxima: Read Holding Registers and Write Multiple Registers.
constexpr quint16 maxReadCount = 125;
constexpr quint16 maxWriteCount = 123;

constexpr int channelCount = 4;

constexpr quint16 referenceTemperaturesAddress = 0x2000;
constexpr quint16 referenceTemperaturesCount = 4;

constexpr quint16 measurementAddress(int channel) { return quint16(0x0000 + 0x10 * channel); }
constexpr quint16 measurementCount = 5;

constexpr quint16 adcStateAddress(int channel) { return quint16(0x0100 + 0x10 * channel); }
constexpr quint16 adcStateCount = 4;

constexpr quint16 configurationAddress = 0x8000;
constexpr quint16 configurationCount = 601;

constexpr std::size_t channelRecordSize = 300;
constexpr std::size_t addressSwitchByte = 1200;

} // namespace RegisterMap

// A byte image of `Registers` module registers.
template <std::size_t Registers>
struct RegisterImage {
    alignas(2) std::array<quint8, 2 * Registers> bytes{};

    quint16 *words() { return reinterpret_cast<quint16 *>(bytes.data()); }
    const quint16 *words() const { return reinterpret_cast<const quint16 *>(bytes.data()); }
    quint16 registerValue(std::size_t i) const { return quint16(bytes[2 * i] | bytes[2 * i + 1] << 8); }
    void setRegisterValue(std::size_t i, quint16 value)
    {
        bytes[2 * i] = quint8(value);
        bytes[2 * i + 1] = quint8(value >> 8);
    }
    float floatAt(std::size_t offset) const;
};

// The two on-board temperatures (degC), cold-junction references of channels 1-2 and 3-4.
struct ReferenceTemperatures : RegisterImage<RegisterMap::referenceTemperaturesCount> {
    float xt1xt2Temperature() const { return floatAt(0); }
    float xt3xt4Temperature() const { return floatAt(4); }
};

// A channel's live measurement.
struct MeasurementRecord : RegisterImage<RegisterMap::measurementCount> {
    // mV for thermocouples and VOLTAGE, ohm for resistive sensors.
    float physicValue() const { return floatAt(0); }
    quint8 sensorCode() const { return bytes[4]; }
    quint16 adcCodeU16() const { return registerValue(3); }
    qint16 adcCodeS16() const { return qint16(registerValue(4)); }
};

// A channel's ADC state; only image byte 3 carries fields.
struct AdcState : RegisterImage<RegisterMap::adcStateCount> {
    int gainExponent() const { return bytes[3] & 0x07; }
    bool unsignedCodeFlag() const { return (bytes[3] >> 4) & 1; }
    int gain() const { return 1 << gainExponent(); }
    int adcCode(const MeasurementRecord &record) const
    {
        return unsignedCodeFlag() ? int(record.adcCodeU16()) : int(record.adcCodeS16());
    }
};

// What the window hands to a store for one channel.
struct ChannelChoice {
    quint8 connectionCode = 0;
    quint8 sensorCode = 0;
};

// The 601-register configuration block: four 300-byte channel records, then the
// address-switch flag in bit 0 of byte 1200.
struct ConfigurationImage : RegisterImage<RegisterMap::configurationCount> {
    quint8 *record(int channel) { return bytes.data() + RegisterMap::channelRecordSize * channel; }
    const quint8 *record(int channel) const { return bytes.data() + RegisterMap::channelRecordSize * channel; }
    quint8 connectionCode(int channel) const { return record(channel)[0]; }
    quint8 sensorCode(int channel) const { return record(channel)[1]; }
    bool addressSwitchZeroLeft() const { return bytes[RegisterMap::addressSwitchByte] & 1; }
};

// The first channel (0..3) whose resistive sensor has no 2-, 3- or 4-wire connection, as
// a connection combo left blank gives; such a choice would be stored without ADC setup.
// -1 when every choice can be stored.
int channelWithoutConnection(const std::array<ChannelChoice, 4> &choices);

// Rewrites the four channel records (codes and ADC setup bytes 2-11) and the
// address-switch bit from the window's choices; every other byte keeps its value, and a
// channel whose sensor code is not in the catalogue keeps bytes 0-11 as they were.
void applyChannelChoices(ConfigurationImage &image, const std::array<ChannelChoice, 4> &choices,
                         bool addressSwitchZeroLeft);
