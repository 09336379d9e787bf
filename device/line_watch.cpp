#include "line_watch.h"

#include <QSerialPort>

#ifdef Q_OS_UNIX
#include <sys/ioctl.h>
#endif

#include <algorithm>
#include <utility>

LineWatch::LineWatch(QSerialPort *port, QObject *parent)
    : QObject(parent)
    , port(port)
{
    clock.start();
    // Connected after the client's own handlers: a read that completes a reply has already
    // finished it when it is seen here.
    connect(port, &QSerialPort::bytesWritten, this, [this](qint64 bytes) {
        if (sentAtStart >= 0 && bytesSent == sentAtStart)
            firstWriteNs = clock.nsecsElapsed();
        bytesSent += bytes;
        lastWriteMs = clock.elapsed();
    });
    connect(port, &QSerialPort::readyRead, this, &LineWatch::noteBytesRead);
}

void LineWatch::requestStarted(int timeout, int requestBytes, int replyBytes)
{
    requestFrameBytes = requestBytes;
    firstWriteNs = replyNs = -1;
    // The port reads no more than one reply at a time: whatever follows the reply stays in
    // the system's input queue, where replyFinished() finds it.
    port->setReadBufferSize(replyBytes);
    timeoutMs = timeout;
    suspectWatchMs = 0;
    sentAtStart = bytesSent;
    startMs = clock.elapsed();
    replyJustFinished = false;
}

void LineWatch::requestEnded()
{
    port->setReadBufferSize(0);
    lastAttempts = attempts();
    sentAtStart = -1;
    replyJustFinished = false;
}

int LineWatch::attempts() const
{
    if (sentAtStart < 0)
        return lastAttempts;
    return int((bytesSent - sentAtStart + requestFrameBytes - 1) / requestFrameBytes);
}

double LineWatch::responseMs() const
{
    return replyNs >= 0 && firstWriteNs >= 0 ? (replyNs - firstWriteNs) / 1e6 : -1;
}

void LineWatch::replyFinished()
{
    replyJustFinished = true;
    replyNs = clock.nsecsElapsed();
    const qint64 took = clock.elapsed() - startMs;
    const bool retried = took > timeoutMs;
    suspectWatchMs = 0;
    if (!retried) {
        suspectWatchMs = usualReplyMs >= 0 && took > 2 * usualReplyMs + 5 ? took : 0;
        usualReplyMs = usualReplyMs < 0 ? took : (7 * usualReplyMs + took) / 8;
    }
#ifdef Q_OS_UNIX
    // A reply repeated while the module held back the next request's own reply: that one
    // follows at once, and the client clears the port's input right after this. (Bytes
    // after the reply in the same read are never more than the reply's length less one, so
    // at least one byte of a whole frame behind it is still waiting.) After a retry, or while
    // late replies are expected, it is another attempt's reply.
    int waiting = 0;
    if (!retried && !(unsettled && clock.elapsed() < expectedUntil())
        && ioctl(int(port->handle()), FIONREAD, &waiting) == 0 && waiting > 0)
        countStray();
#endif
}

void LineWatch::unsettle(quint8 address, qint64 replyAfterMs)
{
    if (unsettled && address != unsettledAddress)
        unsettledForAll = true;
    unsettled = true;
    unsettledAddress = address;
    unsettledWriteMs = lastWriteMs;
    unsettledStartMs = startMs;
    replySpacingMs = std::max<qint64>(timeoutMs, replyAfterMs);
    spacingFromNextReply = replyAfterMs <= 0;
}

qint64 LineWatch::expectedUntil() const
{
    return std::max(unsettledWriteMs + 2 * qint64(timeoutMs), lastReadMs + replySpacingMs + silenceMarginMs);
}

qint64 LineWatch::quietRemaining(quint8 address)
{
    if (!unsettled || (!unsettledForAll && address != unsettledAddress))
        return 0;
    const qint64 remaining = expectedUntil() - clock.elapsed();
    if (remaining > 0)
        return remaining;
    unsettled = unsettledForAll = false;
    return 0;
}

void LineWatch::noteBytesRead()
{
    const qint64 now = clock.elapsed();
    const bool expected = unsettled && now < expectedUntil();
    lastReadMs = now;
    if (std::exchange(replyJustFinished, false) || requestWritten())
        return;
    if (expected) {
        if (std::exchange(spacingFromNextReply, false))
            replySpacingMs = std::max(replySpacingMs, now - unsettledStartMs);
        return;
    }
    countStray();
}

void LineWatch::countStray()
{
    ++strayCount;
    unsettle(unsettledAddress);
    unsettledForAll = true;
    spacingFromNextReply = false;
}
