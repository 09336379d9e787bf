#pragma once

// Putting a configuration block into the module and checking that it stays there.

#include "register_map.h"

#include <QString>

class Korun_MBProxy;

// Writes the span of registers from the first to the last in which `wanted` differs from
// `module` (what the module held when read), then reads the whole block back. False with
// `error` set when a write fails or the module does not hold `wanted` afterwards.
bool writeAndVerify(Korun_MBProxy &proxy, const ConfigurationImage &module, const ConfigurationImage &wanted,
                    QString &error);
