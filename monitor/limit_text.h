#pragma once

#include <QString>

// A limit as typed: a number with a decimal point or comma, or nothing for none (NaN).
bool parseLimit(const QString &text, double &limit);
// A limit as shown: one decimal, or nothing for none.
QString limitText(double limit);
