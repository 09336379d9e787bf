#pragma once

// A plan file: the points of a loop check, in order.
//   {"points": [{"module": "0", "channel": 1, "expected": 300, "class": "2", "note": "TI-101"},
//               {"module": 3, "channel": 2, "expected": 100, "tolerance": 0.5}]}

#include "check_point.h"

#include <QByteArray>
#include <QVector>

// The points, or false with a message naming the entry that cannot be right.
bool parsePlan(const QByteArray &text, QVector<CheckPoint> &points, QString &error);
