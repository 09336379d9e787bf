#pragma once

// Resistance of the module's resistance thermometers at a temperature, from the standard
// characteristics of each family. Kept apart from the front end's own conversions (which
// go the other way, resistance to temperature), so that a test served by the simulator
// checks those conversions instead of agreeing with them.

enum class RtdFamily {
    Copper428,    // alpha = 0.00428
    Platinum391,  // alpha = 0.00391
    Platinum385,  // alpha = 0.00385
    Nickel617,    // alpha = 0.00617
};

// Resistance in ohm at `temperature` degC of a thermometer of `family` with resistance
// `r0` ohm at 0 degC; never negative.
double rtdResistance(RtdFamily family, double r0, double temperature);

// Family and nominal resistance of a resistance thermometer by the sensor code the module
// stores; false for codes that are not resistance thermometers.
bool rtdOfSensorCode(unsigned code, RtdFamily &family, double &r0);
