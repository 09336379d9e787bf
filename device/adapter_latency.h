#pragma once

#include <QString>

// USB-serial adapters hand received bytes to the computer at a latency tick, 16 ms by
// default for the common FTDI chips, and every Modbus request waits for it: a line of
// modules runs three times slower than it could. Asks the driver of the open port `fd`
// for low-latency mode (a 1 ms tick); then reads the tick from sysfs and returns a
// sentence with the fix when it is still above 1 ms. Quiet (empty) on a pseudo terminal,
// a built-in port or an adapter without a latency timer. `portName` is the path opened.
QString lowerAdapterLatency(int fd, const QString &portName, const QString &sysfsRoot = QStringLiteral("/sys"));
