#pragma once

// The run as data ("format": "korun-check-results/1"): the report's content, with every
// reading's statistics and the reason a point has no verdict.

#include "check_run.h"

#include <QByteArray>

QByteArray resultsJson(const CheckRun &run);

// Writes it whole or not at all; false with the reason.
bool writeResults(const CheckRun &run, const QString &path, QString &error);
