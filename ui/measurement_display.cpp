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

// NaN or an infinity from the module is no reading: false, and the field keeps its text.
bool writeReading(QLineEdit *field, float value)
{
    if (!isReading(value))
        return false;
    field->setText(formatFloat(value));
    return true;
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
        if (writeReading(ui->xt1xt2TemperatureEdit, snapshot.reference->xt1xt2Temperature()))
            setStale(ui->xt1xt2TemperatureEdit, false);
        if (writeReading(ui->xt3xt4TemperatureEdit, snapshot.reference->xt3xt4Temperature()))
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
    for (int i = 0; i < 4; ++i) {
        if (writeReading(channels[i].physicValue, records[i].physicValue()))
            setStale(channels[i].physicValue, false);
    }
    for (int i = 0; i < 4; ++i)
        channels[i].adc->setText(formatInt(states[i].adcCode(records[i])));
    for (int i = 0; i < 4; ++i)
        channels[i].gain->setText(formatInt(states[i].gain()));

    for (int i = 0; i < 4; ++i) {
        for (QLineEdit *field : {channels[i].adc, channels[i].gain})
            setStale(field, false);
        // A thermocouple read before any on-board temperature has no temperature yet, nor
        // a channel whose value or on-board temperature is not a number: its fields keep
        // their text rather than show a guess.
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
