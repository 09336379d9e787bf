#pragma once

#include <QString>

struct ModuleSnapshot;

QString csvHeader();
// One row of one module; `status` is "ok" for a complete refresh, else what failed.
QString csvRow(const ModuleSnapshot &snapshot, const QString &status);
