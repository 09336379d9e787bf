#pragma once

#include <QByteArray>
#include <QString>
#include <QVector>

struct ModuleSnapshot;

// The JSON message of one module refresh, as published on PREFIX/LINE/MODULE/state: time,
// line, seq, module, the two on-board temperatures, the four channels (sensor, value with
// its unit, ADC code, gain, temperature) and the status. What korun-log does not know is
// null: what could not be read, a channel without a sensor, a value the module sent as NaN
// or infinity, a temperature that cannot be computed; each number's "status" says which.
QByteArray stateMessage(const ModuleSnapshot &snapshot, const QString &line, long long seq, const QString &status);

// The version of the messages' layout, "schema" in each JSON message (docs/mqtt-messages.schema.json).
constexpr int messageSchema = 1;

// What a reader needs to know of the line before the first state comes, published retained
// on PREFIX/LINE/info: its modules, the period, the program and its version.
QByteArray infoMessage(const QString &line, const QVector<int> &selectors, double periodSeconds);
