// The single-request proxy against the simulated module: status texts, byte order,
// busy refusal, reconnection and every misbehaviour of the line.
#include "adapter_latency.h"
#include "module_refresher.h"
#include "proxy_fixture.h"
#include "sensor_catalogue.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

namespace {

QModbusDataUnit readUnit(quint16 address, quint16 count)
{
    return QModbusDataUnit(QModbusDataUnit::HoldingRegisters, address, QVector<quint16>(count, 0));
}

const QStringList failedRequestTail = {QStringLiteral("Modbus closing"), QStringLiteral("Modbus unconnected")};

} // namespace

class TestProxyLink : public QObject
{
    Q_OBJECT

private slots:
    void successCopiesRegistersLowByteFirst();
    void requestWhileUnconnectedOnlyReconnects();
    void adapterLatencyIsQuietWhereThereIsNothingToFix();
    void failedRequestsCloseTheLink_data();
    void failedRequestsCloseTheLink();
    void busyUntilTheWaitHasReturned();
    void lostLineEndsTheRequestAndRecovers();
    void repliesNeverLandInAnotherBlock_data();
    void repliesNeverLandInAnotherBlock();
};

void TestProxyLink::successCopiesRegistersLowByteFirst()
{
    ProxyFixture f;
    QVERIFY(f.open());
    QVERIFY(f.line.command("poke 2000 0000 41C8 1234 ABCD"));

    quint8 image[10];
    std::fill(std::begin(image), std::end(image), 0xEE);
    QVERIFY(f.proxy.mbRead(readUnit(0x2000, 4), image));
    QCOMPARE(f.texts, QStringList({"Request sent", "Ready"}));
    const quint8 expected[8] = {0x00, 0x00, 0xC8, 0x41, 0x34, 0x12, 0xCD, 0xAB};
    QCOMPARE(QByteArray(reinterpret_cast<char *>(image), 8), QByteArray(reinterpret_cast<const char *>(expected), 8));
    QCOMPARE(image[8], quint8(0xEE)); // exactly 2n bytes written

    ReferenceTemperatures reference;
    QVERIFY(f.proxy.mbRead(readUnit(0x2000, 4), reference.bytes.data()));
    QCOMPARE(reference.xt1xt2Temperature(), 25.0f);
    QVERIFY(f.proxy.isConnected());
}

void TestProxyLink::requestWhileUnconnectedOnlyReconnects()
{
    ProxyFixture f;
    QVERIFY(f.open());
    f.proxy.disconnectDevice();
    f.texts.clear();

    quint8 image[8] = {};
    QTest::ignoreMessage(QtDebugMsg, "Trying to connect");
    QVERIFY(!f.proxy.mbRead(readUnit(0x2000, 4), image));
    QCOMPARE(f.texts, QStringList({"Modbus disconnected", "Modbus connecting", "Modbus connected"}));
    QVERIFY(f.proxy.isConnected());
    QTest::qWait(50);
    QCOMPARE(f.line.requests().size(), 0);

    QVERIFY(f.proxy.mbRead(readUnit(0x2000, 4), image));
    QCOMPARE(f.line.requests().size(), 1);
}

// On a pseudo terminal low-latency mode does not exist: nothing is said, the link works.
// A USB adapter's latency timer is read from sysfs (here a copy made for the test).
void TestProxyLink::adapterLatencyIsQuietWhereThereIsNothingToFix()
{
    ProxyFixture f;
    QVERIFY(f.open());
    QCOMPARE(f.proxy.adapterLatencyAdvice(), QString());
    quint8 image[8];
    QVERIFY(f.proxy.mbRead(readUnit(0x2000, 4), image));

    QTemporaryDir sysfs;
    QVERIFY(QDir(sysfs.path()).mkpath("class/tty/ttyUSB7/device"));
    QFile timer(sysfs.path() + "/class/tty/ttyUSB7/device/latency_timer");
    QVERIFY(timer.open(QIODevice::WriteOnly) && timer.write("16\n") == 3);
    timer.close();
    const QString advice = lowerAdapterLatency(-1, "/dev/ttyUSB7", sysfs.path());
    QVERIFY2(advice.contains("every 16 ms") && advice.contains("echo 1 | sudo tee " + timer.fileName()),
             qPrintable(advice));
    QVERIFY(timer.open(QIODevice::WriteOnly) && timer.write("1\n") == 2);
    timer.close();
    QCOMPARE(lowerAdapterLatency(-1, "/dev/ttyUSB7", sysfs.path()), QString());
    QCOMPARE(lowerAdapterLatency(-1, "/dev/ttyS0", sysfs.path()), QString());
}

