#pragma once

#include <QString>

struct ModuleSnapshot;
struct SweepRow;

QString csvHeader();
// "ok" for a complete refresh whose values are all readings; else what failed, which
// values were not numbers ("channel 2 sent NaN") and whether the module is backed off.
QString rowStatus(const SweepRow &row);
// One row of one module, with rowStatus's `status`; a value that is not a reading leaves
// its cell empty.
QString csvRow(const ModuleSnapshot &snapshot, const QString &status);
