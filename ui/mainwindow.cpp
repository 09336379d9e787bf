#include "mainwindow.h"

#include "channel_widgets.h"
#include "link_settings.h"
#include "sensor_catalogue.h"
#include "ui_mainwindow.h"

#include <QCloseEvent>
#include <QMessageBox>
#include <QModbusDevice>

namespace {

constexpr int statusMessageMs = 3000;

// Timer intervals are whole milliseconds; the period is truncated, not rounded.
int periodToMs(double seconds)
{
    return static_cast<int>(seconds * 1000);
}

} // namespace

MainWindow::MainWindow(bool proMode, QWidget *parent)
    : QMainWindow(parent)
    , ui(new Ui::MainWindow)
    , proxy(this)
    , timer(this)
    , refresher(proxy)
{
    ui->setupUi(this);
    timer.setSingleShot(false);
    connect(&timer, &QTimer::timeout, this, &MainWindow::onTimerTimeout);
    connect(&proxy, &Korun_MBProxy::msg4StatusBar, this, &MainWindow::on_msg4StatusBar);
    fillChannelCombos();
    applyProMode(proMode);
    setUpLinkState();
}

MainWindow::~MainWindow()
{
    // The proxy's base closes the port as it goes, after the widgets are gone.
    disconnect(&proxy, nullptr, this, nullptr);
    delete ui;
}

void MainWindow::fillChannelCombos()
{
    const auto channels = channelWidgets(ui);
    for (const char *const *name = sensorTypeNames; *name; ++name) {
        for (const ChannelWidgets &channel : channels)
            channel.sensorCombo->addItem(QIcon(), QString::fromLatin1(*name));
    }
    for (const char *const *name = connectionTypeNames; *name; ++name) {
        for (const ChannelWidgets &channel : channels)
            channel.connectionTypeCombo->addItem(QIcon(), QString::fromLatin1(*name));
    }
}

void MainWindow::applyProMode(bool proMode)
{
    for (const ChannelWidgets &channel : channelWidgets(ui)) {
        for (QLabel *label : channel.proModeLabels)
            proModeWidgets.append(label);
        proModeWidgets << channel.adc << channel.physicValue << channel.gain << channel.sensorTemperature;
    }
    proModeWidgets << ui->addrSw0Top << ui->addrSw0Left;
    for (QWidget *widget : qAsConst(proModeWidgets))
        widget->setVisible(proMode);
}

void MainWindow::closeEvent(QCloseEvent *event)
{
    if (storing) {
        closeAfterStore = true;
        event->ignore();
        return;
    }
    QMainWindow::closeEvent(event);
}

// Connect and Disconnect wait for a Store under way: cutting it would leave the module
// with part of a configuration.
void MainWindow::on_connectBtn_clicked()
{
    if (storing) {
        deferredLinkAction = LinkAction::Connect;
        return;
    }
    if (proxy.isConnected())
        proxy.disconnectDevice();
    configureLink(proxy, ui->portEdit->text(), ui->mbAddressOffset->currentIndex());
    proxy.connectDevice();
    refresher.resetHealth();
    updateLinkState();
    if (proxy.isConnected())
        return;
    QMessageBox::critical(this, QStringLiteral("Критическая ошибка"),
                          QStringLiteral("Не удалось подключиться к RS-485: ") + proxy.errorString());
}

void MainWindow::on_disconnectBtn_clicked()
{
    if (storing) {
        deferredLinkAction = LinkAction::Disconnect;
        return;
    }
    proxy.disconnectDevice();
    refresher.health().failingSince = QDateTime();
    updateLinkState();
}

// A change of selection only edits the configuration to be stored; nothing is sent.
void MainWindow::on_ch1SensorCombo_currentIndexChanged(int) {}
void MainWindow::on_ch1ConnectionTypeCombo_currentIndexChanged(int) {}
void MainWindow::on_ch2SensorCombo_currentIndexChanged(int) {}
void MainWindow::on_ch2ConnectionTypeCombo_currentIndexChanged(int) {}
void MainWindow::on_ch3SensorCombo_currentIndexChanged(int) {}
void MainWindow::on_ch3ConnectionTypeCombo_currentIndexChanged(int) {}
void MainWindow::on_ch4SensorCombo_currentIndexChanged(int) {}
void MainWindow::on_ch4ConnectionTypeCombo_currentIndexChanged(int) {}

void MainWindow::on_autoUpdatePeriod_valueChanged(double arg1)
{
    timer.setInterval(periodToMs(arg1));
}

void MainWindow::on_autoUpdateCheck_stateChanged(int arg1)
{
    if (arg1 == 0)
        timer.stop();
    else
        timer.start(periodToMs(ui->autoUpdatePeriod->value()));
}

void MainWindow::on_msg4StatusBar(QString _msg)
{
    ui->statusBar->showMessage(_msg, statusMessageMs);
}
