// Where the link stands, at the right of the status bar, and which value fields are
// stale: the status texts last three seconds, this lasts until it stops being true.
#include "mainwindow.h"

#include "channel_widgets.h"
#include "ui_mainwindow.h"

#include <QLabel>

void MainWindow::setUpLinkState()
{
    linkStateLabel = new QLabel(this);
    linkStateLabel->setObjectName(QStringLiteral("linkStateLabel"));
    ui->statusBar->addPermanentWidget(linkStateLabel);
    // A closed link, whatever closed it, means the fields no longer follow the module.
    connect(&proxy, &QModbusDevice::stateChanged, this, [this](QModbusDevice::State state) {
        if (state == QModbusDevice::UnconnectedState)
            markAllStale();
    });
    markAllStale();
    updateLinkState();
}

QList<QLineEdit *> MainWindow::valueFields() const
{
    QList<QLineEdit *> fields = {ui->xt1xt2TemperatureEdit, ui->xt3xt4TemperatureEdit};
    for (const ChannelWidgets &channel : channelWidgets(ui))
        fields << channel.physicValue << channel.adc << channel.gain << channel.sensorTemperature << channel.temperature;
    return fields;
}

// Stale text is greyed; the property lets tools and tests ask.
void MainWindow::setStale(QLineEdit *field, bool stale)
{
    if (field->property("stale").toBool() == stale && field->property("stale").isValid())
        return;
    field->setProperty("stale", stale);
    QPalette palette = field->parentWidget()->palette();
    if (stale) {
        palette.setColor(QPalette::Text, palette.color(QPalette::Disabled, QPalette::Text));
        palette.setColor(QPalette::Base, palette.color(QPalette::Window));
    }
    field->setPalette(palette);
}

void MainWindow::markAllStale()
{
    for (QLineEdit *field : valueFields())
        setStale(field, true);
}

// Read and Store tell about the module as much as a refresh does.
void MainWindow::noteExchange(bool answered)
{
    const QDateTime now = QDateTime::currentDateTimeUtc();
    if (answered)
        refresher.health().noteAnswer(now);
    else if (isModuleFailure(proxy.lastFailure()))
        refresher.health().noteFailure(proxy.lastFailure(), now);
    updateLinkState();
}

void MainWindow::updateLinkState()
{
    const ModuleHealth &health = refresher.health();
    QString text;
    if (!proxy.isConnected() && !health.failing())
        text = QStringLiteral("Disconnected");
    else
        text = healthText(health, proxy.serverAddress) + QStringLiteral(" · ") + refreshCountText(health);
    if (!storeWarning.isEmpty())
        text = storeWarning + QStringLiteral(" · ") + text;
    linkStateLabel->setText(text);
}
