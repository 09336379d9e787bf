// korun-log as a user runs it: the real program against korun-sim on a virtual line.
#include "sim_line.h"

#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>

namespace {

// Far apart on-board temperatures: a thermocouple compensated with the other pair's shows.
const QStringList knownModule = {"--channel", "1=TC_K@300", "--channel", "2=TR_100Pt:3@22.5", "--channel",
                                 "3=TC_J@150", "--channel", "4=VOLTAGE@12.5", "--cold", "18,41"};
constexpr int columnCount = 25;

struct LogRun {
    int exitCode;
    QString out;
    QString err;
};

LogRun runLog(const QStringList &arguments, int timeoutMs = 10000)
{
    QProcess process;
    process.start(QStringLiteral(KORUN_LOG_PATH), arguments);
    process.waitForFinished(timeoutMs);
    return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
            QString::fromUtf8(process.readAllStandardOutput()), QString::fromUtf8(process.readAllStandardError())};
}

QStringList fileLines(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(file.readAll()).split('\n', Qt::SkipEmptyParts);
}

// Waits until the file has at least `count` lines.
bool waitForLines(const QString &path, int count, int timeoutMs = 10000)
{
    return QTest::qWaitFor([&] { return fileLines(path).size() >= count; }, timeoutMs);
}

} // namespace

class TestKorunLog : public QObject
{
    Q_OBJECT

private slots:
    void headerAndRowsForAKnownModule();
    void failedRefreshesWriteRowsAndRecover();
    void outputAndExitStatus();
    void deadModuleIsBackedOffWhileOthersKeepTheirRows();
    void badArgumentsFailBeforeOpeningAnything_data();
    void badArgumentsFailBeforeOpeningAnything();
    void killLeavesOnlyCompleteRows();
    void valuesThatAreNotNumbersLeaveEmptyCellsAndAreNamed();
    void responseTimesOfASlowModule();
};

void TestKorunLog::headerAndRowsForAKnownModule()
{
    SimLine line;
    QVERIFY(line.start(knownModule));
    qputenv("LC_ALL", "de_DE.UTF-8"); // a comma locale must not change the numbers
    const LogRun run = runLog({"--port=" + line.portName(), "--period", "0.05", "--count", "3"});
    qunsetenv("LC_ALL");
    QCOMPARE(run.exitCode, 0);
    const QStringList lines = run.out.split('\n', Qt::SkipEmptyParts);
    QCOMPARE(lines.size(), 4);
    QCOMPARE(lines[0].section(',', 0, 8),
             QStringLiteral("time_utc,module,xt1xt2_temperature_C,xt3xt4_temperature_C,ch1_sensor,"
                            "ch1_physic_value_mV_or_ohm,ch1_adc_code,ch1_gain,ch1_temperature_C"));
    QVERIFY(lines[0].endsWith(",ch4_temperature_C,status"));

    const QStringList cells = lines[1].split(',');
    QCOMPARE(cells.size(), columnCount);
    QVERIFY(QRegularExpression("^\\d{4}-\\d\\d-\\d\\dT\\d\\d:\\d\\d:\\d\\d\\.\\d{3}Z$").match(cells[0]).hasMatch());
    QCOMPARE(cells[1], QStringLiteral("0"));
    QCOMPARE(cells[2], QStringLiteral("18.000000"));
    QCOMPARE(cells[4], QStringLiteral("TC_K"));
    QCOMPARE(cells[7], QStringLiteral("16"));
    QVERIFY(qAbs(cells[8].toDouble() - 300) < 0.05);
    QCOMPARE(cells[9], QStringLiteral("TR_100Pt"));
    QVERIFY(qAbs(cells[13].toDouble() - 22.5) < 0.01);
    QCOMPARE(cells[14], QStringLiteral("TC_J"));
    QVERIFY(qAbs(cells[18].toDouble() - 150) < 0.05);
    QCOMPARE(cells[19], QStringLiteral("VOLTAGE"));
    QCOMPARE(cells[20], QStringLiteral("12.500000"));
    QCOMPARE(cells[23], QStringLiteral("12.500000"));
    QCOMPARE(cells[24], QStringLiteral("ok"));
    QVERIFY2(run.err.contains("3 refreshes, 3 complete rows, 0 failed requests"), qPrintable(run.err));
    QVERIFY2(run.err.contains("module 0 (0xB0): 3 rows, 3 complete, 0 failed requests, last failure: none"),
             qPrintable(run.err));

    const LogRun one = runLog({"--port", line.portName(), "--count", "1"});
    QVERIFY2(one.err.startsWith("korun-log: 1 refresh, 1 complete row, 0 failed requests"), qPrintable(one.err));
}

