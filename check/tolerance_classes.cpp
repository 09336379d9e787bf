#include "tolerance_classes.h"

#include "sensor_catalogue.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

namespace {

const ToleranceClassEntry *findEntry(const std::string &family, const std::string &name)
{
    for (std::size_t i = 0; i < toleranceClassTableSize; ++i) {
        const ToleranceClassEntry &entry = toleranceClassTable[i];
        if (family == entry.family && name == entry.name)
            return &entry;
    }
    return nullptr;
}

std::string classesOf(const std::string &family)
{
    std::string names;
    for (std::size_t i = 0; i < toleranceClassTableSize; ++i) {
        if (family == toleranceClassTable[i].family)
            names += (names.empty() ? "" : ", ") + std::string(toleranceClassTable[i].name);
    }
    return names;
}

const char *standardOf(const std::string &family)
{
    for (std::size_t i = 0; i < toleranceClassTableSize; ++i) {
        if (family == toleranceClassTable[i].family)
            return toleranceClassTable[i].standard;
    }
    return "";
}

// The class's whole range: its spans join up.
void rangeOf(const ToleranceClassEntry &entry, double &low, double &high)
{
    low = entry.spans[0].from;
    high = entry.spans[0].to;
    for (std::size_t i = 1; i < entry.spanCount; ++i) {
        low = std::min(low, entry.spans[i].from);
        high = std::max(high, entry.spans[i].to);
    }
}

std::string number(double value)
{
    char text[32];
    std::snprintf(text, sizeof text, "%g", value);
    return text;
}

std::string sensorName(unsigned code)
{
    return code < sensorTypeCount ? sensorTypeNames[code] : "sensor code " + std::to_string(code);
}

} // namespace

std::string toleranceFamily(unsigned sensorCode)
{
    switch (sensorCode) {
    case TC_K: return "K";
    case TC_N: return "N";
    case TC_J: return "J";
    case TC_T: return "T";
    case TC_E: return "E";
    case TC_R: return "R";
    case TC_S: return "S";
    case TC_B: return "B";
    // IEC 60751 is for alpha 0.00385 only; TR_50P and TR_100P (0.00391) are not covered.
    case TR_50Pt: case TR_100Pt: case TR_500Pt: case TR_1000Pt: return "Pt";
    }
    return {};
}

std::string normalClassName(const std::string &name)
{
    std::string upper;
    for (char c : name)
        upper += (c >= 'a' && c <= 'z') ? char(c - 'a' + 'A') : c;
    for (std::size_t i = 0; i < toleranceClassTableSize; ++i) {
        if (upper == toleranceClassTable[i].name)
            return upper;
    }
    return {};
}

ClassTolerance classTolerance(unsigned sensorCode, const std::string &className, double t)
{
    ClassTolerance result;
    const std::string family = toleranceFamily(sensorCode);
    const std::string name = normalClassName(className);
    if (family.empty()) {
        result.reason = sensorName(sensorCode) + " has no tolerance class in IEC 60584-1 or IEC 60751";
        return result;
    }
    const ToleranceClassEntry *entry = findEntry(family, name);
    if (!entry) {
        result.reason = sensorName(sensorCode) + " has no tolerance class '" + className + "'; its classes are "
                      + classesOf(family) + " (" + standardOf(family) + ")";
        return result;
    }
    for (std::size_t i = 0; i < entry->spanCount; ++i) {
        const ToleranceSpan &span = entry->spans[i];
        if (t >= span.from && t <= span.to) {
            result.ok = true;
            result.tolerance = span.fixed + span.slope * std::fabs(t - span.origin);
            result.standard = entry->standard;
            return result;
        }
    }
    double low, high;
    rangeOf(*entry, low, high);
    result.reason = number(t) + " °C is outside class " + name + " of " + sensorName(sensorCode) + ", " + number(low)
                  + " to " + number(high) + " °C (" + entry->standard + ")";
    return result;
}

std::string classProblem(const std::string &className, double t)
{
    const std::string name = normalClassName(className);
    if (name.empty())
        return "no tolerance class '" + className + "': thermocouples have 1, 2, 3 (IEC 60584-1), platinum resistance "
               "thermometers AA, A, B, C (IEC 60751)";
    std::string ranges;
    for (std::size_t i = 0; i < toleranceClassTableSize; ++i) {
        const ToleranceClassEntry &entry = toleranceClassTable[i];
        if (name != entry.name)
            continue;
        double low, high;
        rangeOf(entry, low, high);
        if (t >= low && t <= high)
            return {};
        const std::string family = entry.family;
        ranges += (ranges.empty() ? "" : ", ") + (family == "Pt" ? family : "type " + family) + " " + number(low) + " to " + number(high);
    }
    return number(t) + " °C is outside class " + name + " for every sensor (" + ranges + " °C)";
}
