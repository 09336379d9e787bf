// The register map: the store's byte rules on a local image, and the chunked block
// operations against the simulated module.
#include "proxy_fixture.h"

#include "sensor_catalogue.h"

#include <QTest>

#include <random>

namespace {

QVector<quint16> firstSixRegisters(const ConfigurationImage &image, int channel)
{
    QVector<quint16> registers;
    for (int i = 0; i < 6; ++i)
        registers << image.registerValue(150 * channel + i);
    return registers;
}

QVector<SimRequest> ofFunction(const QVector<SimRequest> &requests, int function)
{
    QVector<SimRequest> picked;
    for (const SimRequest &request : requests) {
        if (request.function == function)
            picked.append(request);
    }
    return picked;
}

QVector<int> counts(const QVector<SimRequest> &requests)
{
    QVector<int> result;
    for (const SimRequest &request : requests)
        result.append(request.count);
    return result;
}

QVector<int> addresses(const QVector<SimRequest> &requests)
{
    QVector<int> result;
    for (const SimRequest &request : requests)
        result.append(request.address);
    return result;
}

} // namespace

class TestRegisterMap : public QObject
{
    Q_OBJECT

private slots:
    void storeRules_data();
    void storeRules();
    void storeOfRandomImagesTouchesOnlyCodesAndSetup();
    void chunkedTransfers();
    void failedReadBeforeStoreWritesNothing();
};

void TestRegisterMap::storeRules_data()
{
    QTest::addColumn<int>("sensor");
    QTest::addColumn<int>("connection");
    QTest::addColumn<QVector<quint16>>("registers");
    using R = QVector<quint16>;
    // Registers 0..5 of a channel record after a store, from an all-0xFF record.
    QTest::newRow("TC_K") << int(TC_K) << 3 << R{0x0705, 0x0000, 0x0000, 0x0700, 0x9100, 0x032C};
    QTest::newRow("TR_100P 3-wire") << int(TR_100P) << 3 << R{0x1203, 0x0007, 0x1410, 0x0702, 0x1100, 0x0212};
    QTest::newRow("TR_100Pt 2-wire") << int(TR_100Pt) << 2 << R{0x1402, 0x0000, 0x0000, 0x0700, 0x1100, 0x0212};
    QTest::newRow("NO_SENSOR") << int(NO_SENSOR) << 4 << R{0, 0, 0, 0, 0, 0};
    QTest::newRow("VOLTAGE ignores the connection") << int(VOLTAGE) << 1 << R{0x0E05, 0, 0, 0x0700, 0x9100, 0x0328};
    QTest::newRow("TC_M gain 128") << int(TC_M) << 2 << R{0x0D05, 0, 0, 0x0700, 0x9100, 0x032F};
    QTest::newRow("TR_1000Pt 4-wire gain 1") << int(TR_1000Pt) << 4 << R{0x1604, 0, 0, 0x0700, 0x1100, 0x0210};
    QTest::newRow("resistive without connection") << int(TR_50M) << 1 << R{0x0F01, 0, 0, 0, 0, 0};
    QTest::newRow("RESISTANCE passes code 7") << int(RESISTANCE) << 7 << R{0x1A07, 0, 0, 0, 0, 0};
    QTest::newRow("unknown sensor keeps codes and setup") << 255 << 1 << R{0xFFFF, 0xFFFF, 0xFFFF, 0xFFFF, 0xFFFF, 0xFFFF};
    QTest::newRow("sensor 27 keeps codes and setup") << 27 << 3 << R{0xFFFF, 0xFFFF, 0xFFFF, 0xFFFF, 0xFFFF, 0xFFFF};
}

void TestRegisterMap::storeRules()
{
    QFETCH(int, sensor);
    QFETCH(int, connection);
    QFETCH(QVector<quint16>, registers);
    ConfigurationImage image;
    image.bytes.fill(0xFF);
    std::array<ChannelChoice, 4> choices;
    for (ChannelChoice &choice : choices)
        choice = {quint8(connection), quint8(sensor)};
    applyChannelChoices(image, choices, false);
    for (int channel = 0; channel < 4; ++channel)
        QCOMPARE(firstSixRegisters(image, channel), registers);
}

// Whatever the module holds and whatever is chosen, a store changes nothing but bytes 0-11
// of each record and bit 0 of byte 1200.
void TestRegisterMap::storeOfRandomImagesTouchesOnlyCodesAndSetup()
{
    std::mt19937 random(2026);
    std::uniform_int_distribution<int> byte(0, 255);
    for (int round = 0; round < 1000; ++round) {
        ConfigurationImage image;
        for (quint8 &b : image.bytes)
            b = quint8(byte(random));
        const ConfigurationImage before = image;
        std::array<ChannelChoice, 4> choices;
        for (ChannelChoice &choice : choices)
            choice = {quint8(byte(random) % 7), quint8(byte(random) % 2 ? byte(random) % 30 : byte(random))};
        const bool flag = byte(random) & 1;
        applyChannelChoices(image, choices, flag);

        for (std::size_t i = 0; i < image.bytes.size(); ++i) {
            const bool codeOrSetup = i < 1200 && i % 300 < 12;
            if (i == 1200)
                QCOMPARE(image.bytes[i], quint8((before.bytes[i] & ~1) | flag));
            else if (!codeOrSetup)
                QCOMPARE(image.bytes[i], before.bytes[i]);
        }
        // A sensor the program does not know keeps its codes and setup.
        for (int channel = 0; channel < 4; ++channel) {
            if (choices[channel].sensorCode >= sensorTypeCount)
                QVERIFY(std::equal(image.record(channel), image.record(channel) + 12, before.record(channel)));
        }
    }
}

void TestRegisterMap::chunkedTransfers()
{
    ProxyFixture f;
    QVERIFY(f.open());
    ConfigurationImage image;
    QVERIFY(f.proxy.readConfiguration(image));
    QCOMPARE(counts(f.line.requests()), QVector<int>({125, 125, 125, 125, 101}));
    QCOMPARE(addresses(f.line.requests()), QVector<int>({0x8000, 0x807D, 0x80FA, 0x8177, 0x81F4}));

    f.line.clearRequests();
    QVERIFY(f.proxy.storeConfiguration({}, false));
    const QVector<SimRequest> writes = ofFunction(f.line.requests(), 0x10);
    QCOMPARE(ofFunction(f.line.requests(), 0x03).size(), 5);
    QCOMPARE(counts(writes), QVector<int>({123, 123, 123, 123, 109}));
    QCOMPARE(addresses(writes), QVector<int>({0x8000, 0x807B, 0x80F6, 0x8171, 0x81EC}));
}

void TestRegisterMap::failedReadBeforeStoreWritesNothing()
{
    ProxyFixture f;
    QVERIFY(f.open());
    QVERIFY(f.line.command("fault exception 2 @80FA"));
    QTest::ignoreMessage(QtDebugMsg, "Disconnect");
    QVERIFY(!f.proxy.storeConfiguration({{{3, TC_K}, {3, TC_K}, {3, TC_K}, {3, TC_K}}}, true));
    QCOMPARE(ofFunction(f.line.requests(), 0x10).size(), 0);
    QCOMPARE(ofFunction(f.line.requests(), 0x03).size(), 3);
}

QTEST_GUILESS_MAIN(TestRegisterMap)
#include "tst_register_map.moc"
