// Read and Store: moving the channel configuration between the window and the module.
#include "mainwindow.h"

#include "channel_widgets.h"
#include "sensor_catalogue.h"
#include "ui_mainwindow.h"

#include "link_settings.h"

#include <QComboBox>
#include <QMessageBox>

namespace {

constexpr int configurationWriteChunks =
    (RegisterMap::configurationCount + RegisterMap::maxWriteCount - 1) / RegisterMap::maxWriteCount;

} // namespace

void MainWindow::on_readBtn_clicked()
{
    ConfigurationImage image;
    const bool read = proxy.readConfiguration(image);
    if (read) {
        storeWarning.clear();
        settingsFromRead = true;
    }
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
    if (!storeConfirmed(choices)) {
        on_msg4StatusBar(QStringLiteral("Nothing was stored."));
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

// Settings that were never read from a module would replace the module's whole setup with
// whatever the form holds: the operator sees what would be written and decides.
bool MainWindow::storeConfirmed(const std::array<ChannelChoice, 4> &choices)
{
    if (settingsFromRead)
        return true;
    QStringList lines;
    for (int i = 0; i < 4; ++i) {
        const ChannelChoice &choice = choices[std::size_t(i)];
        QString line = QStringLiteral("Channel %1: %2").arg(i + 1).arg(
            choice.sensorCode < sensorTypeCount ? QLatin1String(sensorTypeNames[choice.sensorCode])
                                                : QLatin1String("unchanged sensor code"));
        if (isResistiveSensor(choice.sensorCode))
            line += QStringLiteral(", ") + QLatin1String(connectionCodeName(choice.connectionCode));
        lines << line;
    }
    lines << QStringLiteral("Address switch: 0 is on the %1")
                 .arg(ui->addrSw0Left->isChecked() ? QStringLiteral("left") : QStringLiteral("top"));
    QMessageBox box(QMessageBox::Question, QStringLiteral("Store"),
                    QStringLiteral("The channel settings were not read from a module since the program started. "
                                   "Store them to module %1 anyway, replacing its configuration?\n\n%2")
                        .arg(busAddressText(proxy.serverAddress), lines.join(QLatin1Char('\n'))),
                    QMessageBox::NoButton, this);
    QPushButton *yes = box.addButton(QMessageBox::Yes);
    box.setDefaultButton(box.addButton(QMessageBox::No));
    box.exec();
    return box.clickedButton() == yes;
}
