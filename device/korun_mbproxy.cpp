#include "korun_mbproxy.h"

#include "adapter_latency.h"
#include "line_watch.h"

#include <QDebug>
#include <QElapsedTimer>
#include <QModbusReply>
#include <QSerialPort>
#include <QTimer>

#include <memory>

namespace {

// Slack on top of the client's own timeout and retries before a wait is given up.
constexpr int replyDeadlineMarginMs = 500;

QString errorPrefix(QModbusDevice::Error error)
{
    switch (error) {
    case QModbusDevice::NoError: return QString();
    case QModbusDevice::ReadError: return QStringLiteral("Modbus ReadError");
    case QModbusDevice::WriteError: return QStringLiteral("Modbus WriteError");
    case QModbusDevice::ConnectionError: return QStringLiteral("Modbus ConnectionError");
    case QModbusDevice::ConfigurationError: return QStringLiteral("Modbus ConfigurationError");
    case QModbusDevice::TimeoutError: return QStringLiteral("Modbus TimeoutError");
    case QModbusDevice::ProtocolError: return QStringLiteral("Modbus ProtocolError");
    case QModbusDevice::ReplyAbortedError: return QStringLiteral("Modbus ReplyAbortedError");
    case QModbusDevice::UnknownError: return QStringLiteral("Modbus UnknownError");
    }
    return QString();
}

QString exceptionMeaning(QModbusPdu::ExceptionCode code)
{
    switch (code) {
    case QModbusPdu::IllegalFunction: return QStringLiteral("illegal function");
    case QModbusPdu::IllegalDataAddress: return QStringLiteral("illegal data address");
    case QModbusPdu::IllegalDataValue: return QStringLiteral("illegal data value");
    case QModbusPdu::ServerDeviceFailure: return QStringLiteral("server device failure");
    case QModbusPdu::Acknowledge: return QStringLiteral("acknowledge");
    case QModbusPdu::ServerDeviceBusy: return QStringLiteral("server device busy");
    case QModbusPdu::MemoryParityError: return QStringLiteral("memory parity error");
    case QModbusPdu::GatewayPathUnavailable: return QStringLiteral("gateway path unavailable");
    case QModbusPdu::GatewayTargetDeviceFailedToRespond: return QStringLiteral("gateway target failed to respond");
    default: return QStringLiteral("unknown exception");
    }
}

bool isLinkFailure(QModbusDevice::Error error)
{
    return error == QModbusDevice::ReadError || error == QModbusDevice::WriteError
        || error == QModbusDevice::ConnectionError;
}

} // namespace

Korun_MBProxy::Korun_MBProxy(QObject *parent)
    : QModbusRtuSerialMaster(parent)
    , serverAddress(0)
    , requestLoop(this)
    , lineWatch(new LineWatch(findChild<QSerialPort *>(), this))
{
    connect(this, &QModbusDevice::stateChanged, this, &Korun_MBProxy::reportState);
    connect(this, &QModbusDevice::errorOccurred, this, &Korun_MBProxy::reportError);
}

// The base class closes the port in its destructor; by then this part of the object is
// gone, so the handlers must not hear about it.
Korun_MBProxy::~Korun_MBProxy()
{
    disconnect(this, nullptr, this, nullptr);
}

bool Korun_MBProxy::isConnected() const
{
    return state() == QModbusDevice::ConnectedState;
}

void Korun_MBProxy::reportState(QModbusDevice::State state)
{
    if (state == QModbusDevice::ConnectedState) {
        latencyAdvice = lowerAdapterLatency(int(findChild<QSerialPort *>()->handle()),
                                            connectionParameter(SerialPortNameParameter).toString());
    }
    switch (state) {
    case QModbusDevice::UnconnectedState: emit msg4StatusBar(QStringLiteral("Modbus unconnected")); break;
    case QModbusDevice::ConnectingState: emit msg4StatusBar(QStringLiteral("Modbus connecting")); break;
    case QModbusDevice::ConnectedState: emit msg4StatusBar(QStringLiteral("Modbus connected")); break;
    case QModbusDevice::ClosingState: emit msg4StatusBar(QStringLiteral("Modbus closing")); break;
    }
}

