#pragma once

// The run as a printable PDF report, through Qt's own PDF writer (needs a
// QGuiApplication; the offscreen platform will do).

#include "check_run.h"

#include <QString>

QString reportHtml(const CheckRun &run);

// Writes it whole or not at all; false with the reason.
bool writeReport(const CheckRun &run, const QString &path, QString &error);
