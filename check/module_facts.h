#pragma once

// What a check needs to know of a module before measuring: the sensor each channel
// reports in its measurement record (which decides the tolerance class), and the channel
// configuration block for the report.

#include "register_map.h"

#include <QString>

#include <array>
#include <optional>

class Korun_MBProxy;

struct ModuleFacts {
    int selector = 0;
    quint8 busAddress = 0;
    std::optional<std::array<MeasurementRecord, 4>> records;
    std::optional<ConfigurationImage> configuration;
    QString recordsFailure; // why the records could not be read
    QString configurationFailure;
};

// Points the proxy at the module and reads both blocks; a block that cannot be read is
// absent, with the failure.
ModuleFacts readModuleFacts(Korun_MBProxy &proxy, int selector);

// "TC_K", or the bare code for one the catalogue does not name.
QString sensorText(unsigned code);
// "VOLTAGE_INPUT", or the bare code.
QString connectionText(unsigned code);
// "module 0 (0xB0)"
QString moduleText(int selector);