void TestProxyLink::failedRequestsCloseTheLink_data()
{
    QTest::addColumn<QString>("fault");
    QTest::addColumn<QString>("errorText");
    QTest::addColumn<QString>("refusal"); // the failure's reason for a module's refusal
    QTest::addColumn<QString>("counted"); // in the exchange statistics
    const QString timeout = "Error: Request timeout.", exception = "Error: Modbus Exception Response.";
    QTest::newRow("silent") << "silent" << timeout << "" << "3 retries, 1 timeout,";
    QTest::newRow("corrupted CRC") << "badcrc" << timeout << "" << "3 retries, 1 timeout,";
    QTest::newRow("reply that never ends") << "cut" << timeout << "" << "3 retries, 1 timeout,";
    QTest::newRow("late beyond the last attempt") << "late 400 once" << timeout << "" << "1 timeout,";
    QTest::newRow("illegal data address") << "exception 2" << exception << "exception 2, illegal data address"
                                          << "0 retries, 0 timeouts, 1 exception";
    QTest::newRow("server busy") << "exception 6" << exception << "exception 6, server device busy"
                                 << "0 retries, 0 timeouts, 1 exception";
    // A reply of the wrong length must not be taken for the block that was asked for.
    QTest::newRow("too few registers") << "short" << "Error: The module answered with 3 registers instead of 4." << ""
                                       << "0 timeouts, 0 exceptions, 1 bad reply";
    QTest::newRow("too many registers") << "long" << "Error: The module answered with 5 registers instead of 4." << ""
                                        << "0 timeouts, 0 exceptions, 1 bad reply";
}

// With a 50 ms timeout and the link's 3 retries: every failure ends within the attempts'
// timeouts and half a second.
void TestProxyLink::failedRequestsCloseTheLink()
{
    QFETCH(QString, fault);
    QFETCH(QString, errorText);
    QFETCH(QString, refusal);
    QFETCH(QString, counted);
    ProxyFixture f;
    QVERIFY(f.open());
    f.proxy.setTimeout(50);
    QVERIFY(f.line.command("fault " + fault));

    quint8 image[8];
    std::fill(std::begin(image), std::end(image), 0x55);
    QTest::ignoreMessage(QtDebugMsg, "Disconnect");
    QElapsedTimer elapsed;
    elapsed.start();
    QVERIFY(!f.proxy.mbRead(readUnit(0x2000, 4), image));
    QVERIFY2(elapsed.elapsed() < 50 * 4 + 500, qPrintable(QString::number(elapsed.elapsed())));
    QCOMPARE(f.texts, QStringList({"Request sent", errorText}) + failedRequestTail);
    QCOMPARE(f.proxy.lastFailure().kind, refusal.isEmpty() ? RequestFailure::NoAnswer : RequestFailure::Refused);
    if (!refusal.isEmpty())
        QCOMPARE(f.proxy.lastFailure().reason, refusal);
    const QString stats = f.proxy.exchangeStats(0xB0).summary();
    QVERIFY2(stats.startsWith("no response, ") && stats.contains(counted), qPrintable(stats));
    QVERIFY(!f.proxy.isConnected());
    QVERIFY(std::all_of(std::begin(image), std::end(image), [](quint8 b) { return b == 0x55; }));

    // The link comes back on demand once the module behaves again.
    QVERIFY(f.line.command("fault none"));
    QTest::ignoreMessage(QtDebugMsg, "Trying to connect");
    QVERIFY(!f.proxy.mbRead(readUnit(0x2000, 4), image));
    if (fault.startsWith(QLatin1String("late")))
        QTest::qWait(300); // later than the line is watched for: the answer must drain first
    QVERIFY(f.proxy.mbRead(readUnit(0x2000, 4), image));
}

void TestProxyLink::busyUntilTheWaitHasReturned()
{
    ProxyFixture f;
    QVERIFY(f.open());
    int refused = 0, accepted = 0;
    QTimer hammer;
    hammer.setInterval(0);
    QObject::connect(&hammer, &QTimer::timeout, [&] {
        quint8 other[8];
        (f.proxy.mbRead(readUnit(0x0000, 4), other) ? accepted : refused)++;
    });
    hammer.start();
    for (int i = 0; i < 30; ++i) {
        quint8 image[8];
        QVERIFY(f.proxy.mbRead(readUnit(0x2000, 4), image));
    }
    hammer.stop();
    QCOMPARE(accepted, 0);
    QVERIFY(refused > 30);
    QCOMPARE(f.line.requests().size(), 30);
}

