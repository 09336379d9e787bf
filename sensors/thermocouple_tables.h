#pragma once

#include "piecewise_polynomial.h"

// Type K reference function above 0 degC: a0 * exp(a1 * (t - a2)^2).
float typeKExponentialTerm(float t);

// Two characteristics per thermocouple type: temperature (degC) to EMF (mV) and back.
extern const PiecewisePolynomial typeRTemperatureToEmf, typeREmfToTemperature;
extern const PiecewisePolynomial typeSTemperatureToEmf, typeSEmfToTemperature;
extern const PiecewisePolynomial typeBTemperatureToEmf, typeBEmfToTemperature;
extern const PiecewisePolynomial typeJTemperatureToEmf, typeJEmfToTemperature;
extern const PiecewisePolynomial typeTTemperatureToEmf, typeTEmfToTemperature;
extern const PiecewisePolynomial typeETemperatureToEmf, typeEEmfToTemperature;
extern const PiecewisePolynomial typeKTemperatureToEmf, typeKEmfToTemperature;
extern const PiecewisePolynomial typeNTemperatureToEmf, typeNEmfToTemperature;
extern const PiecewisePolynomial typeA1TemperatureToEmf, typeA1EmfToTemperature;
extern const PiecewisePolynomial typeA2TemperatureToEmf, typeA2EmfToTemperature;
extern const PiecewisePolynomial typeA3TemperatureToEmf, typeA3EmfToTemperature;
extern const PiecewisePolynomial typeLTemperatureToEmf, typeLEmfToTemperature;
extern const PiecewisePolynomial typeMTemperatureToEmf, typeMEmfToTemperature;
