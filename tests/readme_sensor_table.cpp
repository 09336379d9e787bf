// The README's table of sensor names, codes and temperature ranges, made from the sensor
// catalogue so that it cannot drift from what the programs use.
//   readme_sensor_table              prints the table
//   readme_sensor_table README.md    exit 1 (and the right table) when README.md differs
#include "sensor_catalogue.h"

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>

namespace {

const char beginMark[] = "<!-- sensor table: made by tests/readme_sensor_table.cpp -->\n";
const char endMark[] = "<!-- end of sensor table -->\n";

std::string kind(unsigned code)
{
    if (code == NO_SENSOR)
        return "no sensor";
    if (code == VOLTAGE)
        return "voltage (mV)";
    if (code == RESISTANCE)
        return "resistance (ohm)";
    return isVoltageInputSensor(code) ? "thermocouple" : "resistance thermometer";
}

std::string table()
{
    std::ostringstream out;
    out << "| Name | Code | Kind | Temperature range (°C) |\n|---|---:|---|---|\n";
    for (unsigned code = 0; code < sensorTypeCount; ++code) {
        float low = 0, high = 0;
        char range[64] = "–";
        if (sensorTemperatureRange(code, low, high))
            std::snprintf(range, sizeof range, "%g to %g", double(low), double(high));
        out << "| " << sensorTypeNames[code] << " | " << code << " | " << kind(code) << " | " << range << " |\n";
    }
    return out.str();
}

} // namespace

int main(int argc, char *argv[])
{
    const std::string expected = table();
    if (argc < 2) {
        std::fputs(beginMark, stdout);
        std::fputs(expected.c_str(), stdout);
        std::fputs(endMark, stdout);
        return 0;
    }
    std::ifstream file(argv[1]);
    std::stringstream contents;
    contents << file.rdbuf();
    const std::string text = contents.str();
    const std::size_t begin = text.find(beginMark);
    const std::size_t end = text.find(endMark);
    if (!file || begin == std::string::npos || end == std::string::npos || end < begin) {
        std::fprintf(stderr, "%s: no sensor table between the marks; it should read:\n%s%s%s", argv[1], beginMark,
                     expected.c_str(), endMark);
        return 1;
    }
    const std::size_t start = begin + sizeof beginMark - 1;
    if (text.substr(start, end - start) != expected) {
        std::fprintf(stderr, "%s: the sensor table differs from the catalogue; it should read:\n%s", argv[1],
                     expected.c_str());
        return 1;
    }
    return 0;
}
