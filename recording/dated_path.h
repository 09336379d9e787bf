#pragma once

#include <QDate>
#include <QString>

// File names with the day in them, for recordings that start a new file each UTC day:
// "%Y", "%m" and "%d" become the year, month and day ("line1-%Y-%m-%d.csv" ->
// "line1-2026-12-07.csv"), "%%" a single "%"; anything else stays as it is.
bool hasDatePattern(const QString &pattern);
QString datedPath(const QString &pattern, const QDate &day);
