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
