// Read and Store: moving the channel configuration between the window and the module.
#include "mainwindow.h"

#include "channel_widgets.h"
#include "sensor_catalogue.h"
#include "ui_mainwindow.h"

#include <QComboBox>

namespace {

constexpr int configurationWriteChunks =
    (RegisterMap::configurationCount + RegisterMap::maxWriteCount - 1) / RegisterMap::maxWriteCount;

} // namespace

void MainWindow::on_readBtn_clicked()
{
    ConfigurationImage image;
    const bool read = proxy.readConfiguration(image);
    if (read)
        storeWarning.clear();
    noteExchange(read);
    if (!read)
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
    const int blank = channelWithoutConnection(choices);
    if (blank >= 0) {
        on_msg4StatusBar(QStringLiteral("Channel %1: choose the connection type (2, 3 or 4 wires) of the %2 "
                                        "before storing; nothing was stored.")
                             .arg(blank + 1)
                             .arg(QLatin1String(sensorTypeNames[choices[blank].sensorCode])));
        return;
    }
    // A Store clicked during a Store is refused by the proxy as busy and changes nothing.
    if (storing) {
        proxy.storeConfiguration(choices, ui->addrSw0Left->isChecked());
        return;
    }
    storing = true;
    int written = 0;
    const bool stored = proxy.storeConfiguration(choices, ui->addrSw0Left->isChecked(), &written);
    storing = false;

    if (stored) {
        storeWarning.clear();
    } else if (written >= 0) {
        storeWarning = QStringLiteral("Store failed: %1 of %2 blocks written, the module's configuration may be "
                                      "incomplete")
                           .arg(written)
                           .arg(configurationWriteChunks);
    }
    noteExchange(stored);

    const LinkAction action = std::exchange(deferredLinkAction, LinkAction::None);
    if (action == LinkAction::Connect)
        on_connectBtn_clicked();
    else if (action == LinkAction::Disconnect)
        on_disconnectBtn_clicked();
    if (std::exchange(closeAfterStore, false))
        close();
}
