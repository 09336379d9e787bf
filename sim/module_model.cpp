#include "module_model.h"
#include "rtd_forward.h"

#include "sensor_catalogue.h"
#include "temperature_routing.h"

#include <algorithm>
#include <cstring>

namespace {

constexpr int recordSize = 300;
constexpr int referenceAddress = 0x2000;
constexpr int gainFieldOffset = 10; // main ADC setup group, byte +3, bits 0-2

int measurementAddress(int channel) { return 0x10 * channel; }
int adcStateAddress(int channel) { return 0x100 + 0x10 * channel; }

// Resistance of a resistance thermometer at a temperature, from the family's forward
// characteristic, never from the front end's inverse one.
double resistanceAt(unsigned code, double temperature)
{
    RtdFamily family;
    double r0;
    return rtdOfSensorCode(code, family, r0) ? rtdResistance(family, r0, temperature) : 0.0;
}

} // namespace

ModuleModel::ModuleModel() = default;

std::uint8_t ModuleModel::configByte(int offset) const
{
    const std::uint16_t word = registers_[configurationAddress + offset / 2];
    return offset % 2 ? std::uint8_t(word >> 8) : std::uint8_t(word);
}

void ModuleModel::setConfigByte(int offset, std::uint8_t value)
{
    std::uint16_t &word = registers_[configurationAddress + offset / 2];
    word = offset % 2 ? std::uint16_t((word & 0x00FF) | value << 8) : std::uint16_t((word & 0xFF00) | value);
}

void ModuleModel::configureChannel(int channel, const ChannelSetup &setup)
{
    const int base = recordSize * channel;
    setConfigByte(base + 0, std::uint8_t(setup.connectionCode));
    setConfigByte(base + 1, std::uint8_t(setup.sensorCode));
    const std::uint8_t gain = setup.sensorCode < sensorTypeCount ? sensorGainCode[setup.sensorCode] : 0;
    const bool voltageInput = isVoltageInputSensor(setup.sensorCode);
    setConfigByte(base + gainFieldOffset, std::uint8_t((voltageInput ? 0x28 : 0x10) | gain));
    values_[channel] = setup.value;
}

void ModuleModel::seedUninterpretedBytes()
{
    for (int channel = 0; channel < 4; ++channel) {
        for (int offset = 12; offset < recordSize; ++offset)
            setConfigByte(recordSize * channel + offset, std::uint8_t(offset * 7 + channel * 31));
    }
    setConfigByte(4 * recordSize, 0xA4);     // flag byte: bit 0 clear, others set
    setConfigByte(4 * recordSize + 1, 0x5A);
}

void ModuleModel::setReferenceTemperatures(double xt1xt2, double xt3xt4)
{
    reference_[0] = xt1xt2;
    reference_[1] = xt3xt4;
}

void ModuleModel::poke(int address, std::uint16_t value)
{
    registers_[address] = value;
    pinned_.insert(address);
}

void ModuleModel::setRegister(int address, std::uint16_t value)
{
    if (!pinned_.count(address))
        registers_[address] = value;
}

// Low half of the float in the lower-addressed register.
void ModuleModel::setFloat(int address, float value)
{
    std::uint32_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    setRegister(address, std::uint16_t(bits));
    setRegister(address + 1, std::uint16_t(bits >> 16));
}

void ModuleModel::refreshLiveValues()
{
    std::uniform_real_distribution<double> jitter(-1.0, 1.0);
    setFloat(referenceAddress, float(reference_[0] + noise_ * jitter(random_)));
    setFloat(referenceAddress + 2, float(reference_[1] + noise_ * jitter(random_)));
    for (int channel = 0; channel < 4; ++channel)
        refreshChannel(channel);
}

void ModuleModel::refreshChannel(int channel)
{
    const unsigned sensor = configByte(recordSize * channel + 1);
    const int gainExponent = configByte(recordSize * channel + gainFieldOffset) & 0x07;
    std::uniform_real_distribution<double> jitter(-1.0, 1.0);
    const double value = values_[channel] + noise_ * jitter(random_);

    double measured = 0.0; // mV or ohm, as the module reports it
    if (isVoltageInputSensor(sensor) && sensor != VOLTAGE) {
        // The junction at the terminals sits at the on-board temperature.
        const double coldJunction = reference_[channel < 2 ? 0 : 1];
        measured = temperatureToEmf(sensor, float(value)) - temperatureToEmf(sensor, float(coldJunction));
    } else if (sensor == VOLTAGE || sensor == RESISTANCE) {
        measured = value;
    } else if (isResistiveSensor(sensor)) {
        measured = resistanceAt(sensor, value);
    }

    // A 16-bit converter over +-2.5 V after the amplifier; resistances are measured with a
    // 0.1 mA excitation current and read as unsigned codes.
    const bool unsignedCode = isResistiveSensor(sensor);
    const double millivolts = unsignedCode ? measured * 0.1 : measured;
    const double scaled = millivolts * (1 << gainExponent) / 2500.0;
    const int code = unsignedCode ? int(std::clamp(scaled * 65535.0, 0.0, 65535.0))
                                  : int(std::clamp(scaled * 32767.0, -32768.0, 32767.0));

    const int address = measurementAddress(channel);
    setFloat(address, float(measured));
    setRegister(address + 2, std::uint16_t(0xEE00 | sensor));
    setRegister(address + 3, std::uint16_t(code));
    setRegister(address + 4, std::uint16_t(std::int16_t(code)));

    const int adc = adcStateAddress(channel);
    setRegister(adc, 0x1234);
    // High byte: gain exponent in bits 0-2, unsigned-code flag in bit 4, bit 7 busy-ish noise.
    setRegister(adc + 1, std::uint16_t((0x80 | (unsignedCode ? 0x10 : 0) | gainExponent) << 8 | 0x56));
    setRegister(adc + 2, 0);
    setRegister(adc + 3, 0);
}
