#include "thermocouples.h"

#include "thermocouple_tables.h"

#include <cmath>

float typeKExponentialTerm(float t)
{
    const float d = t - 126.9686f;
    const float dSquared = d * d;
    const double exponent = static_cast<double>(-0.0001183432f) * dSquared;
    // e rounded to float as the base, as the reference evaluation does.
    const float p = static_cast<float>(std::pow(static_cast<double>(2.7182817f), exponent));
    return 0.1185976f * p;
}

float temperatureToEmfR(float t) { return evaluatePiecewise(&typeRTemperatureToEmf, t); }
float temperatureToEmfS(float t) { return evaluatePiecewise(&typeSTemperatureToEmf, t); }
float temperatureToEmfB(float t) { return evaluatePiecewise(&typeBTemperatureToEmf, t); }
float temperatureToEmfJ(float t) { return evaluatePiecewise(&typeJTemperatureToEmf, t); }
float temperatureToEmfT(float t) { return evaluatePiecewise(&typeTTemperatureToEmf, t); }
float temperatureToEmfE(float t) { return evaluatePiecewise(&typeETemperatureToEmf, t); }
float temperatureToEmfK(float t) { return evaluatePiecewise(&typeKTemperatureToEmf, t); }
float temperatureToEmfN(float t) { return evaluatePiecewise(&typeNTemperatureToEmf, t); }
float temperatureToEmfA1(float t) { return evaluatePiecewise(&typeA1TemperatureToEmf, t); }
float temperatureToEmfA2(float t) { return evaluatePiecewise(&typeA2TemperatureToEmf, t); }
float temperatureToEmfA3(float t) { return evaluatePiecewise(&typeA3TemperatureToEmf, t); }
float temperatureToEmfL(float t) { return evaluatePiecewise(&typeLTemperatureToEmf, t); }
float temperatureToEmfM(float t) { return evaluatePiecewise(&typeMTemperatureToEmf, t); }

float emfToTemperatureR(float e) { return evaluatePiecewise(&typeREmfToTemperature, e); }
float emfToTemperatureS(float e) { return evaluatePiecewise(&typeSEmfToTemperature, e); }
float emfToTemperatureB(float e) { return evaluatePiecewise(&typeBEmfToTemperature, e); }
float emfToTemperatureJ(float e) { return evaluatePiecewise(&typeJEmfToTemperature, e); }
float emfToTemperatureT(float e) { return evaluatePiecewise(&typeTEmfToTemperature, e); }
float emfToTemperatureE(float e) { return evaluatePiecewise(&typeEEmfToTemperature, e); }
float emfToTemperatureK(float e) { return evaluatePiecewise(&typeKEmfToTemperature, e); }
float emfToTemperatureN(float e) { return evaluatePiecewise(&typeNEmfToTemperature, e); }
float emfToTemperatureA1(float e) { return evaluatePiecewise(&typeA1EmfToTemperature, e); }
float emfToTemperatureA2(float e) { return evaluatePiecewise(&typeA2EmfToTemperature, e); }
float emfToTemperatureA3(float e) { return evaluatePiecewise(&typeA3EmfToTemperature, e); }
float emfToTemperatureL(float e) { return evaluatePiecewise(&typeLEmfToTemperature, e); }
float emfToTemperatureM(float e) { return evaluatePiecewise(&typeMEmfToTemperature, e); }
