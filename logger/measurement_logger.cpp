#include "measurement_logger.h"

#include "channel_alarm_log.h"
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
    , poller(link, selectors)
    , recorder(recorder)
{
    connect(&link, &Korun_MBProxy::msg4StatusBar, this, &MeasurementLogger::noteStatus);
    connect(&poller, &LinePoller::swept, this, &MeasurementLogger::record);
    connect(&poller, &LinePoller::stopped, this, &MeasurementLogger::finished);
}

bool MeasurementLogger::open(const QString &port, LinkTiming timing, QString &error)
{
    configureLink(link, port, poller.line().selector(0));
    link.setTimeout(timing.timeoutMs);
    link.setNumberOfRetries(timing.retries);
    link.connectDevice();
    if (link.isConnected()) {
        if (!link.adapterLatencyAdvice().isEmpty())
            emit warning(link.adapterLatencyAdvice());
        return true;
    }
    error = QStringLiteral("cannot open %1: %2").arg(port, link.errorString());
    return false;
}

void MeasurementLogger::start(double periodSeconds, long long count)
{
    wanted = count;
    poller.start(periodSeconds);
}

// A request that found the link closed reopens it: a reconnection.
void MeasurementLogger::noteStatus(const QString &text)
{
    if (text == QLatin1String("Modbus disconnected"))
        ++reconnections;
}

void MeasurementLogger::record(const QVector<SweepRow> &sweepRows)
{
    for (const SweepRow &row : sweepRows) {
        const QString slow = slowModules.note(row, double(poller.period()));
        if (!slow.isEmpty())
            emit warning(slow);
        rowLost = rowLost || !recorder.write(row);
        followChannelAlarms(row.snapshot);
        publish(row, rowStatus(row));
        ++rows;
    }
    if (rowLost || (wanted > 0 && poller.sweeps() >= wanted))
        poller.stop();
}

// One message per refresh of a module; a module not asked has nothing new to say. Online
// means answering: a backed-off module is not, nor one whose refresh failed on its own
// account; a refresh that found this program busy says nothing either way.
void MeasurementLogger::publish(const SweepRow &row, const QString &status)
{
    if (!mqtt)
        return;
    if (row.asked)
        mqtt->publishState(row.selector, stateMessage(row.snapshot, mqtt->line(), ++published[row.selector], status));
    if (row.snapshot.complete())
        mqtt->publishOnline(row.selector, true);
    else if (!row.asked || row.backedOff || isModuleFailure(row.snapshot.failure))
        mqtt->publishOnline(row.selector, false);
}

long long MeasurementLogger::completeRows() const
{
    long long complete = 0;
    const ModuleLine &line = poller.line();
    for (int module = 0; module < line.moduleCount(); ++module)
        complete += line.health(module).completeRefreshes;
    return complete;
}

// The total of failed requests is the sum of the modules': each counts what its own
// refreshes met.
QString MeasurementLogger::summary() const
{
    long long failedRequests = 0;
    const ModuleLine &line = poller.line();
    for (int module = 0; module < line.moduleCount(); ++module)
        failedRequests += line.health(module).failedRequests;
    QString text = QStringLiteral("korun-log: %1, %2, %3, %4, %5")
                       .arg(counted(rows, "refresh", "refreshes"),
                            counted(completeRows(), "complete row", "complete rows"),
                            counted(failedRequests, "failed request", "failed requests"),
                            counted(reconnections, "reconnection", "reconnections"),
                            counted(poller.overruns(), "period overrun", "period overruns"));
    for (int module = 0; module < line.moduleCount(); ++module) {
        const ModuleHealth &health = line.health(module);
        const quint8 address = busAddress(line.selector(module));
        text += QStringLiteral("\n  module %1 (%2): %3, %4, %5, last failure: %6")
                    .arg(QString::number(line.selector(module), 16).toUpper(), busAddressText(address),
                         counted(poller.sweeps(), "row", "rows"), counted(health.completeRefreshes, "complete", "complete"),
                         counted(health.failedRequests, "failed request", "failed requests"),
                         health.lastFailure.kind == RequestFailure::None ? QStringLiteral("none")
                                                                         : health.lastFailure.reason);
        text += QStringLiteral("\n    ") + link.exchangeStats(address).summary();
    }
    return text;
}
