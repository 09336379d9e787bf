#include "traffic_decoder.h"

#include <QRegularExpression>

namespace {

int byteAt(const QByteArray &bytes, int i)
{
    return quint8(bytes.at(i));
}

int wordAt(const QByteArray &bytes, int i)
{
    return byteAt(bytes, i) << 8 | byteAt(bytes, i + 1);
}

QString hexDigits(int value, int width)
{
    return QStringLiteral("0x") + QString::number(value, 16).toUpper().rightJustified(width, QLatin1Char('0'));
}

QString hex2(int value)
{
    return hexDigits(value, 2);
}

QString hex4(int value)
{
    return hexDigits(value, 4);
}

// What a unit of a function's count is.
QString countText(int function, int count)
{
    const bool bits = function == 0x01 || function == 0x05 || function == 0x0F;
    const bool inputs = function == 0x02;
    const QString unit = bits ? QStringLiteral("coil") : inputs ? QStringLiteral("input") : QStringLiteral("register");
    return QStringLiteral("%1 %2%3").arg(count).arg(unit).arg(count == 1 ? QString() : QStringLiteral("s"));
}

// Frame length from the header: 0 while it is too short to tell, -1 for a function whose
// frame length its header does not give. The same rule the client uses to cut replies.
int headerLength(const QByteArray &bytes, bool request)
{
    if (bytes.size() < 2)
        return 0;
    const int function = byteAt(bytes, 1);
    if (!request && (function & 0x80))
        return 5;
    switch (function) {
    case 0x01: case 0x02: case 0x03: case 0x04:
        if (request)
            return 8;
        return bytes.size() < 3 ? 0 : 5 + byteAt(bytes, 2);
    case 0x05: case 0x06:
        return 8;
    case 0x0F: case 0x10:
        if (!request)
            return 8;
        return bytes.size() < 7 ? 0 : 9 + byteAt(bytes, 6);
    default:
        return -1;
    }
}

// What can be told about a frame before describing its fields.
struct FrameFacts {
    explicit FrameFacts(const QByteArray &bytes, bool request)
    {
        const int length = headerLength(bytes, request);
        // Address, function and CRC are the least a frame of any function has.
        cut = length == 0 || bytes.size() < qMax(length, 4);
        frame = length > 0 ? bytes.left(length) : bytes;
        extra = length > 0 ? qMax(0, bytes.size() - length) : 0;
        if (!cut) {
            const int sent = byteAt(frame, frame.size() - 2) | byteAt(frame, frame.size() - 1) << 8;
            crcOk = modbusCrc16(frame.left(frame.size() - 2)) == sent;
        }
        exception = !request && bytes.size() >= 2 && (byteAt(bytes, 1) & 0x80);
        expected = length;
    }

    bool faulty() const { return cut || !crcOk || extra > 0 || exception; }

    QByteArray frame;
    int expected = -1;
    int extra = 0;
    bool cut = false;
    bool crcOk = true;
    bool exception = false;
};

QString requestFields(const QByteArray &frame)
{
    const int function = byteAt(frame, 1);
    switch (function) {
    case 0x01: case 0x02: case 0x03: case 0x04: case 0x0F: case 0x10:
        return QStringLiteral("%1, %2").arg(hex4(wordAt(frame, 2)), countText(function, wordAt(frame, 4)));
    case 0x05:
        return QStringLiteral("%1 %2").arg(hex4(wordAt(frame, 2)),
                                           wordAt(frame, 4) ? QStringLiteral("on") : QStringLiteral("off"));
    case 0x06:
        return QStringLiteral("%1 = %2").arg(hex4(wordAt(frame, 2)), hex4(wordAt(frame, 4)));
    default:
        return QStringLiteral("%1 data bytes").arg(frame.size() - 4);
    }
}

QString replyFields(const QByteArray &frame)
{
    const int function = byteAt(frame, 1);
    if (function & 0x80) {
        const int code = byteAt(frame, 2);
        return QStringLiteral("exception %1 (%2)").arg(code).arg(modbusExceptionMeaning(code));
    }
    switch (function) {
    case 0x01: case 0x02:
        return QStringLiteral("%1 bytes of states").arg(byteAt(frame, 2));
    case 0x03: case 0x04: {
        const int size = byteAt(frame, 2);
        return size % 2 ? QStringLiteral("%1 bytes (an odd count)").arg(size) : countText(function, size / 2);
    }
    case 0x05: case 0x06:
        return QStringLiteral("wrote %1").arg(requestFields(frame));
    case 0x0F: case 0x10: {
        const int start = wordAt(frame, 2), count = wordAt(frame, 4);
        return QStringLiteral("wrote %1..%2 (%3)")
            .arg(hex4(start), hex4(start + count - 1), countText(function, count));
    }
    default:
        return QStringLiteral("%1 data bytes").arg(frame.size() - 4);
    }
}

} // namespace

