#include "line_timing.h"

#include <chrono>
#include <random>
#include <thread>

namespace {

using Clock = std::chrono::steady_clock;

LineTiming configured;
std::size_t requestBytes = 0;

// 10 bits a byte: start, 8 data bits, stop.
Clock::duration wireTime(std::size_t bytes)
{
    if (configured.baud <= 0)
        return Clock::duration::zero();
    return std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(bytes * 10.0 / configured.baud));
}

Clock::duration turnaround()
{
    static std::mt19937 random{std::random_device{}()};
    std::uniform_int_distribution<int> ms(configured.turnaroundMinMs, configured.turnaroundMaxMs);
    return std::chrono::milliseconds(ms(random));
}

} // namespace

void setLineTiming(const LineTiming &timing)
{
    configured = timing;
}

const LineTiming &lineTiming()
{
    return configured;
}

void noteRequestBytes(std::size_t bytes)
{
    requestBytes = bytes;
}

void waitAsOnTheLine(std::size_t bytes)
{
    // The request has reached the module only once its last byte is through.
    Clock::time_point at = Clock::now() + wireTime(requestBytes) + turnaround() + wireTime(bytes);
    requestBytes = 0;
    if (configured.latencyMs > 0) {
        // The adapter passes what it has received on at its next latency tick.
        const auto tick = std::chrono::milliseconds(configured.latencyMs);
        const auto sinceEpoch = at.time_since_epoch();
        at = Clock::time_point((sinceEpoch + tick - Clock::duration(1)) / tick * tick);
    }
    std::this_thread::sleep_until(at);
}
