#pragma once

#include "alarm_log.h"
#include "broker_line.h"
#include "channel_check.h"
#include "channel_file.h"
#include "csv_recorder.h"
#include "korun_mbproxy.h"
#include "line_poller.h"
#include "link_settings.h"
#include "link_timing_options.h"
#include "live_table_model.h"
#include "slow_module_watch.h"
#include "trend_history.h"

#include <QMainWindow>
#include <QTimer>

#include <memory>

class LineDirectory;
class QComboBox;
class QDoubleSpinBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QSplitter;
class QTabWidget;
class TrendTab;

struct MonitorSettings {
    QString port;
    LinkTiming timing = defaultLinkTiming;
    QVector<int> selectors = {0};
    double periodSeconds = 1.0;
    // --channels: the file the tags, limits and hidden marks come from and are saved to on
    // request; empty: they live in QSettings.
    QString channelsPath;
    ChannelFile channels;
    // With a host: the line is read from this broker, as a viewer, and never polled; without
    // a line, the user picks one of those the broker knows.
    BrokerLineSettings broker;
};

// The line at a glance: a table of the modules and their channels, a trend of the chosen
// channels with statistics over the visible span, the alarms, recording to CSV in
// korun-log's format, and the line's traffic.
class MonitorWindow : public QMainWindow
{
    Q_OBJECT

public:
    explicit MonitorWindow(const MonitorSettings &settings, QWidget *parent = nullptr);
    ~MonitorWindow() override;

    // Polls the line with the settings in the window; false with the reason in the status bar.
    bool startPolling();
    // Reads the broker's line (settings.broker); false with the reason in the status bar.
    bool startViewing();
    bool isViewer() const { return !broker.host.isEmpty(); }
    // Views another line of the broker: the recording of the one before stops, its alarms end
    // and its trend goes.
    void viewLine(const QString &line);
    LineSource *lineSource() const { return poller.get(); }
    bool startRecording(const QString &path);
    void scanLine();
    // Writes the tags, limits and hidden marks to the channel file (or `path`).
    bool saveChannels(const QString &path = QString());
    // Ends polling after the sweep under way, closes the recording, then quits the application.
    void finishAndQuit();
    bool recordingFailed() const { return recordingLost; }

    LiveTableModel &liveModel() { return model; }
    AlarmLog &alarmLog() { return alarms; }
    const TrendHistory &trendHistory() const { return history; }
    TrendTab *trendTab() const { return trend; }
    // A loop check of one channel (module * 4 + channel - 1) over the next refreshes, as
    // korun-check makes it; false with the reason in the status bar when it cannot start.
    bool checkChannel(int channel, CheckPoint point, int samples);

signals:
    // What an operator at a terminal sees too: every alarm entry, a recording that stopped.
    void reported(const QString &text);

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    QWidget *buildConnectionRow();
    void toggle();
    void stopPolling();
    void onSwept(const QVector<SweepRow> &rows);
    void onAlarm(int channel, ChannelAlarm::Kind was, ChannelAlarm::Kind now);
    void onModuleAlarm(int module, bool raised, const QString &failure);
    void report(const QString &subject, const QString &what);
    void endAlarmsOf(int module);
    int channelSource(int channel) const;
    int moduleSource(int module) const;
    QString moduleLabel(int module) const;
    QString channelLabel(int channel) const;
    void toggleRecording();
    void stopRecording(const QString &why);
    void updateTrendChannels();
    void chooseFirstTrendChannel();
    // New modules in the table, with the trend's channels chosen before.
    void setModules(const QVector<int> &selectors);
    void onChannelSettingsChanged();
    void updateTitle();
    void saveLayout();
    void showLineHealth(const QVector<SweepRow> &rows);
    void becomeViewer();
    void showLines();
    int moduleOf(int selector) const;
    void askForChannelCheck(int channel);
    void showCheckResult(const QStringList &lines, Verdict verdict);

    Korun_MBProxy proxy;
    LinkTiming timing;
    QString channelsPath;
    bool channelsChanged = false;
    bool trendChosen = false;
    bool restoringTrend = false;
    BrokerLineSettings broker;
    std::unique_ptr<LineSource> poller;
    SlowModuleWatch slowModules;
    CsvRecorder recorder;
    LiveTableModel model;
    AlarmLog alarms;
    ChannelCheck channelCheck;
    TrendHistory history;
    QSplitter *splitter = nullptr;
    QTabWidget *tabs = nullptr;
    TrendTab *trend = nullptr;
    QLabel *lineHealthLabel = nullptr;
    QLineEdit *portEdit = nullptr;
    QComboBox *lineCombo = nullptr;
    LineDirectory *lineDirectory = nullptr;
    QLineEdit *addressEdit = nullptr;
    QDoubleSpinBox *periodSpin = nullptr;
    QPushButton *startButton = nullptr;
    QPushButton *scanButton = nullptr;
    QPushButton *recordButton = nullptr;
    QPushButton *saveChannelsButton = nullptr;
    QLabel *recordingLabel = nullptr;
    QTimer ages;
    bool quitWhenStopped = false;
    bool recordingLost = false;
};
