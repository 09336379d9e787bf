#pragma once

// Command line of korun-sim.

#include "line_timing.h"
#include "module_model.h"

#include <string>
#include <vector>

// One simulated module: its address switch and how its four channels start out.
struct ModuleSetup {
    int digit = 0;
    ChannelSetup channels[4];
};

struct Options {
    std::string device;
    std::vector<ModuleSetup> modules; // in the order given; never empty after parsing
    double cold[2] = {24.5, 25.5};
    double noise = 0.0;
    LineTiming timing;
};

// Prints the usage text and exits 0 for --help. Otherwise fills `options` and returns
// true, or returns false with `error` naming the option and the value it refuses.
bool parseOptions(int argc, char **argv, Options &options, std::string &error);
