// The traffic decoder on what Qt's RTU client logs in qt.modbus.lowlevel while it talks
// to korun-sim: whole replies, replies read in pieces, faults the simulator was told to make.

#include "traffic_decoder.h"

#include <QtTest>

namespace {
const QString giveUp = QStringLiteral("give up"); // the reader stops waiting for a cut reply
const char readReq[] = "b003200000045428";
const char writeReq[] = "b01080000003060001000200032ff3";
QString sent(const char *hex) { return QStringLiteral("(RTU client) Sent Serial ADU: 0x") + QLatin1String(hex); }
QString got(const char *hex) { return QStringLiteral("(RTU client) Response buffer: \"%1\"").arg(QLatin1String(hex)); }
const QString readRef = QStringLiteral("request 0xB0 read holding registers (0x03): 0x2000, 4 registers");
const QString refReply = QStringLiteral("reply   0xB0 read holding registers (0x03): 4 registers");
const QString writeCfg = QStringLiteral("request 0xB0 write multiple registers (0x10): 0x8000, 3 registers");
const QString cfgReply =
    QStringLiteral("reply   0xB0 write multiple registers (0x10): wrote 0x8000..0x8002 (3 registers)");
} // namespace

class TstTrafficDecoder : public QObject
{
    Q_OBJECT

private slots:
    void decode_data()
    {
        QTest::addColumn<QStringList>("messages");
        QTest::addColumn<QStringList>("lines");

        QTest::newRow("read") << QStringList{"(RTU client) Sent Serial ADU: 0xb003200000045428",
                                             "(RTU client) Response buffer: \"b00308000041c4000041cc092c\""}
                              << QStringList{readRef, refReply};
        QTest::newRow("read in pieces")
            << QStringList{sent(readReq), got("b003080000"), got("b00308000041c4000041"),
                           got("b00308000041c4000041cc092c")}
            << QStringList{readRef, refReply};
        QTest::newRow("write") << QStringList{sent(writeReq), got("b010800000"), got("b01080000003b229")}
                               << QStringList{writeCfg, cfgReply};
        QTest::newRow("exception")
            << QStringList{sent(readReq), got("b0830290d6")}
            << QStringList{readRef, "reply   0xB0 read holding registers (0x83): exception 2 (illegal data address)"};
        QTest::newRow("bad CRC") << QStringList{sent(readReq), got("b00308000041c4000041cc0976")}
                                 << QStringList{readRef, refReply + ", bad CRC"};
        QTest::newRow("reply twice") << QStringList{sent(writeReq), got("b01080000003b229b01080000003b229")}
                                     << QStringList{writeCfg, cfgReply, cfgReply};
        QTest::newRow("cut by the next request")
            << QStringList{sent(readReq), got("b00308000041c4000041cc092cb003"), sent(writeReq)}
            << QStringList{readRef, refReply, "reply   0xB0 read holding registers (0x03): incomplete, 2 bytes",
                           writeCfg};
        QTest::newRow("tail of a thrown-away reply")
            << QStringList{sent(writeReq), got("08000041c4000041cc092cb01080000003b229"), sent(writeReq)}
            << QStringList{writeCfg, "reply   19 bytes that make no frame", writeCfg};
        QTest::newRow("no reply") << QStringList{sent(readReq), sent(readReq)}
                                  << QStringList{readRef, "reply   none to the request above", readRef};
        QTest::newRow("rest after giving up")
            << QStringList{sent(readReq), got("b00308000041c4000041"), giveUp, got("b00308000041c4000041cc092c")}
            << QStringList{readRef, "reply   0xB0 read holding registers (0x03): incomplete, 10 of 13 bytes",
                           "reply   rest of the cut reply, 3 bytes"};
        QTest::newRow("write single, other function")
            << QStringList{sent("b006800000017a2b"), got("b006800000017a2b"), sent("b02b0e01000c6d")}
            << QStringList{"request 0xB0 write single register (0x06): 0x8000 = 0x0001",
                           "reply   0xB0 write single register (0x06): wrote 0x8000 = 0x0001",
                           "request 0xB0 function 0x2B: 3 data bytes"};
        QTest::newRow("no frames") << QStringList{"(RTU client) Pending buffer: \"b01080000003b229\"",
                                                  "(RTU client) Sent Serial PDU: 0x0320000004",
                                                  "(RTU client) Receive timeout: 0x0320000004",
                                                  "(TCP client) Response buffer: \"0001\""}
                                   << QStringList{};
    }

    void decode()
    {
        QFETCH(QStringList, messages);
        QFETCH(QStringList, lines);
        TrafficReader reader;
        QStringList decoded;
        for (const QString &message : messages) {
            for (const TrafficLine &line : message == giveUp ? reader.flush() : reader.read(message))
                decoded << line.summary;
        }
        QCOMPARE(decoded, lines);
        QCOMPARE(reader.holding(), false);
    }
};

QTEST_GUILESS_MAIN(TstTrafficDecoder)
#include "tst_traffic_decoder.moc"
