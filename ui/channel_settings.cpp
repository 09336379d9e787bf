// Read and Store: moving the channel configuration between the window and the module.
#include "mainwindow.h"

#include "channel_widgets.h"
#include "ui_mainwindow.h"

#include <QComboBox>

void MainWindow::on_readBtn_clicked()
{
    ConfigurationImage image;
    if (!proxy.readConfiguration(image))
        return;
    const auto channels = channelWidgets(ui);
    // Codes outside a combo's list (connection codes 0 and 5, unknown sensors) leave the
    // combo without a current item.
    for (int i = 0; i < 4; ++i)
        channels[i].sensorCombo->setCurrentIndex(image.sensorCode(i));
    for (int i = 0; i < 4; ++i)
        channels[i].connectionTypeCombo->setCurrentIndex(image.connectionCode(i) - 2);
    if (image.addressSwitchZeroLeft())
        ui->addrSw0Left->setChecked(true);
    else
        ui->addrSw0Top->setChecked(true);
}

void MainWindow::on_storeBtn_clicked()
{
    std::array<ChannelChoice, 4> choices;
    const auto channels = channelWidgets(ui);
    for (int i = 0; i < 4; ++i) {
        choices[i].sensorCode = static_cast<quint8>(channels[i].sensorCombo->currentIndex());
        choices[i].connectionCode = static_cast<quint8>(channels[i].connectionTypeCombo->currentIndex() + 2);
    }
    proxy.storeConfiguration(choices, ui->addrSw0Left->isChecked());
}
