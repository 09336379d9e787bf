#include "rtd_forward.h"

#include <algorithm>

namespace {

// Callendar-Van Dusen: W = 1 + A t + B t^2, plus C (t - 100) t^3 below 0 degC.
double platinumRatio(double a, double b, double c, double t)
{
    const double below = t < 0.0 ? c * (t - 100.0) * t * t * t : 0.0;
    return 1.0 + a * t + b * t * t + below;
}

// Linear from 0 degC upward; below it bends away from the line.
double copperRatio(double t)
{
    const double a = 4.28e-3, b = -6.2032e-7, c = 8.5154e-10;
    if (t >= 0.0)
        return 1.0 + a * t;
    return 1.0 + a * t + b * t * (t + 6.7) + c * t * t * t;
}

// The nickel characteristic gains its cubic term at 100 degC, not at 0 degC.
double nickelRatio(double t)
{
    const double a = 5.4963e-3, b = 6.7556e-6, c = 9.2004e-9;
    const double quadratic = 1.0 + a * t + b * t * t;
    return t < 100.0 ? quadratic : quadratic + c * (t - 100.0) * t * t;
}

struct RtdEntry {
    unsigned code;
    RtdFamily family;
    double r0;
};

// Sensor codes as the module stores them in a channel record.
const RtdEntry rtdEntries[] = {
    {15, RtdFamily::Copper428, 50.0},      // TR_50M
    {16, RtdFamily::Copper428, 100.0},     // TR_100M
    {17, RtdFamily::Platinum391, 50.0},    // TR_50P
    {18, RtdFamily::Platinum391, 100.0},   // TR_100P
    {19, RtdFamily::Platinum385, 50.0},    // TR_50Pt
    {20, RtdFamily::Platinum385, 100.0},   // TR_100Pt
    {21, RtdFamily::Platinum385, 500.0},   // TR_500Pt
    {22, RtdFamily::Platinum385, 1000.0},  // TR_1000Pt
    {23, RtdFamily::Nickel617, 100.0},     // TR_100N
    {24, RtdFamily::Nickel617, 500.0},     // TR_500N
    {25, RtdFamily::Nickel617, 1000.0},    // TR_1000N
};

} // namespace

double rtdResistance(RtdFamily family, double r0, double temperature)
{
    double ratio = 1.0;
    switch (family) {
    case RtdFamily::Copper428:
        ratio = copperRatio(temperature);
        break;
    case RtdFamily::Platinum391:
        ratio = platinumRatio(3.9690e-3, -5.841e-7, -4.330e-12, temperature);
        break;
    case RtdFamily::Platinum385:
        ratio = platinumRatio(3.9083e-3, -5.775e-7, -4.183e-12, temperature);
        break;
    case RtdFamily::Nickel617:
        ratio = nickelRatio(temperature);
        break;
    }
    // Far outside a family's range the polynomials can dip below zero; a wire cannot.
    return std::max(0.0, r0 * ratio);
}

bool rtdOfSensorCode(unsigned code, RtdFamily &family, double &r0)
{
    for (const RtdEntry &entry : rtdEntries) {
        if (entry.code == code) {
            family = entry.family;
            r0 = entry.r0;
            return true;
        }
    }
    return false;
}