void TestKorunLog::failedRefreshesWriteRowsAndRecover()
{
    SimLine line;
    QVERIFY(line.start(knownModule));
    QTemporaryDir dir;
    const QString csv = dir.filePath("run.csv");
    QProcess log;
    log.start(QStringLiteral(KORUN_LOG_PATH),
              {"--port", line.portName(), "--period", "0.1", "--output", csv, "--timeout", "50"});
    QVERIFY(waitForLines(csv, 4));

    QVERIFY(line.command("fault silent"));
    const int beforeSilence = fileLines(csv).size();
    QVERIFY(waitForLines(csv, beforeSilence + 2));
    QVERIFY(line.command("fault none"));
    QVERIFY(waitForLines(csv, fileLines(csv).size() + 3));

    line.cutLine();
    QVERIFY(waitForLines(csv, fileLines(csv).size() + 3));
    line.stop();
    QVERIFY(line.start(knownModule));
    const int beforeRecovery = fileLines(csv).size();
    QVERIFY2(QTest::qWaitFor(
                 [&] {
                     const QStringList rows = fileLines(csv);
                     return rows.size() > beforeRecovery + 1 && rows.last().endsWith(QLatin1String(",ok"));
                 },
                 10000),
             qPrintable(fileLines(csv).mid(beforeRecovery).join('\n')));

    ::kill(pid_t(log.processId()), SIGTERM);
    QVERIFY(log.waitForFinished(3000));
    QCOMPARE(log.exitStatus(), QProcess::NormalExit);
    QCOMPARE(log.exitCode(), 0);
    const QString summary = QString::fromUtf8(log.readAllStandardError());
    QVERIFY2(summary.contains(QRegularExpression("korun-log: \\d+ refreshes, \\d+ complete rows, [1-9]\\d* failed "
                                                 "requests, [1-9]\\d* reconnections")),
             qPrintable(summary));

    const QStringList lines = fileLines(csv);
    QStringList statuses;
    for (const QString &row : lines.mid(1)) {
        const QStringList cells = row.split(',');
        QCOMPARE(cells.size(), columnCount);
        statuses << cells.last();
        if (cells.last() != QLatin1String("ok"))
            QVERIFY2(cells[2].isEmpty() || cells[4].isEmpty(), qPrintable(row));
    }
    QVERIFY(statuses.contains("Error: Request timeout.; Modbus disconnected"));
    QVERIFY2(std::any_of(statuses.begin(), statuses.end(),
                         [](const QString &s) { return s.startsWith("Modbus disconnected; Modbus ConnectionError"); }),
             qPrintable(statuses.join(" | ")));
    QVERIFY2(statuses.last() == QLatin1String("ok"), qPrintable(statuses.join(" | ")));
}

void TestKorunLog::outputAndExitStatus()
{
    SimLine line;
    QVERIFY(line.start(knownModule));
    QTemporaryDir dir;
    const QString csv = dir.filePath("append.csv");
    QCOMPARE(runLog({"--port", line.portName(), "--count", "2", "--period", "0.05", "--output", csv}).exitCode, 0);
    QFile file(csv);
    QVERIFY(file.open(QIODevice::Append));
    file.write("interrupted");
    file.close();
    QCOMPARE(runLog({"--port", line.portName(), "--count", "1", "--output", csv}).exitCode, 0);
    QStringList lines = fileLines(csv);
    QCOMPARE(lines.size(), 5); // one header; the unfinished line ended before the new row
    QVERIFY(lines[0].startsWith("time_utc,"));
    QCOMPARE(lines[3], QStringLiteral("interrupted"));
    QVERIFY(lines[4].endsWith(",ok"));

    // Rows are never glued under another program's columns.
    const QString foreign = dir.filePath("foreign.csv");
    file.setFileName(foreign);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("a,b,c\n1,2,3\n");
    file.close();
    LogRun run = runLog({"--port", line.portName(), "--count", "1", "--output", foreign});
    QCOMPARE(run.exitCode, 2);
    QVERIFY2(run.err.contains("holds other columns"), qPrintable(run.err));
    QCOMPARE(fileLines(foreign), QStringList({"a,b,c", "1,2,3"}));
    // Nor under another version of korun-log's own columns.
    const QString older = dir.filePath("older.csv");
    file.setFileName(older);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("time_utc,module,xt1xt2_temperature_C,status\n2026-01-01T00:00:00.000Z,0,24.5,ok\n");
    file.close();
    run = runLog({"--port", line.portName(), "--count", "1", "--output", older});
    QCOMPARE(run.exitCode, 2);
    QVERIFY2(run.err.contains("holds other columns"), qPrintable(run.err));
    QCOMPARE(fileLines(older), QStringList({"time_utc,module,xt1xt2_temperature_C,status",
                                            "2026-01-01T00:00:00.000Z,0,24.5,ok"}));

    // A full disk ends the run with an error rather than a summary of rows never stored.
    run = runLog({"--port", line.portName(), "--period", "0.05", "--output", "/dev/full"});
    QCOMPARE(run.exitCode, 1);
    QVERIFY2(run.err.contains("cannot write the recording"), qPrintable(run.err));

    // Nobody at this address: the row says so and the run is not a success.
    run = runLog({"--port", line.portName(), "--address", "5", "--count", "1"});
    QCOMPARE(run.exitCode, 1);
    QVERIFY2(run.out.contains("timeout") && !run.out.contains(",ok"), qPrintable(run.out));
    QVERIFY2(run.err.contains("0 complete rows"), qPrintable(run.err));
}

