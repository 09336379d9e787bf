#include "module_snapshot.h"

#include "sensor_catalogue.h"
#include "temperature_routing.h"

std::array<std::optional<float>, 4> channelTemperatures(const std::array<MeasurementRecord, 4> &records,
                                                        const std::optional<ReferenceTemperatures> &coldJunction)
{
    std::array<std::optional<float>, 4> temperatures;
    for (int channel = 0; channel < 4; ++channel) {
        const unsigned code = records[channel].sensorCode();
        if (code == NO_SENSOR)
            continue;
        const bool thermocouple = isVoltageInputSensor(code) && code != VOLTAGE;
        if (thermocouple && !coldJunction)
            continue;
        float reference = 0.0f;
        if (coldJunction)
            reference = channel < 2 ? coldJunction->xt1xt2Temperature() : coldJunction->xt3xt4Temperature();
        temperatures[channel] = compensatedTemperature(code, records[channel].physicValue(), reference);
    }
    return temperatures;
}
