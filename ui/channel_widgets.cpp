#include "channel_widgets.h"

#include "ui_mainwindow.h"

std::array<ChannelWidgets, 4> channelWidgets(const Ui::MainWindow *ui)
{
    return {{
        {ui->ch1SensorCombo, ui->ch1ConnectionTypeCombo, ui->ch1ADC, ui->ch1PhysicValue, ui->ch1Gain,
         ui->ch1STemp, ui->ch1Temp, {ui->label_25, ui->label_7, ui->label_26, ui->label_9}},
        {ui->ch2SensorCombo, ui->ch2ConnectionTypeCombo, ui->ch2ADC, ui->ch2PhysicValue, ui->ch2Gain,
         ui->ch2STemp, ui->ch2Temp, {ui->label_28, ui->label_14, ui->label_27, ui->label_13}},
        {ui->ch3SensorCombo, ui->ch3ConnectionTypeCombo, ui->ch3ADC, ui->ch3PhysicValue, ui->ch3Gain,
         ui->ch3STemp, ui->ch3Temp, {ui->label_29, ui->label_19, ui->label_30, ui->label_18}},
        {ui->ch4SensorCombo, ui->ch4ConnectionTypeCombo, ui->ch4ADC, ui->ch4PhysicValue, ui->ch4Gain,
         ui->ch4STemp, ui->ch4Temp, {ui->label_31, ui->label_24, ui->label_32, ui->label_23}},
    }};
}
