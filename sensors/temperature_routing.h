#pragma once

// Temperature (degC) for a channel's measured value: EMF in mV for thermocouples,
// resistance in ohm for resistance thermometers; VOLTAGE and RESISTANCE pass the value
// through; NaN for NO_SENSOR and codes above 26.
float valueToTemperature(unsigned code, float value);

// Thermocouple EMF (mV) at a temperature, codes 1..13 only; NaN for every other code.
float temperatureToEmf(unsigned code, float temperature);

// The channel's displayed temperature: for thermocouples the EMF of the cold junction at
// coldJunctionTemperature is added to the measured EMF before converting back.
float compensatedTemperature(unsigned code, float measured, float coldJunctionTemperature);
