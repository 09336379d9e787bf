#pragma once

#include "korun_mbproxy.h"
#include "module_refresher.h"
#include "register_map.h"

#include <QList>
#include <QMainWindow>
#include <QTimer>

class QLabel;
class QLineEdit;

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

protected:
    // A Store under way finishes before the window goes.
    void closeEvent(QCloseEvent *event) override;

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
    enum class LinkAction { None, Connect, Disconnect };

    void fillChannelCombos();
    void applyProMode(bool proMode);
    void showSnapshot(const ModuleSnapshot &snapshot);
    void showChannelMeasurements(const ModuleSnapshot &snapshot);

    // Link state and the trust marks of the value fields.
    void setUpLinkState();
    QList<QLineEdit *> valueFields() const;
    void setStale(QLineEdit *field, bool stale);
    void markAllStale();
    void noteExchange(bool answered);
    void updateLinkState();
    bool storeConfirmed(const std::array<ChannelChoice, 4> &choices);

    Ui::MainWindow *ui;
    Korun_MBProxy proxy;
    QTimer timer;
    QList<QWidget *> proModeWidgets;
    ModuleRefresher refresher;
    QLabel *linkStateLabel = nullptr;
    // Set after a Store whose writing failed part-way, until a Store or Read succeeds.
    QString storeWarning;
    bool storing = false;
    // The channel settings on the form came from a module by a Read in this run; until then
    // they are the start-up defaults or the operator's guesses, and Store asks first.
    bool settingsFromRead = false;
    // What the operator asked for while a Store was under way.
    LinkAction deferredLinkAction = LinkAction::None;
    bool closeAfterStore = false;
};
