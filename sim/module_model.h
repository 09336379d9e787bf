#pragma once

// The simulated module's register bank: the stored configuration block and live values
// computed from each channel's simulated temperature and its stored sensor.

#include <cstdint>
#include <random>
#include <set>
#include <vector>

struct ChannelSetup {
    unsigned sensorCode = 0;
    unsigned connectionCode = 0;
    // degC for sensors with a characteristic; mV for VOLTAGE, ohm for RESISTANCE.
    double value = 25.0;
};

class ModuleModel
{
public:
    static constexpr int configurationAddress = 0x8000;
    static constexpr int configurationCount = 601;
    static constexpr int registerCount = configurationAddress + configurationCount;

    ModuleModel();

    // Fills the bytes the front end does not interpret with a pattern, so that a store
    // that fails to preserve them shows up.
    void seedUninterpretedBytes();
    // Writes a channel's codes and the ADC gain field into the configuration block.
    void configureChannel(int channel, const ChannelSetup &setup);
    void setChannelValue(int channel, double value) { values_[channel] = value; }
    void setReferenceTemperatures(double xt1xt2, double xt3xt4);
    void setNoise(double amplitude) { noise_ = amplitude; }

    // Recomputes every live register that is not pinned.
    void refreshLiveValues();

    // Registers pinned to a value keep it until unpinned (hostile data for tests).
    void poke(int address, std::uint16_t value);
    void unpinAll() { pinned_.clear(); }

    std::uint16_t *registers() { return registers_; }
    void attach(std::uint16_t *registers) { registers_ = registers; }

private:
    std::uint8_t configByte(int offset) const;
    void setConfigByte(int offset, std::uint8_t value);
    void setRegister(int address, std::uint16_t value);
    void setFloat(int address, float value);
    void refreshChannel(int channel);

    std::uint16_t *registers_ = nullptr;
    double values_[4] = {25.0, 25.0, 25.0, 25.0};
    double reference_[2] = {24.5, 25.5};
    double noise_ = 0.0;
    std::set<int> pinned_;
    std::mt19937 random_{12345};
};
