// korun-check against korun-sim: the calibrator's temperature is the simulated one, and
// the verdicts, exit statuses and the report are what an engineer would get.
#include "sensor_catalogue.h"
#include "sim_line.h"
#include "tolerance_classes.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include <cmath>

namespace {

struct CheckRun {
    int exitCode = -1;
    QString out;
    QString err;
};

CheckRun runCheck(const QStringList &arguments)
{
    QProcess process;
    process.start(QStringLiteral(KORUN_CHECK_PATH), arguments);
    process.waitForFinished(20000);
    return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
            QString::fromUtf8(process.readAllStandardOutput()), QString::fromUtf8(process.readAllStandardError())};
}

QString writeFile(const QTemporaryDir &dir, const QString &name, const QByteArray &text)
{
    const QString path = dir.filePath(name);
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(text) != text.size())
        return QString();
    return path;
}

QString pdfText(const QString &path)
{
    QProcess pdftotext;
    pdftotext.start(QStringLiteral("pdftotext"), {QStringLiteral("-layout"), path, QStringLiteral("-")});
    pdftotext.waitForFinished(10000);
    return QString::fromUtf8(pdftotext.readAllStandardOutput());
}

} // namespace

class TestKorunCheck : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void classTable_data();
    void classTable();
    void verdictOfAPoint_data();
    void verdictOfAPoint();
    void noUsableReading_data();
    void noUsableReading();
    void planWithReport();
    void planThatCannotBeRightIsRefused_data();
    void planThatCannotBeRightIsRefused();

private:
    void resetSimulation();

    // Module 0: TC_K on channel 1, Pt100 on channel 2, nothing on 3; module 3: TC_J on
    // channel 1. Far apart on-board temperatures: compensation with the wrong pair shows.
    SimLine line;
    QStringList port;
};

void TestKorunCheck::initTestCase()
{
    QVERIFY(line.start({"--channel", "1=TC_K@300", "--channel", "2=TR_100Pt:3@100", "--cold", "18,41", "--address",
                        "0", "--address", "3", "--channel", "1=TC_J@150"}));
    // A short reply timeout: a silent module is given up on sooner; retries cover a slow reply.
    port = QStringList{"--port", line.portName(), "--interval", "0", "--timeout", "100"};
}

// What a row of the tests on the line may have left behind.
void TestKorunCheck::resetSimulation()
{
    for (const char *command : {"fault none", "unpin", "noise 0"})
        QVERIFY(line.command(command));
}

// The tolerances IEC 60584-1 and IEC 60751 publish, at the ends of each class's range.
void TestKorunCheck::classTable_data()
{
    QTest::addColumn<int>("sensor");
    QTest::addColumn<QString>("className");
    QTest::addColumn<double>("temperature");
    QTest::addColumn<double>("tolerance"); // -1: refused
    const struct {
        const char *name;
        int sensor;
        const char *className;
        double t, tolerance;
    } rows[] = {
        {"K 1 at -40", TC_K, "1", -40, 1.5},       {"K 1 at 375", TC_K, "1", 375, 1.5},
        {"K 1 at 1000", TC_K, "1", 1000, 4.0},     {"K 1 above 1000", TC_K, "1", 1000.5, -1},
        {"K 1 below -40", TC_K, "1", -40.5, -1},   {"K 2 at -40", TC_K, "2", -40, 2.5},
        {"K 2 at 1200", TC_K, "2", 1200, 9.0},     {"K 3 at -200", TC_K, "3", -200, 3.0},
        {"K 3 at 40", TC_K, "3", 40, 2.5},         {"K 3 at 41", TC_K, "3", 41, -1},
        {"J 1 at 750", TC_J, "1", 750, 3.0},       {"J 2 at 750", TC_J, "2", 750, 5.625},
        {"J 2 at -40", TC_J, "2", -40, 2.5},       {"J has no 3", TC_J, "3", 0, -1},
        {"T 1 at 125", TC_T, "1", 125, 0.5},       {"T 1 at 350", TC_T, "1", 350, 1.4},
        {"T 2 at 350", TC_T, "2", 350, 2.625},     {"T 3 at -200", TC_T, "3", -200, 3.0},
        {"T 3 at 40", TC_T, "3", 40, 1.0},         {"N 1 at 1000", TC_N, "1", 1000, 4.0},
        {"N 2 at 1200", TC_N, "2", 1200, 9.0},     {"N 3 at -200", TC_N, "3", -200, 3.0},
        {"S 1 at 0", TC_S, "1", 0, 1.0},           {"S 1 at 1100", TC_S, "1", 1100, 1.0},
        {"S 1 at 1600", TC_S, "1", 1600, 2.5},     {"S 2 at 600", TC_S, "2", 600, 1.5},
        {"S 2 at 1600", TC_S, "2", 1600, 4.0},     {"S has no 3", TC_S, "3", 1000, -1},
        {"B has no 1", TC_B, "1", 1000, -1},       {"B 2 at 600", TC_B, "2", 600, 1.5},
        {"B 2 at 1700", TC_B, "2", 1700, 4.25},    {"B 2 below 600", TC_B, "2", 599, -1},
        {"B 3 at 600", TC_B, "3", 600, 4.0},       {"B 3 at 1700", TC_B, "3", 1700, 8.5},
        {"Pt AA at -50", TR_100Pt, "AA", -50, 0.185}, {"Pt AA at 250", TR_100Pt, "aa", 250, 0.525},
        {"Pt AA at 251", TR_100Pt, "AA", 251, -1}, {"Pt A at -100", TR_100Pt, "A", -100, 0.35},
        {"Pt A at 450", TR_100Pt, "A", 450, 1.05}, {"Pt B at -196", TR_100Pt, "B", -196, 1.28},
        {"Pt B at 600", TR_100Pt, "B", 600, 3.3},  {"Pt C at -196", TR_100Pt, "C", -196, 2.56},
        {"Pt C at 600", TR_1000Pt, "C", 600, 6.6}, {"Pt C at 601", TR_100Pt, "C", 601, -1},
        {"K has no AA", TC_K, "AA", 100, -1},      {"Pt has no 2", TR_100Pt, "2", 100, -1},
        {"Pt 0.00391 has none", TR_100P, "A", 100, -1}, {"copper has none", TR_100M, "B", 100, -1},
        {"L has none", TC_L, "2", 100, -1},
    };
    for (const auto &row : rows)
        QTest::newRow(row.name) << row.sensor << row.className << row.t << row.tolerance;
}