// Three modules, the last one silent: every sweep writes a row per module, the live ones
// complete, the dead one asked 3 times and then only every 10th sweep.
void TestKorunLog::deadModuleIsBackedOffWhileOthersKeepTheirRows()
{
    SimLine line;
    QVERIFY(line.start({"--address", "0,3,7", "--channel", "1=TC_K@300", "--cold", "20,20"}));
    QVERIFY(line.command("module 7 fault silent"));
    const LogRun run = runLog({"--port", line.portName(), "--address", "0,3", "--address", "7", "--period", "0.05",
                               "--count", "25", "--timeout", "50"},
                              30000);
    QCOMPARE(run.exitCode, 0);
    QMap<QString, QStringList> statuses;
    for (const QString &row : run.out.split('\n', Qt::SkipEmptyParts).mid(1))
        statuses[row.section(',', 1, 1)] << row.section(',', 24);
    QCOMPARE(statuses.keys(), QStringList({"0", "3", "7"}));
    QCOMPARE(statuses["0"], QStringList(QVector<QString>(25, "ok").toList()));
    QCOMPARE(statuses["3"], statuses["0"]);
    const QStringList dead = statuses["7"];
    QCOMPARE(dead.size(), 25);
    const int asked = int(std::count_if(dead.begin(), dead.end(), [](const QString &s) { return !s.startsWith("not asked"); }));
    QCOMPARE(asked, 3 + 2);
    QVERIFY2(dead[12].startsWith("Error: ") && dead[12].contains("asked every 10th period"), qPrintable(dead[12]));
    QVERIFY2(run.err.contains("module 3 (0xB3): 25 rows, 25 complete, 0 failed requests, last failure: none"),
             qPrintable(run.err));
    QVERIFY2(run.err.contains(QRegularExpression("module 7 \\(0xB7\\): 25 rows, 0 complete, [1-9]\\d* failed requests?, "
                                                 "last failure: \\S")),
             qPrintable(run.err));
}

void TestKorunLog::badArgumentsFailBeforeOpeningAnything_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("message");
    const QString port = QStringLiteral("/dev/korun-not-opened");
    QTest::newRow("unknown option") << QStringList{"--port", port, "--speed", "9600"} << "Unknown option 'speed'";
    QTest::newRow("no port") << QStringList{"--count", "1"} << "--port is required";
    QTest::newRow("address G") << QStringList{"--port", port, "--address", "G"} << "--address takes hex digits 0..F, not 'G'";
    QTest::newRow("period beyond a timer") << QStringList{"--port", port, "--period=1e7"} << "--period must be a number";
    QTest::newRow("missing value") << QStringList{"--port", port, "--count"} << "Missing value after '--count'";
    QTest::newRow("output not creatable") << QStringList{"--port", port, "--output", "/nonexistent-dir/x.csv"}
                                          << "cannot write /nonexistent-dir/x.csv";
    QTest::newRow("port cannot be opened") << QStringList{"--port", port} << "cannot open " + port;
}

void TestKorunLog::badArgumentsFailBeforeOpeningAnything()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, message);
    const LogRun run = runLog(arguments);
    QVERIFY(run.exitCode > 0);
    QCOMPARE(run.out, QString());
    QCOMPARE(run.err.count('\n'), 1);
    QVERIFY2(run.err.startsWith("korun-log: " + message), qPrintable(run.err));
}