std::optional<LoggedBytes> parseTrafficMessage(const QString &text)
{
    // "(RTU client) Sent Serial ADU: 0xb003..." and "(RTU client) Response buffer: "b003..."".
    // The client's other low-level message, "Pending buffer", repeats bytes of a buffer
    // already logged.
    static const QRegularExpression pattern(QStringLiteral(
        R"re(^\s*\(RTU client\) (Sent Serial ADU|Response buffer):\s*"?(?:0x)?([0-9A-Fa-f]*)"?\s*$)re"));
    const QRegularExpressionMatch match = pattern.match(text);
    if (!match.hasMatch() || match.capturedLength(2) == 0 || match.capturedLength(2) % 2)
        return std::nullopt;
    return LoggedBytes{match.captured(1).startsWith(QLatin1String("Sent")),
                       QByteArray::fromHex(match.captured(2).toLatin1())};
}

quint16 modbusCrc16(const QByteArray &bytes)
{
    quint16 crc = 0xFFFF;
    for (const char byte : bytes) {
        crc ^= quint8(byte);
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc & 1) ? quint16((crc >> 1) ^ 0xA001) : quint16(crc >> 1);
    }
    return crc;
}

int requestFrameLength(const QByteArray &bytes)
{
    return headerLength(bytes, true);
}

int replyFrameLength(const QByteArray &bytes)
{
    return headerLength(bytes, false);
}

QString modbusFunctionName(int function)
{
    switch (function) {
    case 0x01: return QStringLiteral("read coils");
    case 0x02: return QStringLiteral("read discrete inputs");
    case 0x03: return QStringLiteral("read holding registers");
    case 0x04: return QStringLiteral("read input registers");
    case 0x05: return QStringLiteral("write single coil");
    case 0x06: return QStringLiteral("write single register");
    case 0x0F: return QStringLiteral("write multiple coils");
    case 0x10: return QStringLiteral("write multiple registers");
    default: return QStringLiteral("function %1").arg(hex2(function));
    }
}

QString modbusExceptionMeaning(int code)
{
    switch (code) {
    case 1: return QStringLiteral("illegal function");
    case 2: return QStringLiteral("illegal data address");
    case 3: return QStringLiteral("illegal data value");
    case 4: return QStringLiteral("server device failure");
    case 5: return QStringLiteral("acknowledge");
    case 6: return QStringLiteral("server device busy");
    case 8: return QStringLiteral("memory parity error");
    case 10: return QStringLiteral("gateway path unavailable");
    case 11: return QStringLiteral("gateway target failed to respond");
    default: return QStringLiteral("unknown exception");
    }
}

QString spacedHex(const QByteArray &bytes)
{
    return QString::fromLatin1(bytes.toHex(' '));
}

QString describeFrame(const QByteArray &bytes, bool request)
{
    QString line = request ? QStringLiteral("request") : QStringLiteral("reply  ");
    if (bytes.isEmpty())
        return line + QStringLiteral(" no bytes");
    const FrameFacts facts(bytes, request);
    // Bytes the client could not cut into frames either, such as the tail of a frame it
    // had already thrown away: their first bytes would pass for an address and a function.
    if (facts.expected < 0 && !facts.cut && !facts.crcOk)
        return line + QStringLiteral(" %1 bytes that make no frame").arg(bytes.size());
    line += QLatin1Char(' ') + hex2(byteAt(bytes, 0));
    if (bytes.size() >= 2) {
        const int function = byteAt(bytes, 1);
        const int asked = facts.exception ? function & 0x7F : function;
        line += QLatin1Char(' ') + modbusFunctionName(asked);
        // Unknown functions are named by their number already.
        if (!modbusFunctionName(asked).startsWith(QLatin1String("function ")) || facts.exception)
            line += QStringLiteral(" (%1)").arg(hex2(function));
    }
    if (facts.cut) {
        if (facts.expected > 0)
            return line + QStringLiteral(": incomplete, %1 of %2 bytes").arg(bytes.size()).arg(facts.expected);
        return line + QStringLiteral(": incomplete, %1 bytes").arg(bytes.size());
    }
    line += QStringLiteral(": ") + (request ? requestFields(facts.frame) : replyFields(facts.frame));
    if (!facts.crcOk)
        line += QStringLiteral(", bad CRC");
    if (facts.extra > 0)
        line += QStringLiteral(", %1 bytes too many").arg(facts.extra);
    return line;
}