void TestKorunCheck::classTable()
{
    QFETCH(int, sensor);
    QFETCH(QString, className);
    QFETCH(double, temperature);
    QFETCH(double, tolerance);
    const ClassTolerance found = classTolerance(unsigned(sensor), className.toStdString(), temperature);
    QCOMPARE(found.ok, tolerance >= 0);
    if (found.ok)
        QVERIFY2(std::fabs(found.tolerance - tolerance) < 1e-9, qPrintable(QString::number(found.tolerance)));
    else
        QVERIFY(!found.reason.empty());
}

void TestKorunCheck::verdictOfAPoint_data()
{
    QTest::addColumn<QString>("simulated"); // what the sensor really sees
    QTest::addColumn<double>("truth");      // degC, the mean korun-check must find
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("said");
    const struct {
        const char *name, *simulated;
        double truth;
        const char *arguments;
        int exitCode;
        const char *said;
    } rows[] = {
        {"K within class 2", "module 0 temp 1 302.2", 302.2, "--channel 1 --expect 300 --class 2", 0,
         "tolerance ±2.500 °C (class 2, IEC 60584-1)"},
        {"K outside class 1", "module 0 temp 1 302.2", 302.2, "--samples 4 --channel 1 --expect 300 --class 1", 1,
         "tolerance ±1.500 °C (class 1, IEC 60584-1)"},
        {"K outside a given tolerance", "module 0 temp 1 298.8", 298.8,
         "--samples 4 --channel 1 --expect 300 --tolerance 1", 1, "tolerance ±1.000 °C (given)"},
        {"J on module 3, other cold junction", "module 3 temp 1 150.5", 150.5,
         "--samples 4 --address 3 --channel 1 --expect 150 --class 1", 0, "module 3 (0xB3) channel 1, TC_J"},
        {"Pt100 within class A", "module 0 temp 2 100.3", 100.3, "--samples 4 --channel 2 --expect 100 --class A", 0,
         "tolerance ±0.350 °C (class A, IEC 60751)"},
        {"Pt100 outside class AA", "module 0 temp 2 100.3", 100.3, "--samples 4 --channel 2 --expect 100 --class aa", 1,
         "tolerance ±0.270 °C (class AA, IEC 60751)"},
        // Readings spread by up to 0.05 degC, yet well within 0.5 degC.
        {"noisy within tolerance", "noise 0.05", 100, "--samples 4 --channel 2 --expect 100 --tolerance 0.5", 0,
         "verdict    PASS"},
        {"class the sensor has not", "module 0 temp 1 300", 300, "--channel 1 --expect 100 --class AA", 2,
         "TC_K has no tolerance class 'AA'; its classes are 1, 2, 3 (IEC 60584-1)"},
    };
    for (const auto &row : rows)
        QTest::newRow(row.name) << row.simulated << row.truth << QString(row.arguments).split(' ') << row.exitCode
                                << QString::fromUtf8(row.said);
}

