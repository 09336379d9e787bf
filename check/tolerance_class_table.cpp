// Tolerance classes as IEC 60584-1 (thermocouples) and IEC 60751 (platinum resistance
// thermometers, wire-wound elements) publish them. Each span: {from, to, fixed, slope,
// origin}, tolerance = fixed + slope * |t - origin| degC. Where the standards write "the
// greater of a or b*|t|", the spans split at the temperature where both are equal.
#include "tolerance_classes.h"

namespace {
constexpr const char *tc = "IEC 60584-1";
constexpr const char *rtd = "IEC 60751";
} // namespace

const ToleranceClassEntry toleranceClassTable[] = {
    // Type K (NiCr-NiAl) and type N (NiCrSi-NiSi)
    {"K", "1", tc, 2, {{-40, 375, 1.5, 0, 0}, {375, 1000, 0, 0.004, 0}}},
    {"K", "2", tc, 2, {{-40, 333, 2.5, 0, 0}, {333, 1200, 0, 0.0075, 0}}},
    {"K", "3", tc, 2, {{-167, 40, 2.5, 0, 0}, {-200, -167, 0, 0.015, 0}}},
    {"N", "1", tc, 2, {{-40, 375, 1.5, 0, 0}, {375, 1000, 0, 0.004, 0}}},
    {"N", "2", tc, 2, {{-40, 333, 2.5, 0, 0}, {333, 1200, 0, 0.0075, 0}}},
    {"N", "3", tc, 2, {{-167, 40, 2.5, 0, 0}, {-200, -167, 0, 0.015, 0}}},
    // Type J (Fe-CuNi): no class 3
    {"J", "1", tc, 2, {{-40, 375, 1.5, 0, 0}, {375, 750, 0, 0.004, 0}}},
    {"J", "2", tc, 2, {{-40, 333, 2.5, 0, 0}, {333, 750, 0, 0.0075, 0}}},
    // Type T (Cu-CuNi)
    {"T", "1", tc, 2, {{-40, 125, 0.5, 0, 0}, {125, 350, 0, 0.004, 0}}},
    {"T", "2", tc, 2, {{-40, 133, 1.0, 0, 0}, {133, 350, 0, 0.0075, 0}}},
    {"T", "3", tc, 2, {{-67, 40, 1.0, 0, 0}, {-200, -67, 0, 0.015, 0}}},
    // Type E (NiCr-CuNi)
    {"E", "1", tc, 2, {{-40, 375, 1.5, 0, 0}, {375, 800, 0, 0.004, 0}}},
    {"E", "2", tc, 2, {{-40, 333, 2.5, 0, 0}, {333, 900, 0, 0.0075, 0}}},
    {"E", "3", tc, 2, {{-167, 40, 2.5, 0, 0}, {-200, -167, 0, 0.015, 0}}},
    // Types R and S (PtRh-Pt): no class 3; class 1 grows by 0.003 per degC above 1100
    {"R", "1", tc, 2, {{0, 1100, 1.0, 0, 0}, {1100, 1600, 1.0, 0.003, 1100}}},
    {"R", "2", tc, 2, {{0, 600, 1.5, 0, 0}, {600, 1600, 0, 0.0025, 0}}},
    {"S", "1", tc, 2, {{0, 1100, 1.0, 0, 0}, {1100, 1600, 1.0, 0.003, 1100}}},
    {"S", "2", tc, 2, {{0, 600, 1.5, 0, 0}, {600, 1600, 0, 0.0025, 0}}},
    // Type B (PtRh30-PtRh6): no class 1
    {"B", "2", tc, 1, {{600, 1700, 0, 0.0025, 0}}},
    {"B", "3", tc, 2, {{600, 800, 4.0, 0, 0}, {800, 1700, 0, 0.005, 0}}},
    // Platinum, alpha 0.00385, wire-wound
    {"Pt", "AA", rtd, 1, {{-50, 250, 0.1, 0.0017, 0}}},
    {"Pt", "A", rtd, 1, {{-100, 450, 0.15, 0.002, 0}}},
    {"Pt", "B", rtd, 1, {{-196, 600, 0.3, 0.005, 0}}},
    {"Pt", "C", rtd, 1, {{-196, 600, 0.6, 0.01, 0}}},
};

const std::size_t toleranceClassTableSize = sizeof toleranceClassTable / sizeof toleranceClassTable[0];
