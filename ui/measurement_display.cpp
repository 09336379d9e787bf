// One refresh of the live values: on-board temperatures, then the four channels.
#include "mainwindow.h"

#include "channel_widgets.h"
#include "sensor_catalogue.h"
#include "temperature_routing.h"
#include "ui_mainwindow.h"

namespace {

// printf-style and locale-independent: always a point as decimal separator.
QString formatFloat(float value)
{
    return QString::asprintf("%f", static_cast<double>(value));
}

QString formatInt(int value)
{
    return QString::asprintf("%d", value);
}

} // namespace

void MainWindow::onTimerTimeout()
{
    ReferenceTemperatures reference;
    if (proxy.readReferenceTemperatures(reference)) {
        ui->xt1xt2TemperatureEdit->setText(formatFloat(reference.xt1xt2Temperature()));
        ui->xt3xt4TemperatureEdit->setText(formatFloat(reference.xt3xt4Temperature()));
        lastReferenceTemperatures = reference;
    }

    std::array<MeasurementRecord, 4> records;
    std::array<AdcState, 4> states;
    if (!proxy.readChannelMeasurements(records) || !proxy.readAdcStates(states))
        return;
    showChannelMeasurements(records, states);
}

void MainWindow::showChannelMeasurements(const std::array<MeasurementRecord, 4> &records,
                                         const std::array<AdcState, 4> &states)
{
    const auto channels = channelWidgets(ui);
    for (int i = 0; i < 4; ++i)
        channels[i].physicValue->setText(formatFloat(records[i].physicValue()));
    for (int i = 0; i < 4; ++i)
        channels[i].adc->setText(formatInt(states[i].adcCode(records[i])));
    for (int i = 0; i < 4; ++i)
        channels[i].gain->setText(formatInt(states[i].gain()));

    for (int i = 0; i < 4; ++i) {
        const unsigned code = records[i].sensorCode();
        QString text;
        if (code != NO_SENSOR) {
            // A thermocouple needs a cold-junction reference; until one has been read
            // its temperature fields keep their text rather than show a guess.
            const bool thermocouple = isVoltageInputSensor(code) && code != VOLTAGE;
            if (thermocouple && !lastReferenceTemperatures)
                continue;
            float coldJunction = 0.0f;
            if (lastReferenceTemperatures) {
                coldJunction = i < 2 ? lastReferenceTemperatures->xt1xt2Temperature()
                                     : lastReferenceTemperatures->xt3xt4Temperature();
            }
            text = formatFloat(compensatedTemperature(code, records[i].physicValue(), coldJunction));
        }
        channels[i].sensorTemperature->setText(text);
        channels[i].temperature->setText(text);
    }
}
