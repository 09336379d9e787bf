#pragma once

#include "config_file.h"

#include <QStringList>

// Where the module's channels (sensor and connection as the store would write them) and
// address switch differ from the file's, one line each; empty when they match.
QStringList configDifferences(const ConfigurationImage &module, const ConfigFile &file);

// The block the module holds after `file` is written over `module` by the store.
ConfigurationImage afterStore(const ConfigurationImage &module, const ConfigFile &file);
