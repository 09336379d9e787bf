#pragma once

// Misbehaviour of the simulated module, switched on and off while it runs.

#include <string>

struct FaultPlan {
    enum Kind { None, Silent, Exception, BadCrc, Short, Long, Late, Vanish };

    Kind kind = None;
    int exceptionCode = 0;  // for Exception: 2 illegal data address, 6 server busy
    int delayMs = 0;        // for Late
    int onlyAddress = -1;   // act only on requests starting here; -1 for every request
    bool once = false;      // fall back to None after acting once

    bool appliesTo(int address) const { return kind != None && (onlyAddress < 0 || onlyAddress == address); }
};

// Parses "KIND [ARG] [@HEXADDR] [once]", for example "exception 6 @2000 once".
// Returns false with a message for text it cannot understand.
bool parseFaultPlan(const std::string &text, FaultPlan &plan, std::string &error);
