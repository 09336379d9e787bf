#pragma once

// How every program talks to a module: one serial line setting, one bus address rule.

#include <QString>
#include <QtGlobal>

class Korun_MBProxy;

namespace LinkSettings {
constexpr int baudRate = 115200;
constexpr int responseTimeoutMs = 200;
constexpr int numberOfRetries = 3;
} // namespace LinkSettings

// Bus address of the module whose address switch is at `selector` (0..F): 0xB0 + selector.
quint8 busAddress(int selector);
// "0xBA"
QString busAddressText(quint8 address);

// Sets the port, 115200 8N1, the module's bus address, the response timeout and the
// retries on the proxy; the port is opened by connectDevice() or by the first request.
void configureLink(Korun_MBProxy &proxy, const QString &port, int selector);