void Korun_MBProxy::reportError(QModbusDevice::Error error)
{
    emit msg4StatusBar(errorPrefix(error) + errorString());
    // A vanished line (adapter pulled, other end closed) makes the serial port report
    // errors endlessly while the client stays "connected" and never finishes its reply.
    // Closing the link stops that and aborts the outstanding reply.
    if (isLinkFailure(error) && isConnected())
        mbDisconnect();
}

void Korun_MBProxy::mbDisconnect()
{
    qDebug("Disconnect");
    disconnectDevice();
}

// The link and busy tests shared by mbRead and mbWrite; true when nothing may be sent.
// A closed link is reopened here, but the request itself waits for the next call.
bool Korun_MBProxy::refusedBeforeSending(bool logReconnect)
{
    if (!isConnected()) {
        emit msg4StatusBar(QStringLiteral("Modbus disconnected"));
        if (logReconnect)
            qDebug("Trying to connect");
        connectDevice();
        failure = {RequestFailure::LinkClosed, isConnected() ? QString() : errorString()};
        return true;
    }
    if (awaitingReply || requestLoop.isRunning()) {
        emit msg4StatusBar(QStringLiteral("Modbus are busy!"));
        failure = {RequestFailure::Busy, QString()};
        return true;
    }
    waitForQuietLine();
    return false;
}

// Waits, busy, while a late or repeated reply may still come from the module; the client
// would take it for the answer to the next request.
void Korun_MBProxy::waitForQuietLine()
{
    QTimer quiet;
    quiet.setSingleShot(true);
    connect(&quiet, &QTimer::timeout, &requestLoop, &QEventLoop::quit);
    // Bytes that come meanwhile move the end of the wait: it is asked for again each time.
    for (qint64 remaining; (remaining = lineWatch->quietRemaining(serverAddress)) > 0;) {
        quiet.start(int(remaining));
        awaitingReply = true;
        requestLoop.exec(QEventLoop::AllEvents);
        awaitingReply = false;
    }
}

void Korun_MBProxy::failRequest(const QString &text, const RequestFailure &why, ExchangeStats::Failure counted)
{
    stats[serverAddress].noteFailure(counted, lineWatch->attempts());
    failure = why.kind == RequestFailure::None ? RequestFailure{RequestFailure::NoAnswer, text} : why;
    lineWatch->unsettle(serverAddress);
    emit msg4StatusBar(QStringLiteral("Error: ") + text);
    mbDisconnect();
}

int Korun_MBProxy::replyDeadlineMs() const
{
    return timeout() * (qMax(0, numberOfRetries()) + 1) + replyDeadlineMarginMs;
}

// Waits in requestLoop until the reply finishes; true when it finished without error.
bool Korun_MBProxy::awaitReply(QModbusReply &reply, int requestBytes, int replyBytes)
{
    if (reply.isFinished()) {
        failRequest(reply.errorString());
        return false;
    }
    emit msg4StatusBar(QStringLiteral("Request sent"));

    // The client should finish every reply by itself; the deadline only guards against
    // one that never does, so that no request can keep the proxy busy for ever.
    QTimer deadline;
    deadline.setSingleShot(true);
    connect(&deadline, &QTimer::timeout, &requestLoop, &QEventLoop::quit);
    deadline.start(replyDeadlineMs());
    const auto finished = connect(&reply, &QModbusReply::finished, &reply, [this] {
        lineWatch->replyFinished();
        requestLoop.quit();
    }, Qt::DirectConnection);
    QElapsedTimer elapsed;
    elapsed.start();
    lineWatch->requestStarted(timeout(), requestBytes, replyBytes);
    awaitingReply = true;
    requestLoop.exec(QEventLoop::AllEvents);
    awaitingReply = false;
    disconnect(finished);
    const bool written = lineWatch->requestWritten();
    lineWatch->requestEnded();

    if (!reply.isFinished()) {
        failRequest(QStringLiteral("No reply from the module within %1 ms.").arg(deadline.interval()), {},
                    ExchangeStats::Timeout);
        return false;
    }
    if (reply.error() != QModbusDevice::NoError) {
        // An exception reply carries one data byte, the exception code. (Its function code
        // is not asked for: Qt keeps it sign-extended, outside its enumeration.)
        const QByteArray data = reply.rawResult().data();
        if (reply.error() == QModbusDevice::ProtocolError && data.size() == 1) {
            const auto code = QModbusPdu::ExceptionCode(quint8(data.at(0)));
            failRequest(reply.errorString(),
                        {RequestFailure::Refused,
                         QStringLiteral("exception %1, %2").arg(int(code)).arg(exceptionMeaning(code))},
                        ExchangeStats::Exception);
        } else {
            failRequest(reply.errorString(), {},
                        reply.error() == QModbusDevice::TimeoutError ? ExchangeStats::Timeout : ExchangeStats::BadReply);
        }
        return false;
    }
    // A repeated reply that arrives between two requests is taken by the client for the
    // next one even before it is written; the client is left out of step, so the link is
    // reopened.
    if (!written) {
        failRequest(QStringLiteral("A reply came before the request was sent (a repeated or late reply)."));
        return false;
    }
    // Longer than one response timeout means the client sent the request again: the other
    // attempts' replies may still come.
    if (elapsed.elapsed() > timeout())
        lineWatch->unsettle(serverAddress, elapsed.elapsed());
    return replyStandsAlone();
}

