// Temperature conversions against published reference values: the catalogue, the
// resistance thermometer families, all thermocouple tables and the routing with
// cold-junction compensation.
#include "resistance_thermometers.h"
#include "sensor_catalogue.h"
#include "temperature_routing.h"
#include "thermocouple_tables.h"

#include <QFile>
#include <QTest>

#include <cmath>
#include <limits>

namespace {

const float notANumber = std::numeric_limits<float>::quiet_NaN();

unsigned codeOfType(const QString &type)
{
    static const QHash<QString, unsigned> codes = {{"R", TC_R}, {"S", TC_S}, {"B", TC_B}, {"J", TC_J},
                                                   {"T", TC_T}, {"E", TC_E}, {"K", TC_K}, {"N", TC_N}};
    return codes.value(type);
}

// Largest error NIST states for any inverse segment of the type, in degC.
double inverseError(unsigned code)
{
    switch (code) {
    case TC_R: case TC_S: return 0.02;
    case TC_B: case TC_E: return 0.03;
    case TC_T: case TC_N: return 0.04;
    case TC_J: return 0.05;
    case TC_K: return 0.06;
    }
    return 0;
}

// Lowest temperature covered by the type's inverse function.
double inverseFloor(unsigned code)
{
    switch (code) {
    case TC_R: case TC_S: return -50;
    case TC_B: return 250;
    case TC_J: return -210;
    }
    return -200;
}

} // namespace

class TestConversions : public QObject
{
    Q_OBJECT

private slots:
    void resistanceThermometers_data();
    void resistanceThermometers();
    void nickelIsContinuousWhereItChangesForm();
    void thermocoupleRoundTrips_data();
    void thermocoupleRoundTrips();
    void nistTablePoints_data();
    void nistTablePoints();
    void singleValues_data();
    void singleValues();
    void routing();
};

void TestConversions::resistanceThermometers_data()
{
    QTest::addColumn<int>("family");
    QTest::addColumn<float>("r");
    QTest::addColumn<float>("expected");
    QTest::addColumn<float>("tolerance");
    enum { Pt385, Pt391, Copper, Nickel };
    QTest::newRow("Pt385 100 C") << int(Pt385) << 138.5055f << 100.0f << 0.001f;
    QTest::newRow("Pt385 -200 C") << int(Pt385) << 18.52f << -199.999f << 0.01f;
    QTest::newRow("Pt385 850 C") << int(Pt385) << 390.48f << 849.996f << 0.01f;
    QTest::newRow("Pt385 no solution") << int(Pt385) << 762.0f << notANumber << 0.0f;
    QTest::newRow("Pt391 -200 C") << int(Pt391) << 17.24f << -200.009f << 0.01f;
    QTest::newRow("Pt391 100 C") << int(Pt391) << 139.11f << 100.011f << 0.01f;
    QTest::newRow("copper 100 C") << int(Copper) << 142.8f << 100.0f << 0.001f;
    QTest::newRow("copper -50 C") << int(Copper) << 78.48f << -49.942f << 0.01f;
    QTest::newRow("copper at R0 exactly") << int(Copper) << 100.0f << 0.0f << 0.0f;
    QTest::newRow("nickel 100 C") << int(Nickel) << 161.7f << 99.973f << 0.01f;
    QTest::newRow("nickel 180 C") << int(Nickel) << 223.21f << 180.006f << 0.01f;
    QTest::newRow("nickel -60 C") << int(Nickel) << 69.45f << -60.009f << 0.01f;
    QTest::newRow("nickel negative resistance") << int(Nickel) << -12.0f << notANumber << 0.0f;
    for (int family : {Pt385, Pt391, Copper, Nickel})
        QTest::addRow("NaN resistance, family %d", family) << family << notANumber << notANumber << 0.0f;
}

void TestConversions::resistanceThermometers()
{
    QFETCH(int, family);
    QFETCH(float, r);
    QFETCH(float, expected);
    QFETCH(float, tolerance);
    float (*const functions[])(float, float) = {platinum385Temperature, platinum391Temperature,
                                                copperTemperature, nickelTemperature};
    const float t = functions[family](100.0f, r);
    if (std::isnan(expected))
        QVERIFY2(std::isnan(t), qPrintable(QString::number(t)));
    else
        QVERIFY2(std::fabs(t - expected) <= tolerance, qPrintable(QString::number(t, 'f', 5)));
}

void TestConversions::nickelIsContinuousWhereItChangesForm()
{
    // The nickel characteristic is continuous where it changes form (W = 1.6172).
    const float below = nickelTemperature(100.0f, 161.7199f);
    const float above = nickelTemperature(100.0f, 161.7201f);
    QVERIFY(std::fabs(above - below) < 0.003f);
}

