#include "channel_alarms.h"

#include "module_line.h"
#include "sensor_catalogue.h"

bool ChannelAlarm::update(unsigned sensorCode, std::optional<float> temperature, bool moduleSentNonReading)
{
    Kind next = state;
    float rangeLow = 0, rangeHigh = 0;
    const bool ranged = sensorTemperatureRange(sensorCode, rangeLow, rangeHigh);
    if (sensorCode == NO_SENSOR) {
        next = None;
    } else if (moduleSentNonReading) {
        next = SensorBreak;
    } else if (!temperature || !std::isfinite(*temperature)) {
        // Nothing to judge by (no cold junction yet...): what was raised stands.
    } else if (ranged && *temperature > rangeHigh) {
        next = OverRange;
    } else if (ranged && *temperature < rangeLow) {
        next = UnderRange;
    } else {
        const double t = *temperature;
        if (state == OverRange || state == UnderRange || state == SensorBreak)
            next = None; // judged afresh against the limits below
        if (t > high)
            next = High;
        else if (t < low)
            next = Low;
        else if (next == High && !(t >= high - hysteresisC))
            next = None;
        else if (next == Low && !(t <= low + hysteresisC))
            next = None;
    }
    const bool changed = next != state;
    state = next;
    return changed;
}

bool ChannelAlarm::update(const ModuleSnapshot &snapshot, int channel)
{
    if (!snapshot.records)
        return false;
    return update((*snapshot.records)[channel].sensorCode(), snapshot.temperatures[channel],
                  !nonReadingOfChannel(snapshot, channel).isEmpty());
}

double ChannelAlarm::limit() const
{
    return state == Low ? low : state == High ? high : NAN;
}

const char *alarmText(ChannelAlarm::Kind kind)
{
    switch (kind) {
    case ChannelAlarm::Low: return "Low alarm";
    case ChannelAlarm::High: return "High alarm";
    case ChannelAlarm::OverRange: return "Over range";
    case ChannelAlarm::UnderRange: return "Under range";
    case ChannelAlarm::SensorBreak: return "Sensor break";
    case ChannelAlarm::None: break;
    }
    return "";
}

const char *alarmKey(ChannelAlarm::Kind kind)
{
    switch (kind) {
    case ChannelAlarm::Low: return "low";
    case ChannelAlarm::High: return "high";
    case ChannelAlarm::OverRange: return "over_range";
    case ChannelAlarm::UnderRange: return "under_range";
    case ChannelAlarm::SensorBreak: return "sensor_break";
    case ChannelAlarm::None: break;
    }
    return "";
}

bool ModuleAlarm::update(const SweepRow &row)
{
    if (!row.asked || row.snapshot.busy)
        return false;
    bool next = silent;
    if (row.snapshot.failure.kind == RequestFailure::NoAnswer)
        next = true;
    else if (row.snapshot.complete() || row.snapshot.failure.kind == RequestFailure::Refused)
        next = false;
    const bool changed = next != silent;
    silent = next;
    return changed;
}
