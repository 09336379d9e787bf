#pragma once

// How a check's findings read, on the terminal and in the report.

#include "check_run.h"

#include <QString>
#include <QStringList>

// "300.00": set points as a calibrator shows them.
QString expectedText(double celsius);
// "300.014", "+0.014" with sign: readings, deviations and tolerances.
QString readingText(double celsius);
QString deviationText(double celsius);

// The channels as the configuration block holds them: "TC_K on VOLTAGE_INPUT" per
// channel; else the sensors of the measurement records and why the block is missing.
QStringList channelLines(const ModuleFacts &facts);

// The lines korun-check prints for a point.
QStringList pointLines(const PointResult &result);
// "PASS (2 passed, 1 failed, 0 without a reading)"
QString overallLine(const CheckRun &run);
