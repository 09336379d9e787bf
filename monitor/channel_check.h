#pragma once

#include "point_check.h"

#include <QObject>
#include <QVector>

#include <memory>

struct SweepRow;

// One loop-check point of a channel, run on the refreshes the monitor's line gives anyway:
// the same samples, classes and verdicts as korun-check, and no request of its own.
class ChannelCheck : public QObject
{
    Q_OBJECT

public:
    using QObject::QObject;

    // Starts checking `point` (its module's address switch and channel) over `samples`
    // refreshes; false with the reason when it cannot (a check under way, a class that the
    // channel's sensor does not have).
    bool begin(const CheckPoint &point, int samples, unsigned sensorCode, QString &refusal);
    bool running() const { return check != nullptr; }
    // Takes a sweep of the line; the point's module's refresh goes to the check.
    void take(const QVector<SweepRow> &rows);

signals:
    // The lines korun-check prints for the point, verdict last.
    void finished(const QStringList &lines, Verdict verdict);

private:
    std::unique_ptr<PointCheck> check;
    int selector = 0;
};
