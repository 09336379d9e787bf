#pragma once

#include <QByteArray>
#include <QString>

struct ModuleSnapshot;

// The JSON message of one module refresh, as published on PREFIX/LINE/MODULE/state: time,
// seq, module, the two on-board temperatures, the four channels (sensor, value with its
// unit, ADC code, gain, temperature) and the status; what could not be read is null.
QByteArray stateMessage(const ModuleSnapshot &snapshot, long long seq, const QString &status);
