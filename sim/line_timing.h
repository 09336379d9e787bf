#pragma once

// How long a real line takes, for the simulated module's replies: bytes on the wire at the
// line's baud rate, the module's turnaround, and the USB adapter's latency tick, with which
// the adapter hands received bytes over in packets. All off by default: replies go out at
// once, as tests want them.

#include <cstddef>

struct LineTiming {
    int baud = 0;              // 0: bytes take no time on the wire
    int turnaroundMinMs = 0;   // before the module starts its reply
    int turnaroundMaxMs = 0;   // a random turnaround in [min, max]
    int latencyMs = 0;         // adapter latency tick; 0: bytes handed over as they come
};

void setLineTiming(const LineTiming &timing);
const LineTiming &lineTiming();

// The request being answered has this many bytes (its wire time comes before the reply).
void noteRequestBytes(std::size_t bytes);
// Sleeps until a reply of `bytes` would reach the master's program over that line.
void waitAsOnTheLine(std::size_t bytes);
