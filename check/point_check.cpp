#include "point_check.h"

#include "sensor_catalogue.h"

PointCheck::PointCheck(const CheckPoint &point, int samplesAsked)
    : samples(point.channel, NO_SENSOR)
{
    outcome.point = point;
    outcome.samplesAsked = samplesAsked;
}

bool PointCheck::start(unsigned sensorCode, QString &refusal)
{
    samples = ChannelSamples(outcome.point.channel, sensorCode);
    outcome.sensorCode = sensorCode;
    outcome.sensorKnown = true;
    if (const QString why = noTemperatureReason(sensorCode); !why.isEmpty()) {
        finishWithout(Verdict::NoReading, why);
        return true;
    }
    return resolveTolerance(outcome, sensorCode, refusal);
}

bool PointCheck::add(const ModuleSnapshot &snapshot)
{
    if (finished)
        return true;
    samples.add(snapshot);
    if (samples.count() >= outcome.samplesAsked || samples.setAsideInARow() >= unusableInARow
        || samples.setAside() >= outcome.samplesAsked) {
        judge(outcome, samples);
        finished = true;
    }
    return finished;
}

void PointCheck::finishWithout(Verdict verdict, const QString &reason)
{
    outcome.verdict = verdict;
    outcome.reason = reason;
    finished = true;
}
