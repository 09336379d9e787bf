#include "measurement_logger.h"

#include "csv_format.h"
#include "link_settings.h"

#include <QFileDevice>

namespace {

QString counted(long long n, const char *singular, const char *plural)
{
    return QStringLiteral("%1 %2").arg(n).arg(QLatin1String(n == 1 ? singular : plural));
}

} // namespace

MeasurementLogger::MeasurementLogger(QIODevice &output, QObject *parent)
    : QObject(parent)
    , link(this)
    , refresher(link)
    , timer(this)
    , output(output)
{
    connect(&link, &Korun_MBProxy::msg4StatusBar, this, &MeasurementLogger::noteStatus);
    connect(&timer, &QTimer::timeout, this, &MeasurementLogger::refresh);
}

bool MeasurementLogger::open(const QString &port, int selector, QString &error)
{
    configureLink(link, port, selector);
    link.connectDevice();
    if (link.isConnected())
        return true;
    error = QStringLiteral("cannot open %1: %2").arg(port, link.errorString());
    return false;
}

void MeasurementLogger::start(double periodSeconds, long long count, bool writeHeader)
{
    if (writeHeader && !writeLine(csvHeader())) {
        QTimer::singleShot(0, this, &MeasurementLogger::finish);
        return;
    }
    wanted = count;
    timer.start(qMax(1, int(periodSeconds * 1000)));
    QTimer::singleShot(0, this, &MeasurementLogger::refresh);
}

void MeasurementLogger::stop()
{
    stopRequested = true;
    if (!refreshing)
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

// Each row reaches the file system as soon as it is written, so a pulled cable or a killed
// process loses at most the row being written; a row that cannot be stored ends the run.
bool MeasurementLogger::writeLine(const QString &line)
{
    const QByteArray bytes = line.toUtf8() + '\n';
    auto *file = qobject_cast<QFileDevice *>(&output);
    if (output.write(bytes) != bytes.size() || (file && !file->flush())) {
        outputError = output.errorString();
        return false;
    }
    return true;
}

void MeasurementLogger::refresh()
{
    if (refreshing || stopRequested)
        return;
    refreshing = true;
    const ModuleSnapshot snapshot = refresher.refresh();
    QString status = snapshot.complete() ? QStringLiteral("ok") : snapshot.failures.join(QLatin1String("; "));
    if (status.isEmpty())
        status = QStringLiteral("failed");
    ++refreshes;
    const bool written = writeLine(csvRow(snapshot, status));
    refreshing = false;
    if (!written || stopRequested || (wanted > 0 && refreshes >= wanted))
        finish();
}

void MeasurementLogger::finish()
{
    timer.stop();
    stopRequested = true;
    emit finished();
}

QString MeasurementLogger::summary() const
{
    return QStringLiteral("korun-log: %1, %2, %3, %4")
        .arg(counted(refreshes, "refresh", "refreshes"), counted(completeRows(), "complete row", "complete rows"),
             counted(failedRequests, "failed request", "failed requests"),
             counted(reconnections, "reconnection", "reconnections"));
}
