#pragma once

#include "module_line.h"

#include <QJsonObject>

// korun-log's state message (PREFIX/LINE/MODULE/state) back into the row its recorder
// had: the register images rebuilt from the numbers the message gives, so that the table,
// the trend, the alarms and the recording treat it as one of their own. A null number
// stays a non-reading (NaN, or the infinity the status names), never a number; a block the
// recorder could not read stays absent. False for a message that is not one.
bool readStateMessage(const QJsonObject &message, SweepRow &row);
