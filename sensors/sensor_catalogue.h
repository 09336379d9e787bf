#pragma once

#include <cstdint>

// Sensor code of a channel as the module stores it (one byte of the channel record).
enum SensorType : std::uint8_t {
    NO_SENSOR = 0,
    TC_R, TC_S, TC_B, TC_J, TC_T, TC_E, TC_K, TC_N, TC_A1, TC_A2, TC_A3, TC_L, TC_M,
    VOLTAGE,
    TR_50M, TR_100M, TR_50P, TR_100P, TR_50Pt, TR_100Pt, TR_500Pt, TR_1000Pt,
    TR_100N, TR_500N, TR_1000N,
    RESISTANCE,
};

constexpr unsigned sensorTypeCount = 27;

// Connection code of a channel; code 1 is not defined by the module.
enum ConnectionType : std::uint8_t {
    NO_CONNECTION = 0,
    RESISTIVE_2_WIRE = 2,
    RESISTIVE_3_WIRE = 3,
    RESISTIVE_4_WIRE = 4,
    VOLTAGE_INPUT = 5,
};

// Display names in code order, each table ended by a null entry.
extern const char *const sensorTypeNames[sensorTypeCount + 1];
// Only the three resistive connections are offered; combo index = code - 2.
extern const char *const connectionTypeNames[4];

// Name of every defined connection code (NO_CONNECTION ... VOLTAGE_INPUT); null for others.
const char *connectionCodeName(unsigned code);

// The temperature range (degC) of a thermocouple or resistance thermometer type; false for
// NO_SENSOR, VOLTAGE, RESISTANCE and unknown codes, which have none.
bool sensorTemperatureRange(unsigned code, float &low, float &high);

// Gain exponent of the module's input amplifier per sensor code (gain = 2^code).
extern const std::uint8_t sensorGainCode[sensorTypeCount];

// Thermocouples and VOLTAGE (codes 1..14).
bool isVoltageInputSensor(unsigned code);
// Resistance thermometers and RESISTANCE (codes 15..26).
bool isResistiveSensor(unsigned code);
