#pragma once

#include "korun_mbproxy.h"
#include "register_map.h"

#include <QList>
#include <QMainWindow>
#include <QTimer>

#include <optional>

namespace Ui {
class MainWindow;
}

// The one window: connection row, live values of the four channels, and the channel
// configuration read from and stored to the module.
class MainWindow : public QMainWindow
{
    Q_OBJECT

public:
    explicit MainWindow(bool proMode, QWidget *parent = nullptr);
    ~MainWindow() override;

private slots:
    void on_connectBtn_clicked();
    void on_disconnectBtn_clicked();
    void on_ch1SensorCombo_currentIndexChanged(int index);
    void on_ch1ConnectionTypeCombo_currentIndexChanged(int index);
    void on_ch2SensorCombo_currentIndexChanged(int index);
    void on_ch2ConnectionTypeCombo_currentIndexChanged(int index);
    void on_ch3SensorCombo_currentIndexChanged(int index);
    void on_ch3ConnectionTypeCombo_currentIndexChanged(int index);
    void on_ch4SensorCombo_currentIndexChanged(int index);
    void on_ch4ConnectionTypeCombo_currentIndexChanged(int index);
    void onTimerTimeout();
    void on_autoUpdatePeriod_valueChanged(double arg1);
    void on_autoUpdateCheck_stateChanged(int arg1);
    void on_msg4StatusBar(QString _msg);
    void on_readBtn_clicked();
    void on_storeBtn_clicked();

private:
    void fillChannelCombos();
    void applyProMode(bool proMode);
    void showChannelMeasurements(const std::array<MeasurementRecord, 4> &records,
                                 const std::array<AdcState, 4> &states);

    Ui::MainWindow *ui;
    Korun_MBProxy proxy;
    QTimer timer;
    QList<QWidget *> proModeWidgets;
    // Cold-junction references of the last refresh whose reference read succeeded.
    std::optional<ReferenceTemperatures> lastReferenceTemperatures;
};
