#pragma once

// One point of a loop check: a channel, the temperature the calibrator is set to, and how
// far the reading may be from it.

#include <QString>

#include <optional>

struct CheckPoint {
    int entry = 1;    // 1-based, as the plan lists it
    int selector = 0; // address switch 0..F
    int channel = 1;  // 1..4
    double expected = 0; // degC
    std::optional<double> tolerance; // degC, as given
    QString className;               // a tolerance class instead ("2", "AA")
    QString note;
};

// Empty when the point can be checked on some sensor; otherwise why it cannot be right
// (channel, temperature, tolerance or class).
QString pointProblem(const CheckPoint &point);
