#pragma once

#include "csv_format.h"
#include "korun_mbproxy.h"

#include <QObject>
#include <QStringList>
#include <QTextStream>
#include <QTimer>

class QIODevice;

// Refreshes the module's live values on a timer and writes one CSV row per refresh.
class MeasurementLogger : public QObject
{
    Q_OBJECT

public:
    explicit MeasurementLogger(QIODevice &output, QObject *parent = nullptr);

    Korun_MBProxy &proxy() { return link; }
    // Opens the port; false with the reason when it cannot be opened.
    bool open(const QString &port, int selector, QString &error);
    // Starts refreshing; finished() follows after `count` refreshes (0: never) or stop().
    void start(double periodSeconds, long long count, bool writeHeader);
    void stop();
    QString summary() const;

signals:
    void finished();

private:
    void refresh();
    void noteStatus(const QString &text);
    void finishIfDue();

    Korun_MBProxy link;
    QTimer timer;
    QTextStream out;
    QIODevice &device;
    std::optional<ReferenceTemperatures> lastReference;
    QStringList failures; // of the refresh under way
    bool refreshing = false;
    bool stopRequested = false;
    long long wanted = 0;
    long long refreshes = 0, completeRows = 0, failedRequests = 0, reconnections = 0;
};
