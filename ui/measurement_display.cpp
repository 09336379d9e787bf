// One refresh of the live values: on-board temperatures, then the four channels.
#include "mainwindow.h"

#include "channel_widgets.h"
#include "sensor_catalogue.h"
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
    const ModuleSnapshot snapshot = refresher.refresh();
    // Another request of the window was waiting: the module was not asked, nothing changes.
    if (snapshot.busy)
        return;
    showSnapshot(snapshot);
    updateLinkState();
}

// Fields that this refresh did not write keep their text but are marked stale.
void MainWindow::showSnapshot(const ModuleSnapshot &snapshot)
{
    for (QLineEdit *field : valueFields())
        setStale(field, true);
    if (snapshot.reference) {
        ui->xt1xt2TemperatureEdit->setText(formatFloat(snapshot.reference->xt1xt2Temperature()));
        ui->xt3xt4TemperatureEdit->setText(formatFloat(snapshot.reference->xt3xt4Temperature()));
        setStale(ui->xt1xt2TemperatureEdit, false);
        setStale(ui->xt3xt4TemperatureEdit, false);
    }
    if (snapshot.records && snapshot.states)
        showChannelMeasurements(snapshot);
}

void MainWindow::showChannelMeasurements(const ModuleSnapshot &snapshot)
{
    const auto &records = *snapshot.records;
    const auto &states = *snapshot.states;
    const auto channels = channelWidgets(ui);
    for (int i = 0; i < 4; ++i)
        channels[i].physicValue->setText(formatFloat(records[i].physicValue()));
    for (int i = 0; i < 4; ++i)
        channels[i].adc->setText(formatInt(states[i].adcCode(records[i])));
    for (int i = 0; i < 4; ++i)
        channels[i].gain->setText(formatInt(states[i].gain()));

    for (int i = 0; i < 4; ++i) {
        for (QLineEdit *field : {channels[i].physicValue, channels[i].adc, channels[i].gain})
            setStale(field, false);
        // A thermocouple read before any on-board temperature has no temperature yet:
        // its fields keep their text rather than show a guess.
        const std::optional<float> temperature = snapshot.temperatures[i];
        if (records[i].sensorCode() != NO_SENSOR && !temperature)
            continue;
        const QString text = temperature ? formatFloat(*temperature) : QString();
        channels[i].sensorTemperature->setText(text);
        channels[i].temperature->setText(text);
        setStale(channels[i].sensorTemperature, false);
        setStale(channels[i].temperature, false);
    }
}