void TestConversions::thermocoupleRoundTrips_data()
{
    QTest::addColumn<int>("code");
    QTest::addColumn<float>("t");
    QTest::addColumn<float>("emf");
    QTest::addColumn<float>("readBack");
    const struct { int code; float t, emf, back; } rows[] = {
        {TC_R, 200, 1.4686f, 200.005f}, {TC_R, 1200, 13.2280f, 1200.000f}, {TC_R, 1700, 20.2217f, 1700.005f},
        {TC_S, 200, 1.4408f, 199.995f}, {TC_S, 1200, 11.9506f, 1200.000f}, {TC_S, 1700, 17.9473f, 1699.995f},
        {TC_B, 400, 0.7865f, 399.989f}, {TC_B, 1200, 6.7864f, 1200.005f},
        {TC_J, -100, -4.6325f, -99.989f}, {TC_J, 500, 27.3926f, 499.983f}, {TC_J, 1000, 57.9532f, 1000.010f},
        {TC_T, -100, -3.3786f, -99.996f}, {TC_T, 200, 9.2881f, 199.990f},
        {TC_E, -100, -5.2372f, -99.996f}, {TC_E, 500, 37.0054f, 499.997f},
        {TC_K, -100, -3.5536f, -99.992f}, {TC_K, 500, 20.6443f, 499.954f}, {TC_K, 1000, 41.2756f, 999.978f},
        {TC_N, -100, -2.4068f, -100.000f}, {TC_N, 500, 16.7479f, 499.992f}, {TC_N, 1000, 36.2555f, 1000.006f},
        {TC_A1, 1000, 16.1276f, 999.934f}, {TC_A1, 2000, 29.1860f, 1999.966f},
        {TC_A2, 1000, 16.2890f, 999.886f}, {TC_A3, 1000, 15.9799f, 999.905f},
        {TC_L, -100, -5.6413f, -100.004f}, {TC_L, 500, 40.2991f, 500.002f},
        {TC_M, -100, -3.7154f, -100.000f}, {TC_M, 50, 2.2522f, 50.000f},
    };
    for (const auto &row : rows)
        QTest::addRow("%s %g C", sensorTypeNames[row.code], double(row.t)) << row.code << row.t << row.emf << row.back;
}

void TestConversions::thermocoupleRoundTrips()
{
    QFETCH(int, code);
    QFETCH(float, t);
    QFETCH(float, emf);
    QFETCH(float, readBack);
    const float e = temperatureToEmf(code, t);
    QVERIFY2(std::fabs(e - emf) <= 0.0001f, qPrintable(QString::number(e, 'f', 6)));
    const float back = valueToTemperature(code, e);
    QVERIFY2(std::fabs(back - readBack) <= 0.01f, qPrintable(QString::number(back, 'f', 4)));
}

void TestConversions::nistTablePoints_data()
{
    QTest::addColumn<int>("code");
    QTest::addColumn<double>("t");
    QTest::addColumn<double>("emf");
    QFile table(QFINDTESTDATA("nist-table-points.csv"));
    QVERIFY(table.open(QIODevice::ReadOnly));
    table.readLine(); // header
    while (!table.atEnd()) {
        const QStringList fields = QString::fromLatin1(table.readLine()).trimmed().split(',');
        if (fields.size() == 3)
            QTest::addRow("%s %s C", qPrintable(fields[0]), qPrintable(fields[1]))
                << int(codeOfType(fields[0])) << fields[1].toDouble() << fields[2].toDouble();
    }
}

void TestConversions::nistTablePoints()
{
    QFETCH(int, code);
    QFETCH(double, t);
    QFETCH(double, emf);
    const float e = temperatureToEmf(code, float(t));
    // Single precision holds the tables to 0.001 mV (plus their rounding) from -200 C up,
    // except for the strongly cancelling low end of type T.
    const bool cancelling = code == TC_T && t < -185;
    const double tolerance = cancelling ? 0.035 : 0.0015;
    if (t >= -200)
        QVERIFY2(std::fabs(e - emf) <= tolerance, qPrintable(QString::number(e, 'f', 5)));

    if (t >= inverseFloor(code) && !cancelling) {
        const float back = valueToTemperature(code, e);
        QVERIFY2(std::fabs(back - t) <= inverseError(code) + 0.01, qPrintable(QString::number(back, 'f', 4)));
    }
}

