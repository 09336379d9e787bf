// Conversions per second of compensatedTemperature for a thermocouple and an RTD code.
#include "sensor_catalogue.h"
#include "temperature_routing.h"

#include <chrono>
#include <cstdio>

namespace {

double conversionsPerSecond(unsigned code, float base, float step)
{
    constexpr int count = 2000000;
    volatile float sink = 0;
    const auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < count; ++i)
        sink = sink + compensatedTemperature(code, base + step * float(i % 1000), 25.0f);
    const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;
    return count / elapsed.count();
}

} // namespace

int main()
{
    std::printf("compensatedTemperature TC_K     %.2f M/s\n", conversionsPerSecond(TC_K, 0.0f, 0.04f) / 1e6);
    std::printf("compensatedTemperature TR_100Pt %.2f M/s\n", conversionsPerSecond(TR_100Pt, 80.0f, 0.2f) / 1e6);
    return 0;
}
