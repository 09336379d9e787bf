#pragma once

#include "korun_mbproxy.h"
#include "module_refresher.h"

#include <QObject>
#include <QTimer>

class QIODevice;

// Refreshes the module's live values on a timer and writes one CSV row per refresh.
class MeasurementLogger : public QObject
{
    Q_OBJECT

public:
    explicit MeasurementLogger(QIODevice &output, QObject *parent = nullptr);

    // Opens the port; false with the reason when it cannot be opened.
    bool open(const QString &port, int selector, QString &error);
    // Starts refreshing; finished() follows after `count` refreshes (0: never), stop(),
    // or a row that could not be written (writeError() then says why).
    void start(double periodSeconds, long long count, bool writeHeader);
    void stop();

    long long completeRows() const { return refresher.health().completeRefreshes; }
    QString writeError() const { return outputError; }
    QString summary() const;

signals:
    void finished();

private:
    void refresh();
    bool writeLine(const QString &line);
    void noteStatus(const QString &text);
    void finish();

    Korun_MBProxy link;
    ModuleRefresher refresher;
    QTimer timer;
    QIODevice &output;
    QString outputError;
    bool refreshing = false;
    bool stopRequested = false;
    long long wanted = 0;
    long long refreshes = 0, failedRequests = 0, reconnections = 0;
};