void TestKorunLog::killLeavesOnlyCompleteRows()
{
    SimLine line;
    QVERIFY(line.start(knownModule));
    QTemporaryDir dir;
    const QString csv = dir.filePath("killed.csv");
    QProcess log;
    log.start(QStringLiteral(KORUN_LOG_PATH), {"--port", line.portName(), "--period", "0.02", "--output", csv});
    QVERIFY(waitForLines(csv, 20));
    ::kill(pid_t(log.processId()), SIGKILL);
    QVERIFY(log.waitForFinished(3000));

    QFile file(csv);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray content = file.readAll();
    QVERIFY(content.endsWith('\n'));
    const QStringList lines = fileLines(csv);
    for (const QString &row : lines)
        QCOMPARE(row.split(',').size(), columnCount);
}

// NaN and infinities from the module are never recorded as numbers: their cells, and the
// temperatures computed from them, stay empty and the status names who sent what. A
// NO_SENSOR channel has no temperature either way and is not named.
void TestKorunLog::valuesThatAreNotNumbersLeaveEmptyCellsAndAreNamed()
{
    SimLine line;
    QVERIFY(line.start(knownModule.mid(0, 6) + QStringList{"--cold", "18,41"}));
    QVERIFY(line.command("poke 0010 0000 7FC0")); // channel 2 (Pt100) NaN
    QVERIFY(line.command("poke 2002 0000 FF80")); // XT3/XT4 -Inf: channel 3's cold junction
    QVERIFY(line.command("poke 0030 0000 7F80")); // channel 4 (NO_SENSOR) +Inf
    const LogRun run = runLog({"--port", line.portName(), "--count", "1"});
    QCOMPARE(run.exitCode, 0); // the module answered: a complete row
    const QString row = run.out.split('\n', Qt::SkipEmptyParts).value(1);
    const QStringList cells = row.split(',');
    QCOMPARE(cells.size(), columnCount);
    const QString numbers = cells.mid(0, 24).join(',');
    QVERIFY2(!numbers.contains("nan", Qt::CaseInsensitive) && !numbers.contains("inf", Qt::CaseInsensitive),
             qPrintable(row));
    QCOMPARE(cells[2], QStringLiteral("18.000000"));
    QCOMPARE(cells[3], QString());
    QVERIFY(qAbs(cells[8].toDouble() - 300) < 0.05); // channel 1 on XT1/XT2 is unharmed
    QCOMPARE(cells[9], QStringLiteral("TR_100Pt"));
    QCOMPARE(cells[10], QString());
    QCOMPARE(cells[13], QString());
    QCOMPARE(cells[14], QStringLiteral("TC_J"));
    QVERIFY(!cells[15].isEmpty());
    QCOMPARE(cells[18], QString());
    QCOMPARE(cells[19], QStringLiteral("NO_SENSOR"));
    QCOMPARE(cells[20], QString());
    QCOMPARE(cells[23], QString());
    QCOMPARE(cells[24], QStringLiteral("XT3/XT4 sent -Inf; channel 2 sent NaN"));
}

// On a line paced at 115200 baud: the module's turnaround plus the bytes' wire time is
// what the summary reports; a module slower than the link's timeout is read with a longer one.
void TestKorunLog::responseTimesOfASlowModule()
{
    SimLine line;
    QVERIFY(line.start({"--line-baud", "115200", "--turnaround", "30", "--channel", "1=TC_K@300"}));
    const LogRun run = runLog({"--port", line.portName(), "--count", "4", "--period", "0.01"});
    QCOMPARE(run.exitCode, 0);
    const QRegularExpression median(QStringLiteral("response median ([0-9.]+) ms, max ([0-9.]+) ms, 0 retries"));
    const QRegularExpressionMatch found = median.match(run.err);
    QVERIFY2(found.hasMatch(), qPrintable(run.err));
    // 30 ms, 8 request and 13 or 15 reply bytes at 115200 baud: 31.9 ms.
    QVERIFY2(found.captured(1).toDouble() > 31 && found.captured(1).toDouble() < 36, qPrintable(run.err));
    QVERIFY2(run.err.contains("module 0xB0's refreshes take"), qPrintable(run.err)); // 290 ms of 10

    SimLine slow, slowAgain; // the first is still busy with the requests that timed out
    QVERIFY(slow.start({"--turnaround", "300"}));
    QCOMPARE(runLog({"--port", slow.portName(), "--count", "1", "--retries", "0"}).exitCode, 1);
    QVERIFY(slowAgain.start({"--turnaround", "300"}));
    const LogRun patient = runLog({"--port", slowAgain.portName(), "--count", "1", "--timeout", "500"});
    QCOMPARE(patient.exitCode, 0);
    QVERIFY2(patient.err.contains(", 0 retries, 0 timeouts"), qPrintable(patient.err));
}

QTEST_GUILESS_MAIN(TestKorunLog)
#include "tst_korun_log.moc"