// Watches the line after a suspiciously slow reply; false, after failing the request, when
// another reply followed it.
bool Korun_MBProxy::replyStandsAlone()
{
    const qint64 watch = lineWatch->watchAfterReply();
    if (watch <= 0)
        return true;
    const quint64 strays = lineWatch->strays();
    QTimer::singleShot(int(watch), &requestLoop, &QEventLoop::quit);
    awaitingReply = true;
    requestLoop.exec(QEventLoop::AllEvents);
    awaitingReply = false;
    return noStrayRepliesSince(strays);
}

quint64 Korun_MBProxy::strayReplies() const
{
    return lineWatch->strays();
}

bool Korun_MBProxy::noStrayRepliesSince(quint64 mark)
{
    if (lineWatch->strays() == mark)
        return true;
    failRequest(QStringLiteral("A reply came that no request asked for (a repeated or late reply); "
                               "the values read with it were discarded."));
    return false;
}

bool Korun_MBProxy::mbRead(const QModbusDataUnit &unit, void *dst)
{
    if (refusedBeforeSending(true))
        return false;
    std::unique_ptr<QModbusReply> reply(sendReadRequest(unit, serverAddress));
    if (!reply) {
        failure = {RequestFailure::NoAnswer, errorString()};
        return false;
    }
    // Request: address, function, start, count, CRC; reply: address, function, byte count,
    // the registers, CRC.
    if (!awaitReply(*reply, 8, 5 + 2 * int(unit.valueCount())))
        return false;

    const QModbusDataUnit result = reply->result();
    if (result.valueCount() != unit.valueCount()) {
        failRequest(QStringLiteral("The module answered with %1 registers instead of %2.")
                        .arg(result.valueCount())
                        .arg(unit.valueCount()));
        return false;
    }
    stats[serverAddress].noteReply(lineWatch->responseMs(), lineWatch->attempts());
    auto *bytes = static_cast<quint8 *>(dst);
    for (uint i = 0; i < unit.valueCount(); ++i) {
        const quint16 value = result.value(int(i));
        bytes[2 * i] = quint8(value);
        bytes[2 * i + 1] = quint8(value >> 8);
    }
    emit msg4StatusBar(QStringLiteral("Ready"));
    return true;
}

bool Korun_MBProxy::mbWrite(const QModbusDataUnit &unit)
{
    if (refusedBeforeSending(false))
        return false;
    std::unique_ptr<QModbusReply> reply(sendWriteRequest(unit, serverAddress));
    if (!reply) {
        failure = {RequestFailure::NoAnswer, errorString()};
        return false;
    }
    // Request: address, function, start, count, byte count, the registers, CRC; reply:
    // address, function, start, count, CRC.
    if (!awaitReply(*reply, 9 + 2 * int(unit.valueCount()), 8))
        return false;
    stats[serverAddress].noteReply(lineWatch->responseMs(), lineWatch->attempts());
    emit msg4StatusBar(QStringLiteral("Ready"));
    return true;
}
