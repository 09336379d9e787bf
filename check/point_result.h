#pragma once

// What the check of one point found, and the verdict over a run's points.

#include "channel_samples.h"
#include "check_point.h"

#include <QString>
#include <QVector>

enum class Verdict {
    Pass,
    Fail,
    NoReading, // no usable reading: the reason says why
    NotRun,    // the run stopped before the point
};

struct PointResult {
    CheckPoint point;
    unsigned sensorCode = 0;
    bool sensorKnown = false;
    double tolerance = 0;   // degC, the one applied
    QString toleranceBasis; // "given", or "class 2, IEC 60584-1"
    int samplesAsked = 0;
    SampleStatistics statistics;
    Verdict verdict = Verdict::NotRun;
    QString reason; // for NoReading and NotRun

    bool judged() const { return verdict == Verdict::Pass || verdict == Verdict::Fail; }
    double deviation() const { return statistics.mean - point.expected; }
};

// The tolerance of the point on a channel with this sensor: the given one, or its class's
// at the expected temperature. False with the reason when the sensor has no such class
// there.
bool resolveTolerance(PointResult &result, unsigned sensorCode, QString &reason);

// Pass when all `samplesAsked` readings were usable and their mean is within the
// tolerance of the expected temperature; Fail when it is not; NoReading with the reason
// when fewer readings were usable.
void judge(PointResult &result, const ChannelSamples &samples);

// Pass when every point passed; Fail when one failed; NoReading when none failed but one
// has no verdict.
Verdict overallVerdict(const QVector<PointResult> &results);

// "PASS", "FAIL", "NO READING", "NOT RUN"; for the run: "INCOMPLETE" instead of "NO READING".
QString verdictText(Verdict verdict);
QString overallText(Verdict verdict);
// "pass", "fail", "no reading", "not run", "incomplete" as the results file writes them.
QString verdictKey(Verdict verdict, bool overall = false);
