#pragma once

// Tolerance classes of thermocouples (IEC 60584-1) and platinum resistance thermometers
// (IEC 60751, wire-wound elements): how far a sensor of a class may read from the true
// temperature. Plain C++, no Qt.

#include <cstddef>
#include <string>

// One temperature span of a class, as the standards give it: inside [from, to] degC the
// tolerance is fixed + slope * |t - origin| degC.
struct ToleranceSpan {
    double from, to;
    double fixed, slope, origin;
};

// A class of a family of sensors: "K" thermocouples, "Pt" (platinum, alpha 0.00385).
struct ToleranceClassEntry {
    const char *family;
    const char *name; // "1", "2", "3", "AA", "A", "B", "C"
    const char *standard;
    std::size_t spanCount;
    ToleranceSpan spans[2];
};

// The table, in tolerance_class_table.cpp.
extern const ToleranceClassEntry toleranceClassTable[];
extern const std::size_t toleranceClassTableSize;

// The family of a module sensor code whose tolerance classes the table holds: "K" for
// TC_K, "Pt" for TR_50Pt..TR_1000Pt; empty for every other sensor.
std::string toleranceFamily(unsigned sensorCode);

// "1", "aa" -> "AA"; empty when no standard here has a class of that name.
std::string normalClassName(const std::string &name);

struct ClassTolerance {
    bool ok = false;
    double tolerance = 0; // degC, when ok
    std::string standard; // "IEC 60584-1", when ok
    std::string reason;   // why not, when not ok
};

// The tolerance of class `className` for the sensor `sensorCode` at `t` degC, or why there
// is none: the sensor has no such class, or t is outside the class's range.
ClassTolerance classTolerance(unsigned sensorCode, const std::string &className, double t);

// Empty when some sensor has class `className` with t inside its range; otherwise why no
// sensor can be checked against it there.
std::string classProblem(const std::string &className, double t);
