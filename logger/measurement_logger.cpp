#include "measurement_logger.h"

#include "csv_format.h"
#include "csv_recorder.h"
#include "link_settings.h"
#include "mqtt_message.h"
#include "mqtt_publisher.h"


namespace {

QString counted(long long n, const char *singular, const char *plural)
{
    return QStringLiteral("%1 %2").arg(n).arg(QLatin1String(n == 1 ? singular : plural));
}

} // namespace

MeasurementLogger::MeasurementLogger(CsvRecorder &recorder, const QVector<int> &selectors, QObject *parent)
    : QObject(parent)
    , link(this)
    , line(link, selectors)
    , next(this)
    , recorder(recorder)
{
    next.setSingleShot(true);
    connect(&link, &Korun_MBProxy::msg4StatusBar, this, &MeasurementLogger::noteStatus);
    connect(&next, &QTimer::timeout, this, &MeasurementLogger::sweep);
}

bool MeasurementLogger::open(const QString &port, QString &error)
{
    configureLink(link, port, line.selector(0));
    link.connectDevice();
    if (link.isConnected())
        return true;
    error = QStringLiteral("cannot open %1: %2").arg(port, link.errorString());
    return false;
}

void MeasurementLogger::start(double periodSeconds, long long count)
{
    wanted = count;
    periodMs = qMax<qint64>(1, qint64(periodSeconds * 1000));
    clock.start();
    next.start(0);
}

// A sweep under way finishes first: its requests wait in nested event loops.
void MeasurementLogger::stop()
{
    stopRequested = true;
    if (!sweeping)
        finish();
}

void MeasurementLogger::noteStatus(const QString &text)
{
    if (text.startsWith(QLatin1String("Error: ")) || text == QLatin1String("Modbus disconnected")
        || text == QLatin1String("Modbus are busy!"))
        ++failedRequests;
    if (text == QLatin1String("Modbus disconnected"))
        ++reconnections;
}

// Sweeps start on a grid of periods; a sweep that overran starts the next at once and the
// grid moves on, so that late sweeps never pile up.
void MeasurementLogger::sweep()
{
    if (stopRequested)
        return;
    const qint64 startedMs = clock.elapsed();
    nextStartMs = qMax(nextStartMs + periodMs, startedMs);
    sweeping = true;
    const QVector<SweepRow> sweepRows = line.sweep();
    sweeping = false;
    for (const SweepRow &row : sweepRows) {
        rowLost = rowLost || !recorder.write(row);
        publish(row, rowStatus(row));
        ++rows;
    }
    ++sweeps;
    if (rowLost || stopRequested || (wanted > 0 && sweeps >= wanted))
        return finish();
    const qint64 now = clock.elapsed();
    if (now > nextStartMs)
        ++overruns;
    next.start(int(qMax<qint64>(0, nextStartMs - now)));
}

// One message per refresh of a module; a module not asked has nothing new to say but is
// no longer online.
void MeasurementLogger::publish(const SweepRow &row, const QString &status)
{
    if (!mqtt)
        return;
    if (row.asked)
        mqtt->publishState(row.selector, stateMessage(row.snapshot, ++published[row.selector], status));
    if (row.snapshot.complete())
        mqtt->publishOnline(row.selector, true);
    else if (!row.asked || isModuleFailure(row.snapshot.failure))
        mqtt->publishOnline(row.selector, false);
}

void MeasurementLogger::finish()
{
    next.stop();
    stopRequested = true;
    emit finished();
}

long long MeasurementLogger::completeRows() const
{
    long long complete = 0;
    for (int module = 0; module < line.moduleCount(); ++module)
        complete += line.health(module).completeRefreshes;
    return complete;
}

QString MeasurementLogger::summary() const
{
    QString text = QStringLiteral("korun-log: %1, %2, %3, %4, %5")
                       .arg(counted(rows, "refresh", "refreshes"),
                            counted(completeRows(), "complete row", "complete rows"),
                            counted(failedRequests, "failed request", "failed requests"),
                            counted(reconnections, "reconnection", "reconnections"),
                            counted(overruns, "period overrun", "period overruns"));
    for (int module = 0; module < line.moduleCount(); ++module) {
        const ModuleHealth &health = line.health(module);
        const quint8 address = busAddress(line.selector(module));
        text += QStringLiteral("\n  module %1 (%2): %3, %4, %5, last failure: %6")
                    .arg(QString::number(line.selector(module), 16).toUpper(), busAddressText(address),
                         counted(sweeps, "row", "rows"), counted(health.completeRefreshes, "complete", "complete"),
                         counted(health.failedRequests, "failed request", "failed requests"),
                         health.lastFailure.kind == RequestFailure::None ? QStringLiteral("none")
                                                                         : health.lastFailure.reason);
    }
    return text;
}
