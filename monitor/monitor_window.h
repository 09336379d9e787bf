#pragma once

#include "link_settings.h"
#include "link_timing_options.h"
#include "slow_module_watch.h"
#include "csv_recorder.h"
#include "korun_mbproxy.h"
#include "line_poller.h"
#include "live_table_model.h"
#include "trend_history.h"

#include <QMainWindow>
#include <QTimer>

#include <memory>

class QComboBox;
class QDoubleSpinBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QStandardItemModel;
class TrendPlot;

struct MonitorSettings {
    QString port;
    LinkTiming timing = defaultLinkTiming;
    QVector<int> selectors = {0};
    double periodSeconds = 1.0;
    QString recordPath;
};

// The line at a glance: a live table of every module's channels with alarms, a trend of
// the chosen channels with statistics over the visible span, recording to CSV in
// korun-log's format, and the line's traffic.
class MonitorWindow : public QMainWindow
{
    Q_OBJECT

public:
    explicit MonitorWindow(const MonitorSettings &settings, QWidget *parent = nullptr);
    ~MonitorWindow() override;

    // Polls the line with the settings in the window; false with the reason in the status bar.
    bool startPolling();
    bool startRecording(const QString &path);
    // Finds the modules that answer and takes them as the modules to poll.
    void scanLine();
    // Ends polling after the sweep under way, closes the recording, then quits the application.
    void finishAndQuit();
    // A row could not be recorded (disk full...) during the run.
    bool recordingFailed() const { return recordingLost; }

signals:
    // What an operator at a terminal sees too: every alarm entry, a recording that stopped.
    void reported(const QString &text);

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    QWidget *buildConnectionRow();
    QWidget *buildTrendTab();
    void toggle();
    void stopPolling();
    void onSwept(const QVector<SweepRow> &rows);
    void onAlarm(int row, ChannelAlarm::Kind kind);
    void onModuleAlarm(int module, bool raised, const QString &failure);
    void addAlarmEntry(const QString &subject, const QString &what);
    void toggleRecording();
    void stopRecording(const QString &why);
    void updatePlotChannels();
    void updateStatistics();

    void showLineHealth(const QVector<SweepRow> &rows);

    Korun_MBProxy proxy;
    LinkTiming timing;
    std::unique_ptr<LinePoller> poller;
    SlowModuleWatch slowModules;
    QLabel *lineHealthLabel = nullptr;
    CsvRecorder recorder;
    LiveTableModel model;
    TrendHistory history;
    TrendPlot *plot = nullptr;
    QStandardItemModel *statistics = nullptr;
    QListWidget *alarms = nullptr;
    QLineEdit *portEdit = nullptr;
    QLineEdit *addressEdit = nullptr;
    QDoubleSpinBox *periodSpin = nullptr;
    QPushButton *startButton = nullptr;
    QPushButton *scanButton = nullptr;
    QPushButton *recordButton = nullptr;
    QLabel *recordingLabel = nullptr;
    QTimer ages;
    bool quitWhenStopped = false;
    bool recordingLost = false;
};
