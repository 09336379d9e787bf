#pragma once

#include <cmath>
#include <optional>

struct ModuleSnapshot;
struct SweepRow;

// The alarm rule of one channel, shared by korun-monitor and korun-log. Limits (degC, NaN
// for none) raise "low" and "high" and clear once the reading is back inside by the
// hysteresis. A reading outside the sensor type's range is "over range" or "under range"
// (a Pt100 at 900 degC), never a broken sensor: a break is only what the module itself sent
// (NaN or an infinity instead of a value). A channel without a sensor has no alarm at all.
class ChannelAlarm
{
public:
    enum Kind { None, Low, High, OverRange, UnderRange, SensorBreak };
    static constexpr double hysteresisC = 1.0;

    double low = NAN;
    double high = NAN;

    Kind kind() const { return state; }
    // Follows a refresh that read the channel: the sensor code, the temperature when there
    // is one, and whether the module sent a value that is not a number. True on a change.
    bool update(unsigned sensorCode, std::optional<float> temperature, bool moduleSentNonReading);
    // The same from a module's refresh; a refresh that did not read the channels changes nothing.
    bool update(const ModuleSnapshot &snapshot, int channel);
    // The limit that the current alarm is about; NaN for the others.
    double limit() const;

private:
    Kind state = None;
};

// "Low alarm", "Over range"...; empty for None.
const char *alarmText(ChannelAlarm::Kind kind);
// "low", "over_range"... as published; empty for None.
const char *alarmKey(ChannelAlarm::Kind kind);

// The "no answer" alarm of one module, one for all its channels: raised by a refresh the
// module did not answer, cleared by the next one it answers (completely, or with an
// exception). A port that cannot be opened is the line's fault and changes nothing, nor
// does a sweep that did not ask the module.
class ModuleAlarm
{
public:
    bool update(const SweepRow &row);
    bool raised() const { return silent; }

private:
    bool silent = false;
};

inline constexpr char noAnswerText[] = "No answer";
inline constexpr char noSensorText[] = "no sensor";
