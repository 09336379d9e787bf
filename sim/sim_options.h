#pragma once

// Command line of korun-sim.

#include "module_model.h"

#include <string>

struct Options {
    std::string device;
    int selector = 0;
    double cold[2] = {24.5, 25.5};
    double noise = 0.0;
    ChannelSetup channels[4];
};

// Prints the usage text and exits for --help; false for arguments it cannot use.
bool parseOptions(int argc, char **argv, Options &options);
