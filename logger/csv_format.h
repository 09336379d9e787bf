#pragma once

#include "register_map.h"

#include <QString>

#include <array>
#include <optional>

// What one refresh obtained; a block that could not be read is absent.
struct RefreshResult {
    QString time; // ISO 8601, UTC, milliseconds
    std::optional<ReferenceTemperatures> reference;
    std::optional<std::array<MeasurementRecord, 4>> records;
    std::optional<std::array<AdcState, 4>> states;
    // Reference that compensates the thermocouples: this refresh's or the last one read.
    std::optional<ReferenceTemperatures> coldJunction;
    QString status; // "ok" or what failed
};

QString csvHeader();
QString csvRow(const RefreshResult &result);
