#pragma once

#include "link_timing_options.h"
#include "register_map.h"

#include <QString>
#include <QVector>

#include <array>

class Korun_MBProxy;

// A module found on the line, with the measurement records it answered with, or why they
// could not be read although it answered (it refused, or its replies came out of step).
struct FoundModule {
    int selector = 0;
    std::array<MeasurementRecord, 4> records;
    QString unreadable;
    double responseMs = -1; // median over the scan's requests to it
};

// A probe that finds a module quickly without waiting long on empty addresses.
constexpr LinkTiming scanProbe = {80, 0};

// Asks every address switch 0..F once, by default with a short timeout and no retries,
// through a proxy whose port is set; its timeout and retries are restored afterwards.
QVector<FoundModule> scanLine(Korun_MBProxy &proxy, LinkTiming probe = scanProbe);
