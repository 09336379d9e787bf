#pragma once

#include <QElapsedTimer>
#include <QObject>

class QSerialPort;

// What the Modbus client does not tell about its serial line: when requests went out, when
// bytes came in, and bytes that came when no request was on the wire. RTU replies carry only
// the server address and the function code, so the client takes any late or repeated reply
// of the right shape for the answer to the next request; this watch keeps the proxy from
// sending while such a reply may still come, and counts the ones that came unasked.
//
// The rule: after a request that needed a retry or failed, nothing goes to that module until
//  - every attempt's reply could have arrived: two response timeouts after the last attempt
//    went out, and
//  - the line has been silent, after the last byte received, for longer than the spacing of
//    the late replies: the larger of one timeout (a module that answers every attempt the
//    same time late) and the time the first reply took after the first attempt (a module that
//    works through the queued attempts one after the other), plus a margin. A train of late
//    replies, one per attempt, is so waited out to its end.
// Bytes that arrive while no request is on the wire and the line was settled are a stray
// reply (repeated, or later than the rule above covers): they are counted, and the line is
// unsettled for every module.
class LineWatch : public QObject
{
    Q_OBJECT

public:
    static constexpr int silenceMarginMs = 50;

    explicit LineWatch(QSerialPort *port, QObject *parent = nullptr);

    // Bracket one request: handed to the client .. its wait has returned. timeoutMs is the
    // client's response timeout for it; requestBytes and replyBytes the lengths of its frames.
    void requestStarted(int timeoutMs, int requestBytes, int replyBytes);
    void requestEnded();
    // Of the request under way or the last one: attempts written, and ms from the first
    // attempt written to the reply complete (negative without a reply).
    int attempts() const;
    double responseMs() const;
    // The reply of the request under way has finished (called before the read that carried it
    // is seen here, since the client handles the port's readyRead first). Bytes already
    // waiting behind it, which the client is about to discard, are a stray reply.
    void replyFinished();
    // The request under way has been written to the line, at least once.
    bool requestWritten() const { return sentAtStart >= 0 && bytesSent > sentAtStart; }

    // After a reply that went through: how long to watch the line before it is used, in ms.
    // A reply much slower than the module's usual may be a repeat of the one before, with
    // this request's own reply still to come; watching as long again tells.
    qint64 watchAfterReply() const { return suspectWatchMs; }

    // After a request to `address` that needed a retry (its reply came replyAfterMs after the
    // request was handed over) or failed (replyAfterMs 0: the first late reply will tell).
    void unsettle(quint8 address, qint64 replyAfterMs = 0);
    // How long a request to `address` must still wait, in ms; 0 when it may go out now.
    qint64 quietRemaining(quint8 address);

    // Stray replies seen since the proxy was made.
    quint64 strays() const { return strayCount; }

private:
    void noteBytesRead();
    void countStray();
    // Until when late replies are to be expected after the last unsettling request.
    qint64 expectedUntil() const;

    QSerialPort *port;
    QElapsedTimer clock;
    qint64 bytesSent = 0;
    int requestFrameBytes = 1;
    int lastAttempts = 0;
    qint64 firstWriteNs = -1; // of the request under way or the last one
    qint64 replyNs = -1;
    qint64 sentAtStart = -1; // bytesSent when the request under way started, -1 between requests
    int timeoutMs = 0;
    qint64 startMs = -1; // when the request under way, or the last one, was handed over
    qint64 lastWriteMs = -1;
    qint64 lastReadMs = -1;
    qint64 unsettledWriteMs = -1; // the last attempt of the request that unsettled the line
    qint64 unsettledStartMs = -1;
    qint64 replySpacingMs = 0;    // expected gap between late replies
    bool spacingFromNextReply = false;
    qint64 usualReplyMs = -1; // running mean of replies that needed no retry
    qint64 suspectWatchMs = 0;
    bool replyJustFinished = false;
    bool unsettled = false;
    bool unsettledForAll = false; // a stray's sender is unknown
    quint8 unsettledAddress = 0;
    quint64 strayCount = 0;
};