void TestProxyLink::lostLineEndsTheRequestAndRecovers()
{
    ProxyFixture f;
    QVERIFY(f.open());
    QVERIFY(f.line.command("fault silent"));

    QTimer::singleShot(50, [&] { f.line.cutLine(); });
    QTest::ignoreMessage(QtDebugMsg, "Disconnect");
    quint8 image[8];
    QElapsedTimer elapsed;
    elapsed.start();
    QVERIFY(!f.proxy.mbRead(readUnit(0x2000, 4), image));
    QVERIFY(elapsed.elapsed() < 2000);
    QVERIFY(!f.proxy.isConnected());
    QVERIFY2(f.texts.size() < 12, qPrintable(f.texts.join(" | ")));
    QVERIFY(f.texts.last().startsWith(QLatin1String("Error: ")));

    // The adapter comes back: the next request reopens the link, the one after succeeds.
    f.line.stop();
    QVERIFY(f.line.start());
    QTest::ignoreMessage(QtDebugMsg, "Trying to connect");
    QVERIFY(!f.proxy.mbRead(readUnit(0x2000, 4), image));
    QVERIFY(f.proxy.isConnected());
    QVERIFY(f.proxy.mbRead(readUnit(0x2000, 4), image));
}

void TestProxyLink::repliesNeverLandInAnotherBlock_data()
{
    QTest::addColumn<QString>("fault");
    QTest::addColumn<int>("minimumComplete");
    // With a 100 ms timeout. Every attempt at channel 1's record is answered after the
    // timeout, so each of its reads sees a retry and two replies; the module works through
    // the queued attempts one after the other, so late replies come as far apart as they
    // are late.
    QTest::newRow("one block late on every attempt") << "late 150 @0000" << 3;
    QTest::newRow("late past two attempts") << "late 230 @0110" << 3;
    // Each reply comes again 50 ms later, while the next request waits for its own.
    QTest::newRow("every reply repeated") << "twice 50" << 0;
    QTest::newRow("one record repeated") << "twice 50 @0010" << 0;
    QTest::newRow("last but one block repeated") << "twice 50 @0120" << 0;
}

// Refreshes of a module whose channels differ in sensor code and gain, and whose on-board
// temperatures are known: a reply taken for another request shows as a wrong block.
void TestProxyLink::repliesNeverLandInAnotherBlock()
{
    QFETCH(QString, fault);
    QFETCH(int, minimumComplete);
    ProxyFixture f;
    QVERIFY(f.open({"--channel", "1=TC_K@300", "--channel", "2=TR_100Pt:3@20", "--channel", "3=TC_E@100",
                    "--channel", "4=VOLTAGE@5", "--cold", "24.5,25.5"}));
    QVERIFY(f.line.command("fault " + fault));
    f.proxy.setTimeout(100);
    const std::array<quint8, 4> sensors = {7, 20, 6, 14};
    ModuleRefresher refresher(f.proxy);

    int complete = 0;
    QStringList wrong;
    for (int i = 0; i < 3; ++i) {
        if (!f.proxy.isConnected())
            f.proxy.connectDevice();
        const ModuleSnapshot snapshot = refresher.refresh();
        complete += snapshot.complete();
        if (snapshot.reference && (snapshot.reference->xt1xt2Temperature() != 24.5f
                                   || snapshot.reference->xt3xt4Temperature() != 25.5f))
            wrong << QStringLiteral("on-board temperatures %1").arg(snapshot.reference->xt1xt2Temperature());
        for (int channel = 0; channel < 4; ++channel) {
            const quint8 sensor = sensors[std::size_t(channel)];
            if (snapshot.records && (*snapshot.records)[std::size_t(channel)].sensorCode() != sensor)
                wrong << QStringLiteral("record %1 with sensor %2").arg(channel + 1)
                             .arg((*snapshot.records)[std::size_t(channel)].sensorCode());
            if (snapshot.states && (*snapshot.states)[std::size_t(channel)].gainExponent() != sensorGainCode[sensor])
                wrong << QStringLiteral("ADC state %1 with gain exponent %2").arg(channel + 1)
                             .arg((*snapshot.states)[std::size_t(channel)].gainExponent());
        }
    }
    QVERIFY2(wrong.isEmpty(), qPrintable(wrong.join(", ")));
    QVERIFY2(complete >= minimumComplete, qPrintable(QString::number(complete)));
}

QTEST_GUILESS_MAIN(TestProxyLink)
#include "tst_proxy.moc"