void TestKorunCheck::verdictOfAPoint()
{
    QFETCH(QString, simulated);
    QFETCH(double, truth);
    QFETCH(QStringList, arguments);
    QFETCH(int, exitCode);
    QFETCH(QString, said);
    resetSimulation();
    QVERIFY(line.command("module 0 temp 2 100"));
    QVERIFY(line.command(simulated));
    const CheckRun run = runCheck(port + arguments);
    QVERIFY2(run.exitCode == exitCode, qPrintable(run.out + run.err));
    QVERIFY2((run.out + run.err).contains(said), qPrintable(run.out + run.err));
    if (exitCode == 2) {
        QVERIFY(!run.out.contains("verdict"));
        return;
    }
    const int samples = arguments.contains("--samples") ? arguments[arguments.indexOf("--samples") + 1].toInt() : 10;
    QVERIFY2(run.out.contains(QStringLiteral("(%1 readings)").arg(samples)), qPrintable(run.out));
    QVERIFY(run.out.contains(exitCode == 0 ? "verdict    PASS" : "verdict    FAIL"));
    const QRegularExpressionMatch mean = QRegularExpression("mean +(-?[0-9.]+) ").match(run.out);
    QVERIFY(mean.hasMatch());
    QVERIFY2(std::fabs(mean.captured(1).toDouble() - truth) < 0.05, qPrintable(run.out));
    const bool noisy = simulated.startsWith("noise");
    QCOMPARE(run.out.contains("std dev    0.000 °C"), !noisy);
}

void TestKorunCheck::noUsableReading_data()
{
    QTest::addColumn<QString>("simulated");
    QTest::addColumn<QString>("channel");
    QTest::addColumn<QString>("reason");
    QTest::newRow("silent module") << "fault silent" << "1" << "module 0xB0 did not answer";
    // The channel's value and temperature come through, but the refreshes are incomplete.
    QTest::newRow("refreshes without ADC states") << "fault exception 2 @0100" << "2" << "refresh failed: ";
    QTest::newRow("no sensor") << "noise 0" << "3" << "the channel has no sensor (NO_SENSOR)";
    QTest::newRow("NaN from the channel") << "poke 0000 0000 7FC0" << "1" << "the module sent NaN for the channel";
    QTest::newRow("Inf as the cold junction") << "poke 2000 0000 7F80" << "1" << "sent +Inf for the cold junction XT1/XT2";
}

void TestKorunCheck::noUsableReading()
{
    QFETCH(QString, simulated);
    QFETCH(QString, channel);
    QFETCH(QString, reason);
    resetSimulation();
    QVERIFY(line.command(simulated));
    const CheckRun run = runCheck(port + QStringList{"--channel", channel, "--expect", "300", "--tolerance", "5"});
    QVERIFY2(run.exitCode == 3, qPrintable(run.out + run.err));
    QVERIFY2(run.out.contains("verdict    NO READING: ") && run.out.contains(reason), qPrintable(run.out));
    QVERIFY(!run.out.contains("mean"));
}

void TestKorunCheck::planWithReport()
{
    QTemporaryDir dir;
    const QString plan = writeFile(dir, "plan.json", R"({"points": [
        {"module": "0", "channel": 1, "expected": 300, "class": 1, "note": "TI-101 furnace"},
        {"module": "3", "channel": 1, "expected": 150, "class": "2"},
        {"module": 0, "channel": 2, "expected": 100, "class": "A"},
        {"module": "0", "channel": 1, "expected": 310, "tolerance": 2}]})");
    resetSimulation();
    for (const char *command : {"module 0 temp 1 300.4", "module 0 temp 2 100", "module 3 temp 1 150"})
        QVERIFY(line.command(command));
    const CheckRun run = runCheck(port + QStringList{"--plan", plan, "--yes", "--as-found", "--engineer", "Ada Lovelace",
                                                      "--samples", "3", "--report", dir.filePath("r.pdf"), "--results",
                                                      dir.filePath("r.json")});
    QVERIFY2(run.exitCode == 1, qPrintable(run.out + run.err));

    QFile results(dir.filePath("r.json"));
    QVERIFY(results.open(QIODevice::ReadOnly));
    const QJsonObject root = QJsonDocument::fromJson(results.readAll()).object();
    QCOMPARE(root.value("verdict").toString(), QStringLiteral("fail"));
    const QJsonArray points = root.value("points").toArray();
    QCOMPARE(points.size(), 4);
    const double simulated[] = {300.4, 150, 100, 300.4};
    const char *verdicts[] = {"pass", "pass", "pass", "fail"};
    const QString text = pdfText(dir.filePath("r.pdf"));
    QVERIFY2(text.contains("Korun loop check"), "no text from pdftotext (poppler-utils) for the report");
    for (int i = 0; i < 4; ++i) {
        const QJsonObject point = points[i].toObject();
        QCOMPARE(point.value("verdict").toString(), QLatin1String(verdicts[i]));
        QCOMPARE(point.value("samples").toInt(), 3);
        const double mean = point.value("mean_C").toDouble();
        QVERIFY2(std::fabs(mean - simulated[i]) < 0.05, qPrintable(QString::number(mean)));
        // The point's row of the results table, as pdftotext lays it out.
        const QRegularExpression row(QStringLiteral("^\\s*%1\\s+%2\\s+%3\\s+%4\\s+%5\\s+%6\\s.*%7\\s*$")
                                         .arg(i + 1)
                                         .arg(point.value("module").toString())
                                         .arg(point.value("channel").toInt())
                                         .arg(point.value("sensor").toString(),
                                              QString::number(point.value("expected_C").toDouble(), 'f', 2),
                                              QString::number(mean, 'f', 3), QString(verdicts[i]).toUpper()),
                                     QRegularExpression::MultilineOption);
        QVERIFY2(row.match(text).hasMatch(), qPrintable(row.pattern() + "\n" + text));
    }
    for (const char *fact : {"0xB0", "0xB3", "Ada Lovelace", "as found", "korun-check " KORUN_VERSION, "TC_K", "TC_J",
                             "TR_100Pt", "RESISTIVE_3_WIRE", "VOLTAGE_INPUT", "TI-101 furnace", "Overall verdict: FAIL"})
        QVERIFY2(text.contains(QString::fromUtf8(fact)), fact);
}

