#pragma once

// The configuration block a write of a file puts into a module.

#include "config_file.h"

#include <QString>
#include <QStringList>

// The block after `file` is written over `module`. A channel whose sensor and connection
// codes are the module's keeps its whole record as the module has it; another gets the
// file's codes and its ADC setup (bytes 2-11) from the catalogue, as the window's Store
// builds it, with bytes 12-299 kept. The address-switch bit comes from the file, every
// other byte from the module. False with `error` set for a channel that cannot be built:
// a sensor code the catalogue does not know, a connection code the module does not have,
// a resistive sensor without a 2-, 3- or 4-wire connection. `notes` tells of a channel
// connected otherwise than the window would store it.
bool buildWrittenImage(const ConfigurationImage &module, const ConfigFile &file, ConfigurationImage &written,
                       QStringList &notes, QString &error);

// Why the file's image should not be restored to the module at `busAddressText`: it
// contradicts the file's channels, module or address-switch entries, or holds channel
// codes the module could not hold. Empty when it may be restored.
QStringList restoreImageProblems(const ConfigFile &file, const QString &busAddressText);
