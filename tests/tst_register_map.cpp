// The register map: the store's byte rules on a local image, and the chunked block
// operations against the simulated module.
#include "proxy_fixture.h"

#include "sensor_catalogue.h"

#include <QTest>

#include <random>

namespace {

std::array<quint16, 6> firstSixRegisters(const ConfigurationImage &image, int channel)
{
    std::array<quint16, 6> registers;
    for (int i = 0; i < 6; ++i)
        registers[i] = image.registerValue(150 * channel + i);
    return registers;
}

QVector<quint16> toVector(const std::array<quint16, 6> &registers)
{
    return QVector<quint16>(registers.begin(), registers.end());
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
    void storeWritesTheWorkedExamplesToTheModule();
    void failedReadBeforeStoreWritesNothing();
    void failedWriteKeepsEarlierChunks();
    void emptyTransferSendsNothing();
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
        QCOMPARE(toVector(firstSixRegisters(image, channel)), registers);
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
        for (int channel = 0; channel < 4; ++channel) {
            const quint8 *record = image.record(channel);
            const unsigned sensor = choices[channel].sensorCode;
            if (sensor == NO_SENSOR) {
                QCOMPARE(int(record[0]), 0);
                QCOMPARE(int(record[1]), 0);
            } else if (isVoltageInputSensor(sensor)) {
                QCOMPARE(int(record[0]), int(VOLTAGE_INPUT));
                QCOMPARE(int(record[10]), 0x28 | sensorGainCode[sensor]);
            } else if (isResistiveSensor(sensor)) {
                QCOMPARE(record[0], choices[channel].connectionCode);
            } else {
                // A sensor the program does not know keeps its codes and setup.
                QVERIFY(std::equal(record, record + 12, before.record(channel)));
            }
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

void TestRegisterMap::storeWritesTheWorkedExamplesToTheModule()
{
    ProxyFixture f;
    QVERIFY(f.open({"--channel", "1=TC_J@100"}));
    const QVector<quint16> before = f.line.dump(0x8000, 601);
    QVERIFY(f.proxy.storeConfiguration({{{3, TC_K}, {3, TR_100P}, {2, TR_100Pt}, {4, NO_SENSOR}}}, true));
    const QVector<quint16> after = f.line.dump(0x8000, 601);
    QCOMPARE(after.mid(0, 6), QVector<quint16>({0x0705, 0x0000, 0x0000, 0x0700, 0x9100, 0x032C}));
    QCOMPARE(after.mid(150, 6), QVector<quint16>({0x1203, 0x0007, 0x1410, 0x0702, 0x1100, 0x0212}));
    QCOMPARE(after.mid(300, 6), QVector<quint16>({0x1402, 0x0000, 0x0000, 0x0700, 0x1100, 0x0212}));
    QCOMPARE(after.mid(450, 6), QVector<quint16>(6, 0));
    for (int channel = 0; channel < 4; ++channel)
        QCOMPARE(after.mid(150 * channel + 6, 144), before.mid(150 * channel + 6, 144));
    QCOMPARE(after[600], quint16(before[600] | 1));

    // The module now reports the stored sensor in its live values.
    std::array<MeasurementRecord, 4> records;
    QVERIFY(f.proxy.readChannelMeasurements(records));
    QCOMPARE(int(records[0].sensorCode()), int(TC_K));
    QCOMPARE(int(records[2].sensorCode()), int(TR_100Pt));
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

void TestRegisterMap::failedWriteKeepsEarlierChunks()
{
    ProxyFixture f;
    QVERIFY(f.open());
    QVERIFY(f.line.command("fault exception 6 @80F6"));
    QTest::ignoreMessage(QtDebugMsg, "Disconnect");
    QVERIFY(!f.proxy.storeConfiguration({{{5, TC_K}, {2, TR_100Pt}, {5, TC_K}, {5, TC_K}}}, false));
    QCOMPARE(addresses(ofFunction(f.line.requests(), 0x10)), QVector<int>({0x8000, 0x807B, 0x80F6}));
    const QVector<quint16> stored = f.line.dump(0x8000, 601);
    QCOMPARE(stored[0], quint16(0x0705));         // first chunk written
    QCOMPARE(stored[150], quint16(0x1402));       // second chunk written
    QCOMPARE(stored[300] & 0xFF00, 0);            // third chunk refused: module's NO_SENSOR kept
    QCOMPARE(f.texts.last(), QStringLiteral("Modbus unconnected"));
}

void TestRegisterMap::emptyTransferSendsNothing()
{
    ProxyFixture f;
    QVERIFY(f.open());
    QVERIFY(f.proxy.readHoldingRegisters(0x8000, 0, nullptr));
    QVERIFY(f.proxy.writeHoldingRegisters(0x8000, 0, nullptr));
    QCOMPARE(f.texts, QStringList());
}

QTEST_GUILESS_MAIN(TestRegisterMap)
#include "tst_register_map.moc"