void TestConversions::singleValues_data()
{
    QTest::addColumn<int>("code");
    QTest::addColumn<bool>("toEmf");
    QTest::addColumn<float>("x");
    QTest::addColumn<float>("expected");
    QTest::addColumn<float>("tolerance");
    QTest::newRow("K 100 C") << int(TC_K) << true << 100.0f << 4.0962f << 0.0001f;
    QTest::newRow("K 0 C, exponential term cancels") << int(TC_K) << true << 0.0f << 0.0f << 0.00001f;
    QTest::newRow("J 0 C exactly") << int(TC_J) << true << 0.0f << 0.0f << 0.0f;
    QTest::newRow("L 100 C") << int(TC_L) << true << 100.0f << 6.8617f << 0.0001f;
    QTest::newRow("M 100 C") << int(TC_M) << true << 100.0f << 4.7224f << 0.0001f;
    QTest::newRow("T -270 C loses accuracy") << int(TC_T) << true << -270.0f << -6.28f << 0.01f;
    QTest::newRow("E -270 C") << int(TC_E) << true << -270.0f << -9.83f << 0.01f;
    QTest::newRow("K 4.096 mV") << int(TC_K) << false << 4.096f << 99.963f << 0.01f;
    QTest::newRow("K 0 mV") << int(TC_K) << false << 0.0f << 0.0f << 0.0f;
}

void TestConversions::singleValues()
{
    QFETCH(int, code);
    QFETCH(bool, toEmf);
    QFETCH(float, x);
    QFETCH(float, expected);
    QFETCH(float, tolerance);
    const float value = toEmf ? temperatureToEmf(code, x) : valueToTemperature(code, x);
    QVERIFY2(std::fabs(value - expected) <= tolerance, qPrintable(QString::number(value, 'f', 6)));
}

void TestConversions::routing()
{
    for (float x : {0.0f, 1.5f, -3.0f}) {
        QVERIFY(std::isnan(valueToTemperature(NO_SENSOR, x)));
        QVERIFY(std::isnan(valueToTemperature(27, x)));
        QVERIFY(std::isnan(valueToTemperature(255, x)));
        QVERIFY(std::isnan(temperatureToEmf(VOLTAGE, x)));
        QVERIFY(std::isnan(temperatureToEmf(TR_100Pt, x)));
        QVERIFY(std::isnan(temperatureToEmf(NO_SENSOR, x)));
        QVERIFY(std::isnan(compensatedTemperature(NO_SENSOR, x, 25.0f)));
    }
    QCOMPARE(valueToTemperature(VOLTAGE, 1.5f), 1.5f);
    QCOMPARE(valueToTemperature(RESISTANCE, 107.8f), 107.8f);
    QCOMPARE(compensatedTemperature(VOLTAGE, 12.5f, 30.0f), 12.5f);
    QCOMPARE(compensatedTemperature(RESISTANCE, 12.5f, 30.0f), 12.5f);
    QVERIFY(std::fabs(compensatedTemperature(TC_K, 0.0f, 100.0f) - 99.969f) <= 0.01f);
    QVERIFY(std::fabs(compensatedTemperature(TC_K, 1.0f, 25.0f) - 49.48f) <= 0.01f);
    for (float coldJunction : {-40.0f, 25.0f, 1000.0f})
        QVERIFY(std::fabs(compensatedTemperature(TR_100Pt, 100.0f, coldJunction)) <= 0.0001f);
    // The cold junction of a thermocouple is converted with the same type.
    QVERIFY(std::fabs(compensatedTemperature(TC_J, 0.0f, 30.0f) - 30.0f) <= 0.05f);
    QVERIFY(std::isnan(compensatedTemperature(TC_K, 1.0f, notANumber)));
    // Every resistive code routes to its family with its own R0: resistance at 0 and 100 degC.
    const struct {
        unsigned code;
        float r0, r100;
    } resistive[] = {{TR_50M, 50, 71.4f},        {TR_100M, 100, 142.8f},      {TR_50P, 50, 69.555f},
                     {TR_100P, 100, 139.11f},    {TR_50Pt, 50, 69.25275f},    {TR_100Pt, 100, 138.5055f},
                     {TR_500Pt, 500, 692.5275f}, {TR_1000Pt, 1000, 1385.055f}, {TR_100N, 100, 161.72f},
                     {TR_500N, 500, 808.6f},     {TR_1000N, 1000, 1617.2f}};
    for (const auto &sensor : resistive) {
        QVERIFY2(std::fabs(valueToTemperature(sensor.code, sensor.r0)) <= 0.001f, sensorTypeNames[sensor.code]);
        QVERIFY2(std::fabs(valueToTemperature(sensor.code, sensor.r100) - 100.0f) <= 0.05f, sensorTypeNames[sensor.code]);
    }
}

QTEST_APPLESS_MAIN(TestConversions)
#include "tst_conversions.moc"
