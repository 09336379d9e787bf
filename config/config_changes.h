#pragma once

// What a write changes in a module's configuration block, told by channel and byte group.

#include "register_map.h"

#include <QString>
#include <QStringList>

// One line for each field and byte group in which `to` differs from `from`: each
// channel's sensor code, connection code, auxSetup (bytes 2-6), mainSetup (7-11) and
// uninterpreted bytes (12-299); the address switch, the other bits of its byte, and the
// last byte. Empty when the blocks are equal.
QStringList describeChanges(const ConfigurationImage &from, const ConfigurationImage &to);

int changedByteCount(const ConfigurationImage &from, const ConfigurationImage &to);

// "TC_K", or the number of a sensor code the catalogue does not name; likewise connections.
QString sensorText(unsigned code);
QString connectionText(unsigned code);
