#pragma once

#include "korun_mbproxy.h"
#include "line_poller.h"
#include "link_timing_options.h"
#include "slow_module_watch.h"

#include <QObject>

class CsvRecorder;
class MqttPublisher;

// Refreshes the modules of one line every period and writes one CSV row per module and
// refresh.
class MeasurementLogger : public QObject
{
    Q_OBJECT

public:
    MeasurementLogger(CsvRecorder &recorder, const QVector<int> &selectors, QObject *parent = nullptr);

    // Every module's refresh also goes to the publisher, which must outlive the logger.
    void setPublisher(MqttPublisher *publisher) { mqtt = publisher; }
    // Opens the port; false with the reason when it cannot be opened.
    bool open(const QString &port, LinkTiming timing, QString &error);
    // Starts refreshing; finished() follows after `count` periods (0: never), stop(), or a
    // row that could not be written (writeFailed()).
    void start(double periodSeconds, long long count);
    void stop() { poller.stop(); }

    long long completeRows() const;
    bool writeFailed() const { return rowLost; }
    QString summary() const;

signals:
    void finished();
    // For an operator at a terminal: a slow module, a slow USB adapter.
    void warning(const QString &text);

private:
    void record(const QVector<SweepRow> &rows);
    void publish(const SweepRow &row, const QString &status);
    void noteStatus(const QString &text);

    Korun_MBProxy link;
    LinePoller poller;
    SlowModuleWatch slowModules;
    CsvRecorder &recorder;
    MqttPublisher *mqtt = nullptr;
    QVector<long long> published = QVector<long long>(16, 0); // per address switch, for seq
    bool rowLost = false;
    long long wanted = 0;
    long long rows = 0, reconnections = 0;
};
