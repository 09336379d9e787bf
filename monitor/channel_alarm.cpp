#include "channel_alarm.h"

#include "sensor_catalogue.h"

bool ChannelAlarm::update(unsigned sensorCode, std::optional<float> temperature)
{
    Kind next = state;
    float rangeLow = 0, rangeHigh = 0;
    const bool ranged = sensorTemperatureRange(sensorCode, rangeLow, rangeHigh);
    if (sensorCode == NO_SENSOR) {
        next = None;
    } else if (!temperature || !std::isfinite(*temperature)
               || (ranged && (*temperature < rangeLow || *temperature > rangeHigh))) {
        next = SensorBreak;
    } else {
        const double t = *temperature;
        if (t > high)
            next = High;
        else if (t < low)
            next = Low;
        else if (state == High && t < high - hysteresisC)
            next = None;
        else if (state == Low && t > low + hysteresisC)
            next = None;
        else if (state == SensorBreak || (state == High && std::isnan(high)) || (state == Low && std::isnan(low)))
            next = None;
    }
    const bool changed = next != state;
    state = next;
    return changed;
}

const char *alarmText(ChannelAlarm::Kind kind)
{
    switch (kind) {
    case ChannelAlarm::Low: return "Low alarm";
    case ChannelAlarm::High: return "High alarm";
    case ChannelAlarm::SensorBreak: return "Sensor break";
    case ChannelAlarm::None: break;
    }
    return "";
}