void TestKorunCheck::planThatCannotBeRightIsRefused_data()
{
    QTest::addColumn<QByteArray>("plan");
    QTest::addColumn<QString>("said");
    const QByteArray good = R"({"module": "0", "channel": 1, "expected": 300, "tolerance": 2})";
    const auto withSecond = [&](const QByteArray &entry) { return R"({"points": [)" + good + ", " + entry + "]}"; };
    QTest::newRow("channel 5") << withSecond(R"({"module": "0", "channel": 5, "expected": 300, "tolerance": 2})")
                               << "point 2: channel must be a whole number 1..4";
    QTest::newRow("module G") << withSecond(R"({"module": "G", "channel": 1, "expected": 300, "tolerance": 2})")
                              << "point 2: module must be";
    QTest::newRow("class 4") << withSecond(R"({"module": "0", "channel": 1, "expected": 300, "class": 4})")
                             << "point 2: no tolerance class '4'";
    QTest::newRow("both") << withSecond(R"({"module": "0", "channel": 1, "expected": 300, "tolerance": 2, "class": "1"})")
                          << "point 2: give either a tolerance or a class";
    QTest::newRow("neither") << withSecond(R"({"module": "0", "channel": 1, "expected": 300})")
                             << "point 2: give either a tolerance or a class";
    QTest::newRow("no tolerance") << withSecond(R"({"module": "0", "channel": 1, "expected": 300, "tolerance": 0})")
                                  << "point 2: tolerance must be";
    QTest::newRow("expected text") << withSecond(R"({"module": "0", "channel": 1, "expected": "hot", "tolerance": 2})")
                                   << "point 2: expected must be a number";
    QTest::newRow("below absolute zero") << withSecond(R"({"module": "0", "channel": 1, "expected": -300, "tolerance": 2})")
                                         << "point 2: expected temperature -300";
    QTest::newRow("misspelt key") << withSecond(R"({"module": "0", "channel": 1, "expected": 300, "tolerence": 2})")
                                  << "point 2: unknown key 'tolerence'";
    QTest::newRow("AA at 300") << withSecond(R"({"module": "0", "channel": 2, "expected": 300, "class": "AA"})")
                               << "point 2: 300 °C is outside class AA for every sensor";
    QTest::newRow("no points") << QByteArray(R"({"points": []})") << "non-empty list";
    QTest::newRow("not JSON") << QByteArray("points: 1") << "not JSON";
}

// Refused before the port is opened: the module is never asked anything.
void TestKorunCheck::planThatCannotBeRightIsRefused()
{
    QFETCH(QByteArray, plan);
    QFETCH(QString, said);
    QTemporaryDir dir;
    line.clearRequests();
    const CheckRun run = runCheck(port + QStringList{"--plan", writeFile(dir, "plan.json", plan), "--yes"});
    QCOMPARE(run.exitCode, 2);
    QVERIFY2(run.err.contains(said), qPrintable(run.err));
    QVERIFY(run.out.isEmpty());
    QVERIFY(line.requests().isEmpty());
}

QTEST_GUILESS_MAIN(TestKorunCheck)
#include "tst_korun_check.moc"
