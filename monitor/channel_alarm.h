#pragma once

#include <cmath>
#include <optional>

// The alarm of one channel: a high and a low limit (degC; NaN for none) that clear with a
// hysteresis, and sensor break: no temperature, or one outside the sensor type's range.
class ChannelAlarm
{
public:
    enum Kind { None, Low, High, SensorBreak };
    // How far back inside its limit a reading must come for the alarm to clear.
    static constexpr double hysteresisC = 1.0;

    double low = NAN;
    double high = NAN;

    Kind kind() const { return state; }
    // Follows a new reading of the channel; true when the alarm state changed.
    bool update(unsigned sensorCode, std::optional<float> temperature);

private:
    Kind state = None;
};

const char *alarmText(ChannelAlarm::Kind kind);
