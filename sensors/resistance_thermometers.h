#pragma once

// Inverse characteristics of the resistance thermometer families: r0 is the nominal
// resistance at 0 degC, r the measured resistance (ohm); result in degC, NaN where the
// characteristic has no real solution or an argument is NaN.
float copperTemperature(float r0, float r);       // alpha = 0.00428
float platinum391Temperature(float r0, float r);  // alpha = 0.00391
float platinum385Temperature(float r0, float r);  // alpha = 0.00385
float nickelTemperature(float r0, float r);       // alpha = 0.00617
