#pragma once

#include "korun_mbproxy.h"
#include "module_line.h"

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

class MqttPublisher;
class QIODevice;

// Refreshes the modules of one line every period and writes one CSV row per module and
// refresh.
class MeasurementLogger : public QObject
{
    Q_OBJECT

public:
    MeasurementLogger(QIODevice &output, const QVector<int> &selectors, QObject *parent = nullptr);

    // Every module's refresh also goes to the publisher, which must outlive the logger.
    void setPublisher(MqttPublisher *publisher) { mqtt = publisher; }
    // Opens the port; false with the reason when it cannot be opened.
    bool open(const QString &port, QString &error);
    // Starts refreshing; finished() follows after `count` periods (0: never), stop(), or a
    // row that could not be written (writeError() then says why).
    void start(double periodSeconds, long long count, bool writeHeader);
    void stop();

    long long completeRows() const;
    QString writeError() const { return outputError; }
    QString summary() const;

signals:
    void finished();

private:
    void sweep();
    void publish(const SweepRow &row, const QString &status);
    bool writeLine(const QString &line);
    void noteStatus(const QString &text);
    void finish();

    Korun_MBProxy link;
    ModuleLine line;
    QTimer next;
    QElapsedTimer clock;
    qint64 periodMs = 1000;
    qint64 nextStartMs = 0;
    QIODevice &output;
    MqttPublisher *mqtt = nullptr;
    QVector<long long> published = QVector<long long>(16, 0); // per address switch, for seq
    QString outputError;
    bool sweeping = false;
    bool stopRequested = false;
    long long wanted = 0;
    long long sweeps = 0, rows = 0, overruns = 0, failedRequests = 0, reconnections = 0;
};
