#pragma once

#include "exchange_stats.h"
#include "register_map.h"

#include <QEventLoop>
#include <QModbusDataUnit>
#include <QModbusRtuSerialMaster>
#include <QString>

#include <QHash>

#include <array>

class LineWatch;
class QModbusReply;

// Why the last request that did not go through failed, for callers that keep track of
// the module's health.
struct RequestFailure {
    enum Kind {
        None,
        Busy,       // another request of this program was waiting; nothing was sent
        LinkClosed, // the link was closed; it has been reopened if `reason` is empty
        NoAnswer,   // no usable reply: timeout, bad frame, wrong length, lost line
        Refused,    // the module answered with an exception
    };
    Kind kind = None;
    QString reason;
};

// The Modbus RTU client through which every exchange with the module goes. Requests are
// synchronous for the caller: each waits for its reply in a nested event loop, so the GUI
// keeps running, and a request made while another waits is refused as busy.
class Korun_MBProxy : public QModbusRtuSerialMaster
{
    Q_OBJECT

public:
    explicit Korun_MBProxy(QObject *parent = nullptr);
    ~Korun_MBProxy() override;

    bool isConnected() const;

    // One read request; on success copies the registers into dst as a byte image
    // (2 bytes per register, low byte first). dst is untouched on failure.
    bool mbRead(const QModbusDataUnit &unit, void *dst);
    // One write request.
    bool mbWrite(const QModbusDataUnit &unit);
    // Closes the link after a failed request; the next request reopens it.
    void mbDisconnect();

    // Register blocks of the module. Arrays are register byte images.
    bool readHoldingRegisters(quint16 start, quint16 count, quint16 *dst);
    // writtenChunks, when given, counts the requests the module acknowledged.
    bool writeHoldingRegisters(quint16 start, quint16 count, const quint16 *src, int *writtenChunks = nullptr);
    bool readConfiguration(ConfigurationImage &image);
    bool readReferenceTemperatures(ReferenceTemperatures &temperatures);
    bool readChannelMeasurements(std::array<MeasurementRecord, 4> &records);
    bool readAdcStates(std::array<AdcState, 4> &states);
    // writtenChunks, when given: the write requests acknowledged, or -1 when the
    // configuration could not be read and nothing was sent for writing.
    bool storeConfiguration(const std::array<ChannelChoice, 4> &choices, bool addressSwitchZeroLeft,
                            int *writtenChunks = nullptr);

    const RequestFailure &lastFailure() const { return failure; }
    // Set when the port was last opened: how to fix a USB adapter's slow latency timer
    // that low-latency mode could not lower; empty when there is nothing to fix.
    const QString &adapterLatencyAdvice() const { return latencyAdvice; }
    // Response times and failures of the requests to one bus address so far.
    ExchangeStats exchangeStats(quint8 address) const { return stats.value(address); }
    // Replies that came when no request was on the wire, since the proxy was made. One that
    // came during a run of requests may have been taken for one of them.
    quint64 strayReplies() const;
    // False, after failing like a request, when a stray reply came since `mark`.
    bool noStrayRepliesSince(quint64 mark);

    // Modbus server address of the module (176..191 for the address switch 0..F).
    quint8 serverAddress;

signals:
    void msg4StatusBar(QString _msg);

private:
    void reportState(QModbusDevice::State state);
    void reportError(QModbusDevice::Error error);
    bool refusedBeforeSending(bool logReconnect);
    bool awaitReply(QModbusReply &reply, int requestBytes, int replyBytes);
    void waitForQuietLine();
    bool replyStandsAlone();
    // Reports a failed request and closes the link; `why` defaults to NoAnswer with the text.
    void failRequest(const QString &text, const RequestFailure &why = {},
                     ExchangeStats::Failure counted = ExchangeStats::BadReply);
    int replyDeadlineMs() const;

    QEventLoop requestLoop;
    // True from the send until the wait has returned. The loop alone is not enough: once
    // quit() is called it no longer counts as running, yet events of the same pass (a
    // timer tick) are still delivered before exec() returns.
    bool awaitingReply = false;
    LineWatch *lineWatch;
    QHash<quint8, ExchangeStats> stats;
    QString latencyAdvice;
    RequestFailure failure;
};
