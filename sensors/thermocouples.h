#pragma once

// One function per thermocouple type and direction: temperature (degC) to EMF (mV) with
// the reference junction at 0 degC, and EMF back to temperature. Arguments outside a
// type's range are extrapolated, not rejected.
float temperatureToEmfR(float t);
float temperatureToEmfS(float t);
float temperatureToEmfB(float t);
float temperatureToEmfJ(float t);
float temperatureToEmfT(float t);
float temperatureToEmfE(float t);
float temperatureToEmfK(float t);
float temperatureToEmfN(float t);
float temperatureToEmfA1(float t);
float temperatureToEmfA2(float t);
float temperatureToEmfA3(float t);
float temperatureToEmfL(float t);
float temperatureToEmfM(float t);

float emfToTemperatureR(float e);
float emfToTemperatureS(float e);
float emfToTemperatureB(float e);
float emfToTemperatureJ(float e);
float emfToTemperatureT(float e);
float emfToTemperatureE(float e);
float emfToTemperatureK(float e);
float emfToTemperatureN(float e);
float emfToTemperatureA1(float e);
float emfToTemperatureA2(float e);
float emfToTemperatureA3(float e);
float emfToTemperatureL(float e);
float emfToTemperatureM(float e);
