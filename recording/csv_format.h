#pragma once

#include <QString>

struct ModuleSnapshot;
struct SweepRow;

QString csvHeader();
// "ok" for a complete refresh, else what failed, and whether the module is backed off.
QString rowStatus(const SweepRow &row);
// One row of one module; `status` is "ok" for a complete refresh, else what failed.
QString csvRow(const ModuleSnapshot &snapshot, const QString &status);
