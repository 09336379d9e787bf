#include "module_alarm.h"

#include "module_line.h"

bool ModuleAlarm::update(const SweepRow &row)
{
    if (!row.asked || row.snapshot.busy)
        return false;
    bool next = silent;
    if (row.snapshot.failure.kind == RequestFailure::NoAnswer)
        next = true;
    else if (row.snapshot.complete() || row.snapshot.failure.kind == RequestFailure::Refused)
        next = false;
    const bool changed = next != silent;
    silent = next;
    return changed;
}
