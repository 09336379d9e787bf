#pragma once

#include "korun_mbproxy.h"
#include "register_map.h"

#include <QDateTime>
#include <QStringList>

#include <array>
#include <optional>

// What one refresh of a module obtained. A block that could not be read is absent.
struct ModuleSnapshot {
    QDateTime time; // UTC, when the refresh started
    quint8 busAddress = 0;
    std::optional<ReferenceTemperatures> reference;
    std::optional<std::array<MeasurementRecord, 4>> records;
    std::optional<std::array<AdcState, 4>> states;
    // Per channel, degC: absent without a measurement record, for NO_SENSOR, for a
    // thermocouple while no on-board temperature has been read yet, and when the channel's
    // value or its thermocouple's on-board temperature is not a number (isReading).
    std::array<std::optional<float>, 4> temperatures;
    // Status texts of the requests that failed, in order.
    QStringList failures;
    // The first failure of a request that reached the line or found it closed.
    RequestFailure failure;
    // Every request was refused because another one of this program was waiting: the
    // module was not asked at all.
    bool busy = false;

    bool complete() const { return reference && records && states; }
};

// The compensated temperature of each channel from its record and the cold junction of
// its pair: XT1,XT2 for channels 1 and 2, XT3,XT4 for channels 3 and 4.
std::array<std::optional<float>, 4> channelTemperatures(const std::array<MeasurementRecord, 4> &records,
                                                        const std::optional<ReferenceTemperatures> &coldJunction);

// Whether a float the module sent is a reading: NaN and the infinities are not, and are
// never shown, recorded or converted as one.
bool isReading(float value);
// "NaN", "+Inf" or "-Inf" for a float that is not a reading; empty for one that is.
QString nonReadingName(float value);

// Why a channel with a sensor has no temperature in this refresh because of what the
// module sent: "sent NaN" (its own value) or "XT1/XT2 sent +Inf" (its thermocouple's
// on-board temperature). Empty when both are readings, and for NO_SENSOR.
QString nonReadingOfChannel(const ModuleSnapshot &snapshot, int channel);
// Every value of the refresh that is not a reading, for a row's status, on-board
// temperatures first: "XT1/XT2 sent NaN", "channel 2 sent -Inf". A NO_SENSOR channel's
// value is not named: it has no temperature either way.
QStringList nonReadings(const ModuleSnapshot &snapshot);
