#include "sensor_catalogue.h"

const char *const sensorTypeNames[sensorTypeCount + 1] = {
    "NO_SENSOR",
    "TC_R", "TC_S", "TC_B", "TC_J", "TC_T", "TC_E", "TC_K", "TC_N", "TC_A1", "TC_A2", "TC_A3", "TC_L", "TC_M",
    "VOLTAGE",
    "TR_50M", "TR_100M", "TR_50P", "TR_100P", "TR_50Pt", "TR_100Pt", "TR_500Pt", "TR_1000Pt",
    "TR_100N", "TR_500N", "TR_1000N",
    "RESISTANCE",
    nullptr,
};

const char *const connectionTypeNames[4] = {
    "RESISTIVE_2_WIRE", "RESISTIVE_3_WIRE", "RESISTIVE_4_WIRE", nullptr,
};

const std::uint8_t sensorGainCode[sensorTypeCount] = {
    0, 5, 5, 6, 4, 5, 3, 4, 4, 5, 5, 5, 4, 7, 0, 3, 3, 3, 2, 3, 2, 1, 0, 3, 1, 0, 0,
};

// Unsigned wrap-around makes code 0 fall outside the range as well.
bool isVoltageInputSensor(unsigned code)
{
    return code - 1u <= 13u;
}

bool isResistiveSensor(unsigned code)
{
    return code - 15u <= 11u;
}

const char *connectionCodeName(unsigned code)
{
    switch (code) {
    case NO_CONNECTION: return "NO_CONNECTION";
    case RESISTIVE_2_WIRE: return "RESISTIVE_2_WIRE";
    case RESISTIVE_3_WIRE: return "RESISTIVE_3_WIRE";
    case RESISTIVE_4_WIRE: return "RESISTIVE_4_WIRE";
    case VOLTAGE_INPUT: return "VOLTAGE_INPUT";
    }
    return nullptr;
}

bool sensorTemperatureRange(unsigned code, float &low, float &high)
{
    // degC, the range over which each type is defined and sold.
    static const float ranges[sensorTypeCount][2] = {
        {0, 0},                                                           // NO_SENSOR
        {-50, 1768}, {-50, 1768}, {0, 1820}, {-210, 1200}, {-270, 400},   // R S B J T
        {-270, 1000}, {-270, 1372}, {-270, 1300},                          // E K N
        {0, 2500}, {0, 1800}, {0, 1800}, {-200, 800}, {-200, 100},         // A-1 A-2 A-3 L M
        {0, 0},                                                            // VOLTAGE
        {-180, 200}, {-180, 200},                                          // copper
        {-200, 850}, {-200, 850},                                          // platinum 0.00391
        {-200, 850}, {-200, 850}, {-200, 850}, {-200, 850},                // platinum 0.00385
        {-60, 180}, {-60, 180}, {-60, 180},                                // nickel
        {0, 0},                                                            // RESISTANCE
    };
    if (code >= sensorTypeCount || ranges[code][0] == ranges[code][1])
        return false;
    low = ranges[code][0];
    high = ranges[code][1];
    return true;
}
