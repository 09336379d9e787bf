#include "temperature_routing.h"

#include "resistance_thermometers.h"
#include "sensor_catalogue.h"
#include "thermocouples.h"

#include <limits>

namespace {

using Conversion = float (*)(float);

float identity(float value) { return value; }

float tr50M(float r) { return copperTemperature(50.0f, r); }
float tr100M(float r) { return copperTemperature(100.0f, r); }
float tr50P(float r) { return platinum391Temperature(50.0f, r); }
float tr100P(float r) { return platinum391Temperature(100.0f, r); }
float tr50Pt(float r) { return platinum385Temperature(50.0f, r); }
float tr100Pt(float r) { return platinum385Temperature(100.0f, r); }
float tr500Pt(float r) { return platinum385Temperature(500.0f, r); }
float tr1000Pt(float r) { return platinum385Temperature(1000.0f, r); }
float tr100N(float r) { return nickelTemperature(100.0f, r); }
float tr500N(float r) { return nickelTemperature(500.0f, r); }
float tr1000N(float r) { return nickelTemperature(1000.0f, r); }

// Indexed by code - 1.
const Conversion valueConversions[26] = {
    emfToTemperatureR, emfToTemperatureS, emfToTemperatureB, emfToTemperatureJ,
    emfToTemperatureT, emfToTemperatureE, emfToTemperatureK, emfToTemperatureN,
    emfToTemperatureA1, emfToTemperatureA2, emfToTemperatureA3, emfToTemperatureL,
    emfToTemperatureM,
    identity, // VOLTAGE
    tr50M, tr100M, tr50P, tr100P, tr50Pt, tr100Pt, tr500Pt, tr1000Pt, tr100N, tr500N, tr1000N,
    identity, // RESISTANCE
};

const Conversion emfConversions[13] = {
    temperatureToEmfR, temperatureToEmfS, temperatureToEmfB, temperatureToEmfJ,
    temperatureToEmfT, temperatureToEmfE, temperatureToEmfK, temperatureToEmfN,
    temperatureToEmfA1, temperatureToEmfA2, temperatureToEmfA3, temperatureToEmfL,
    temperatureToEmfM,
};

} // namespace

float valueToTemperature(unsigned code, float value)
{
    if (code - 1u > 25u)
        return std::numeric_limits<float>::quiet_NaN();
    return valueConversions[code - 1u](value);
}

float temperatureToEmf(unsigned code, float temperature)
{
    if (code - 1u > 12u)
        return std::numeric_limits<float>::quiet_NaN();
    return emfConversions[code - 1u](temperature);
}

float compensatedTemperature(unsigned code, float measured, float coldJunctionTemperature)
{
    float coldJunctionEmf = 0.0f;
    if (isVoltageInputSensor(code) && code != VOLTAGE)
        coldJunctionEmf = temperatureToEmf(code, coldJunctionTemperature);
    return valueToTemperature(code, measured + coldJunctionEmf);
}
