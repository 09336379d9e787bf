#pragma once

// The commands a test types on korun-sim's standard input while it runs.

#include "module_set.h"

#include <functional>
#include <string>

// Carries out one command line and prints its answer: "ok LINE" (after the values, for
// dump) or "error WHY". `reopenLine` opens the line again and says whether it could.
void executeCommand(const std::string &line, ModuleSet &modules, const std::function<bool()> &reopenLine);
