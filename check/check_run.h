#pragma once

// A loop check run: the modules it concerns, its points and what they found.

#include "module_facts.h"
#include "point_check.h"

#include <QDateTime>
#include <QVector>

#include <vector>

class Korun_MBProxy;

struct CheckRun {
    QDateTime startedUtc;
    QString engineer;
    QString label; // "as-found", "as-left" or empty
    QString port;
    QVector<ModuleFacts> modules; // in the order the points first name them
    QVector<PointResult> results; // one per point, in the plan's order

    const ModuleFacts *module(int selector) const;
};

// Reads the facts of every module the points name into the run and starts a check per
// point with the sensor its channel reports; a point on a silent module is done at once,
// with no reading. Returns why a point's class cannot apply to its channel's sensor, one
// line per such point: nothing should be measured unless the list is empty.
QStringList preparePoints(Korun_MBProxy &proxy, CheckRun &run, const QVector<CheckPoint> &points, int samples,
                          std::vector<PointCheck> &checks);

// Refreshes the point's module until the check is done, intervalMs apart.
void measurePoint(Korun_MBProxy &proxy, PointCheck &check, int intervalMs);
