#pragma once

// Misbehaviour of the simulated module, switched on and off while it runs.

#include <string>

struct FaultPlan {
    enum Kind { None, Silent, Exception, BadCrc, Short, Long, Cut, Late, Vanish, Twice };

    Kind kind = None;
    int exceptionCode = 0;  // for Exception: 2 illegal data address, 6 server busy
    int delayMs = 0;        // for Late; for Twice the gap before the repeated reply
    int onlyAddress = -1;   // act only on requests starting here; -1 for every request
    bool once = false;      // fall back to None after acting once
    int every = 1;          // act only on every N-th request the plan applies to
    int matched = 0;        // requests the plan has applied to so far

    bool appliesTo(int address) const { return kind != None && (onlyAddress < 0 || onlyAddress == address); }

    // Counts a request the plan applies to; true when this one is its turn to misbehave.
    bool takeTurn(int address)
    {
        if (!appliesTo(address))
            return false;
        ++matched;
        return matched % every == 0;
    }
};

// Parses "KIND [ARG] [@HEXADDR] [every N] [once]", for example "exception 6 @2000 once"
// or "late 250 every 7". Returns false with a message for text it cannot understand.
bool parseFaultPlan(const std::string &text, FaultPlan &plan, std::string &error);
