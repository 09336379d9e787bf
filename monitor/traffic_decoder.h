#pragma once

// Reading the bus traffic that Qt's Modbus RTU client reports in its qt.modbus.lowlevel
// logging category: which bytes went out, which came back, and what they mean. Nothing
// here talks to a serial port; the client stays the only Modbus implementation.

#include <QByteArray>
#include <QString>
#include <QVector>

#include <optional>

// Bytes the client logged: a request frame it wrote, or its receive buffer.
struct LoggedBytes {
    bool request = false;
    QByteArray bytes;
};

// The bytes of one qt.modbus.lowlevel message, or nothing for a message that carries none
// of interest. A receive buffer is logged after every read from the port, whole each time,
// so it may hold a cut reply, a reply again with more bytes behind it, or several replies.
std::optional<LoggedBytes> parseTrafficMessage(const QString &text);

// CRC-16 of Modbus RTU over `bytes` (the value as sent, low byte first on the line).
quint16 modbusCrc16(const QByteArray &bytes);

// Length of the frame at the start of `bytes` as its header tells: 0 while the header is
// too short, -1 for a function whose frame length cannot be told from its header.
int requestFrameLength(const QByteArray &bytes);
int replyFrameLength(const QByteArray &bytes);

// One line, e.g. "request 0xB0 read holding registers (0x03): 0x2000, 4 registers" or
// "reply   0xB0 read holding registers (0x83): exception 2 (illegal data address)".
QString describeFrame(const QByteArray &bytes, bool request);
// Whether describeFrame finds fault with it: cut, bad CRC, surplus bytes, an exception.
bool frameIsFaulty(const QByteArray &bytes, bool request);
QString modbusFunctionName(int function);
QString modbusExceptionMeaning(int code);
// "b0 03 20 00"
QString spacedHex(const QByteArray &bytes);

// Follows the client's receive buffer from one logged copy to the next and hands out each
// reply once, as soon as it is complete. The client appends what it reads, removes at most
// one complete reply per read, and starts afresh with every request it writes; a reply
// still cut when the next request goes out is handed out as it is.
class ReplyAssembler
{
public:
    struct Piece {
        QByteArray bytes;
        // The rest of a cut reply that was handed out already (see takeHeld).
        bool continued = false;
    };

    // The client wrote a request. Returns the cut reply held back, if any.
    QVector<Piece> requestSent();
    // The client logged its receive buffer. Returns the replies in it not returned before.
    QVector<Piece> bufferLogged(const QByteArray &buffer);
    // Gives up waiting for the rest of a cut reply and returns it; bytes of it that come
    // later are returned as a continued piece.
    QVector<Piece> takeHeld();

    bool holding() const { return shown < clientBuffer.size(); }
    // Whether any bytes came back since the last request.
    bool answered() const { return replied; }

private:
    // The client's buffer as it is after its own processing of the last read.
    QByteArray clientBuffer;
    // Bytes at the start of clientBuffer already handed out.
    int shown = 0;
    // Start in clientBuffer of a cut reply handed out by takeHeld, or -1.
    int cutStart = -1;
    bool replied = false;
};

// One line of the traffic: a request, a reply, or a note about the exchange.
struct TrafficLine {
    QString summary;
    QByteArray bytes;
    bool faulty = false;
};

// Turns the client's qt.modbus.lowlevel messages into one line per request and per reply.
// A request that was followed by the next one without any reply gets a "no reply" line:
// the client says nothing of its timeouts in this category.
class TrafficReader
{
public:
    QVector<TrafficLine> read(const QString &message);
    // Gives up waiting for the rest of a cut reply; see ReplyAssembler::takeHeld.
    QVector<TrafficLine> flush();
    bool holding() const { return assembler.holding(); }

private:
    void addReplies(const QVector<ReplyAssembler::Piece> &pieces, QVector<TrafficLine> &lines) const;

    ReplyAssembler assembler;
    bool requestSeen = false;
};
