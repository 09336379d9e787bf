#include "measurement_logger.h"

#include <QDateTime>
#include <QFileDevice>

namespace {

// Texts of a request that went through or of the link's normal life; everything else the
// proxy reports is a failure worth a place in the row.
bool isRoutine(const QString &text)
{
    static const QStringList routine = {"Request sent", "Ready", "Modbus connecting", "Modbus connected",
                                        "Modbus closing", "Modbus unconnected"};
    return routine.contains(text);
}

} // namespace

MeasurementLogger::MeasurementLogger(QIODevice &output, QObject *parent)
    : QObject(parent)
    , link(this)
    , timer(this)
    , out(&output)
    , device(output)
{
    out.setCodec("UTF-8");
    connect(&link, &Korun_MBProxy::msg4StatusBar, this, &MeasurementLogger::noteStatus);
    connect(&timer, &QTimer::timeout, this, &MeasurementLogger::refresh);
}

bool MeasurementLogger::open(const QString &port, int selector, QString &error)
{
    link.setConnectionParameter(QModbusDevice::SerialPortNameParameter, port);
    link.setConnectionParameter(QModbusDevice::SerialParityParameter, 0);
    link.setConnectionParameter(QModbusDevice::SerialBaudRateParameter, 115200);
    link.setConnectionParameter(QModbusDevice::SerialDataBitsParameter, 8);
    link.setConnectionParameter(QModbusDevice::SerialStopBitsParameter, 1);
    link.serverAddress = quint8(176 + selector);
    link.setTimeout(200);
    link.setNumberOfRetries(3);
    link.connectDevice();
    if (link.isConnected())
        return true;
    error = QStringLiteral("cannot open %1: %2").arg(port, link.errorString());
    return false;
}

void MeasurementLogger::start(double periodSeconds, long long count, bool writeHeader)
{
    if (writeHeader) {
        out << csvHeader() << '\n';
        out.flush();
    }
    wanted = count;
    timer.start(qMax(1, int(periodSeconds * 1000)));
    QTimer::singleShot(0, this, &MeasurementLogger::refresh);
}

void MeasurementLogger::stop()
{
    stopRequested = true;
    if (!refreshing)
        finishIfDue();
}

void MeasurementLogger::noteStatus(const QString &text)
{
    if (text.startsWith(QLatin1String("Error: ")) || text == QLatin1String("Modbus disconnected")
        || text == QLatin1String("Modbus are busy!"))
        ++failedRequests;
    if (text == QLatin1String("Modbus disconnected"))
        ++reconnections;
    if (refreshing && !isRoutine(text) && !failures.contains(text))
        failures << text;
}

void MeasurementLogger::refresh()
{
    if (refreshing || stopRequested)
        return;
    refreshing = true;
    failures.clear();
    RefreshResult result;
    result.time = QDateTime::currentDateTimeUtc().toString(Qt::ISODateWithMs);

    ReferenceTemperatures reference;
    if (link.readReferenceTemperatures(reference)) {
        result.reference = reference;
        lastReference = reference;
    }
    result.coldJunction = lastReference;
    std::array<MeasurementRecord, 4> records;
    if (link.readChannelMeasurements(records)) {
        result.records = records;
        std::array<AdcState, 4> states;
        if (link.readAdcStates(states))
            result.states = states;
    }
    const bool complete = result.reference && result.records && result.states;
    result.status = complete ? QStringLiteral("ok") : failures.join(QLatin1String("; "));
    if (result.status.isEmpty())
        result.status = QStringLiteral("failed");

    // Each row is flushed to the file system as soon as it is written, so a pulled cable or
    // a killed process loses at most the row being written.
    out << csvRow(result) << '\n';
    out.flush();
    if (auto *file = qobject_cast<QFileDevice *>(&device))
        file->flush();

    ++refreshes;
    completeRows += complete ? 1 : 0;
    refreshing = false;
    finishIfDue();
}

void MeasurementLogger::finishIfDue()
{
    if (stopRequested || (wanted > 0 && refreshes >= wanted)) {
        timer.stop();
        stopRequested = true;
        emit finished();
    }
}

QString MeasurementLogger::summary() const
{
    return QStringLiteral("korun-log: %1 refreshes, %2 complete rows, %3 failed requests, %4 reconnections")
        .arg(refreshes)
        .arg(completeRows)
        .arg(failedRequests)
        .arg(reconnections);
}
