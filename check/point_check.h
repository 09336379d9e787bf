#pragma once

// The check of one point, fed with refreshes of its module: by korun-check's own loop, or
// by another program's poller (korun-monitor's "Check channel…").
//
//   PointCheck check(point, 10);
//   if (!check.start(sensorCodeTheModuleReports, refusal)) ... // class not for this sensor
//   while (!check.done()) check.add(nextSnapshotOfThatModule);
//   check.result() // verdict, statistics, or the reason there is none

#include "channel_samples.h"
#include "point_result.h"

class PointCheck
{
public:
    // A point gives up after this many unusable refreshes in a row (or `samples` in all).
    static constexpr int unusableInARow = 3;

    PointCheck(const CheckPoint &point, int samples);

    // Takes the sensor the module reports on the channel: a channel without a temperature
    // sensor is done at once, with no reading. False, with the reason, when the point's
    // class does not exist for that sensor or its range leaves out the expected temperature.
    bool start(unsigned sensorCode, QString &refusal);
    // Takes one refresh of the module (any refresh: failed, incomplete or complete); true
    // once the point is done.
    bool add(const ModuleSnapshot &snapshot);
    // Ends the point without a verdict: nothing could be read, or the run stopped.
    void finishWithout(Verdict verdict, const QString &reason);

    bool done() const { return finished; }
    const PointResult &result() const { return outcome; }

private:
    PointResult outcome;
    ChannelSamples samples;
    bool finished = false;
};