bool frameIsFaulty(const QByteArray &bytes, bool request)
{
    return bytes.isEmpty() || FrameFacts(bytes, request).faulty();
}

QVector<ReplyAssembler::Piece> ReplyAssembler::requestSent()
{
    const QVector<Piece> held = takeHeld();
    clientBuffer.clear();
    shown = 0;
    cutStart = -1;
    replied = false;
    return held;
}

QVector<ReplyAssembler::Piece> ReplyAssembler::bufferLogged(const QByteArray &buffer)
{
    // Each copy starts with what the client kept of the one before; if not, a message was
    // missed, and what is in this copy is taken as new.
    if (!buffer.startsWith(clientBuffer)) {
        clientBuffer.clear();
        shown = 0;
        cutStart = -1;
    }
    if (buffer.size() > clientBuffer.size())
        replied = true;

    QVector<Piece> pieces;
    int pos = shown;
    if (cutStart >= 0 && pos < buffer.size()) {
        const int length = headerLength(buffer.mid(cutStart), false);
        const bool complete = length > 0 && cutStart + length <= buffer.size();
        const int end = complete ? cutStart + length : buffer.size();
        pieces.append({buffer.mid(pos, end - pos), true});
        pos = end;
        if (complete)
            cutStart = -1;
    }
    while (pos < buffer.size()) {
        const QByteArray rest = buffer.mid(pos);
        const int length = headerLength(rest, false);
        if (length <= 0 || rest.size() < length)
            break;
        pieces.append({rest.left(length), false});
        pos += length;
    }
    shown = pos;

    // The client's own step: the first reply leaves its buffer once it is complete.
    const int first = headerLength(buffer, false);
    if (first > 0 && buffer.size() >= first) {
        clientBuffer = buffer.mid(first);
        shown = qMax(0, shown - first);
        if (cutStart >= 0)
            cutStart -= first;
    } else {
        clientBuffer = buffer;
    }
    return pieces;
}

QVector<ReplyAssembler::Piece> ReplyAssembler::takeHeld()
{
    if (!holding())
        return {};
    const Piece piece{clientBuffer.mid(shown), false};
    cutStart = shown;
    shown = clientBuffer.size();
    return {piece};
}

QVector<TrafficLine> TrafficReader::read(const QString &message)
{
    const std::optional<LoggedBytes> logged = parseTrafficMessage(message);
    QVector<TrafficLine> lines;
    if (!logged)
        return lines;
    if (logged->request) {
        const bool answered = assembler.answered();
        addReplies(assembler.requestSent(), lines);
        if (requestSeen && !answered)
            lines.append({QStringLiteral("reply   none to the request above"), QByteArray(), true});
        requestSeen = true;
        lines.append({describeFrame(logged->bytes, true), logged->bytes, frameIsFaulty(logged->bytes, true)});
    } else {
        addReplies(assembler.bufferLogged(logged->bytes), lines);
    }
    return lines;
}

QVector<TrafficLine> TrafficReader::flush()
{
    QVector<TrafficLine> lines;
    addReplies(assembler.takeHeld(), lines);
    return lines;
}

void TrafficReader::addReplies(const QVector<ReplyAssembler::Piece> &pieces, QVector<TrafficLine> &lines) const
{
    for (const ReplyAssembler::Piece &piece : pieces) {
        if (piece.continued)
            lines.append({QStringLiteral("reply   rest of the cut reply, %1 bytes").arg(piece.bytes.size()),
                          piece.bytes, true});
        else
            lines.append({describeFrame(piece.bytes, false), piece.bytes, frameIsFaulty(piece.bytes, false)});
    }
}
