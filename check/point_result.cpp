#include "point_result.h"

#include "tolerance_classes.h"

#include <cmath>

bool resolveTolerance(PointResult &result, unsigned sensorCode, QString &reason)
{
    result.sensorCode = sensorCode;
    result.sensorKnown = true;
    if (result.point.tolerance) {
        result.tolerance = *result.point.tolerance;
        result.toleranceBasis = QStringLiteral("given");
        return true;
    }
    const ClassTolerance found = classTolerance(sensorCode, result.point.className.toStdString(), result.point.expected);
    if (!found.ok) {
        reason = QString::fromStdString(found.reason);
        return false;
    }
    result.tolerance = found.tolerance;
    result.toleranceBasis = QStringLiteral("class %1, %2")
                                .arg(QString::fromStdString(normalClassName(result.point.className.toStdString())),
                                     QString::fromStdString(found.standard));
    return true;
}

void judge(PointResult &result, const ChannelSamples &samples)
{
    result.statistics = samples.statistics();
    if (samples.count() < result.samplesAsked) {
        result.verdict = Verdict::NoReading;
        result.reason = samples.count() == 0
                            ? samples.lastReason()
                            : QStringLiteral("only %1 of %2 readings were usable; %3")
                                  .arg(samples.count())
                                  .arg(result.samplesAsked)
                                  .arg(samples.lastReason());
        return;
    }
    result.verdict = std::fabs(result.deviation()) <= result.tolerance ? Verdict::Pass : Verdict::Fail;
}

Verdict overallVerdict(const QVector<PointResult> &results)
{
    bool complete = !results.isEmpty();
    for (const PointResult &result : results) {
        if (result.verdict == Verdict::Fail)
            return Verdict::Fail;
        complete = complete && result.verdict == Verdict::Pass;
    }
    return complete ? Verdict::Pass : Verdict::NoReading;
}

QString verdictText(Verdict verdict)
{
    return verdictKey(verdict).toUpper();
}

QString overallText(Verdict verdict)
{
    return verdictKey(verdict, true).toUpper();
}

QString verdictKey(Verdict verdict, bool overall)
{
    switch (verdict) {
    case Verdict::Pass: return QStringLiteral("pass");
    case Verdict::Fail: return QStringLiteral("fail");
    case Verdict::NoReading: return overall ? QStringLiteral("incomplete") : QStringLiteral("no reading");
    case Verdict::NotRun: return overall ? QStringLiteral("incomplete") : QStringLiteral("not run");
    }
    return QString();
}
