#pragma once

// Readings of one channel gathered from refreshes of its module. Only a complete refresh
// whose channel still has the sensor it had at the start and sent a number counts; any
// other refresh is set aside with the reason.

#include <QString>

#include <vector>

struct ModuleSnapshot;

struct SampleStatistics {
    int count = 0;
    double mean = 0, standardDeviation = 0, minimum = 0, maximum = 0; // degC
};

// Why a channel with this sensor code gives no temperature to check (NO_SENSOR, VOLTAGE,
// RESISTANCE, a code the catalogue does not know); empty for a temperature sensor.
QString noTemperatureReason(unsigned sensorCode);

class ChannelSamples
{
public:
    // channel 1..4; sensorCode as the module reported it before sampling began.
    ChannelSamples(int channel, unsigned sensorCode);

    // True when the refresh gave a reading; otherwise lastReason() says why not.
    bool add(const ModuleSnapshot &snapshot);

    const std::vector<double> &values() const { return readings; }
    int count() const { return int(readings.size()); }
    int setAside() const { return setAsideCount; }
    int setAsideInARow() const { return inARow; }
    const QString &lastReason() const { return reason; }

    // Sample standard deviation (n - 1); 0 for a single reading.
    SampleStatistics statistics() const;

private:
    bool refuse(const QString &why);

    int channel;
    unsigned sensorCode;
    std::vector<double> readings;
    int setAsideCount = 0;
    int inARow = 0;
    QString reason;
};
