// korun-monitor as a program: recording a line until SIGTERM, its alarms on standard error.
#include "sim_line.h"

#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>

class TestMonitor : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void recordsUntilSigterm();
    void fullDiskStopsTheRecordingAndTheExitStatusSaysSo();
    void silentModuleIsOneAlarmUntilItAnswers();
    void channelFileThatCannotBeRightIsRefused();
};

namespace {

// korun-monitor with its standard error collected as it comes.
struct MonitorRun {
    QProcess process;
    QString err;

    void start(const QStringList &arguments)
    {
        QObject::connect(&process, &QProcess::readyReadStandardError,
                         [this] { err += QString::fromUtf8(process.readAllStandardError()); });
        process.start(QStringLiteral(KORUN_MONITOR_PATH), arguments);
    }
    bool said(const QString &text, int timeoutMs = 10000)
    {
        return QTest::qWaitFor([&] { return err.contains(text); }, timeoutMs);
    }
    // SIGTERM, then the exit code; -1 when it did not end normally.
    int stop()
    {
        ::kill(pid_t(process.processId()), SIGTERM);
        if (!process.waitForFinished(5000) || process.exitStatus() != QProcess::NormalExit)
            return -1;
        err += QString::fromUtf8(process.readAllStandardError());
        return process.exitCode();
    }
};

} // namespace

// The programs started here keep their settings away from the user's.
void TestMonitor::initTestCase()
{
    static QTemporaryDir config;
    qputenv("XDG_CONFIG_HOME", config.path().toUtf8());
}

void TestMonitor::recordsUntilSigterm()
{
    SimLine line;
    QVERIFY(line.start({"--address", "3", "--channel", "1=TC_K@300"}));
    QTemporaryDir dir;
    const QString csv = dir.filePath("out.csv");
    QProcess monitor;
    monitor.start(QStringLiteral(KORUN_MONITOR_PATH),
                  {"--port", line.portName(), "--address", "3", "--period", "0.2", "--record", csv});
    const auto rows = [&] {
        QFile file(csv);
        if (!file.open(QIODevice::ReadOnly))
            return QStringList();
        return QString::fromUtf8(file.readAll()).split('\n', Qt::SkipEmptyParts);
    };
    QVERIFY(QTest::qWaitFor([&] { return rows().size() > 8; }, 15000));
    ::kill(pid_t(monitor.processId()), SIGTERM);
    QVERIFY(monitor.waitForFinished(5000));
    QCOMPARE(monitor.exitStatus(), QProcess::NormalExit);
    QCOMPARE(monitor.exitCode(), 0);
    const QStringList written = rows();
    QVERIFY(written[0].startsWith("time_utc,module,"));
    for (const QString &row : written.mid(1)) {
        QVERIFY2(QRegularExpression("^\\d{4}-.*Z,3,").match(row).hasMatch() && row.endsWith(",ok"), qPrintable(row));
        QVERIFY(qAbs(row.section(',', 8, 8).toDouble() - 300) < 0.1);
    }
}

void TestMonitor::fullDiskStopsTheRecordingAndTheExitStatusSaysSo()
{
    SimLine line;
    QVERIFY(line.start({"--address", "3"}));
    MonitorRun monitor;
    monitor.start({"--port", line.portName(), "--address", "3", "--period", "0.1", "--record", "/dev/full"});
    QVERIFY2(monitor.said("korun-monitor: Recording to /dev/full stopped: "), qPrintable(monitor.err));
    QCOMPARE(monitor.stop(), 1);
    QCOMPARE(monitor.err.count("stopped"), 1);
}

// Module 7 of two goes silent: one "no answer" entry for it, none for its channels or for
// module 3, cleared once it answers. A channel sending NaN is a sensor break named so.
void TestMonitor::silentModuleIsOneAlarmUntilItAnswers()
{
    SimLine line;
    QVERIFY(line.start({"--address", "3,7", "--channel", "1=TC_K@300"}));
    QTemporaryDir dir;
    const QString csv = dir.filePath("line.csv");
    MonitorRun monitor;
    monitor.start({"--port", line.portName(), "--address", "3,7", "--period", "0.1", "--record", csv});
    const auto statuses = [&](const QString &module) {
        QFile file(csv);
        QStringList found;
        if (!file.open(QIODevice::ReadOnly))
            return found;
        for (const QString &row : QString::fromUtf8(file.readAll()).split('\n', Qt::SkipEmptyParts))
            if (row.section(',', 1, 1) == module)
                found << row.section(',', 24);
        return found;
    };
    QVERIFY(QTest::qWaitFor([&] { return statuses("7").size() >= 2; }, 10000));

    QVERIFY(line.command("module 7 fault silent"));
    QVERIFY2(monitor.said("  0xB7  No answer (Request timeout.)"), qPrintable(monitor.err));
    const int silentFrom = statuses("7").size();
    QVERIFY(QTest::qWaitFor([&] { return statuses("7").size() >= silentFrom + 3; }, 10000));
    QVERIFY(line.command("module 7 fault none"));
    QVERIFY2(monitor.said("  0xB7  cleared (answers again)"), qPrintable(monitor.err));

    QVERIFY(line.command("module 3 poke 0000 0000 7FC0"));
    QVERIFY2(monitor.said("  0xB3 ch1  Sensor break (sent NaN)"), qPrintable(monitor.err));
    QVERIFY(QTest::qWaitFor([&] { return statuses("3").last() == "channel 1 sent NaN"; }, 5000));
    QCOMPARE(monitor.stop(), 0);
    QCOMPARE(monitor.err.count("alarm: "), 3);
}

// Refused with the entry named, before any port is opened (this one does not exist).
void TestMonitor::channelFileThatCannotBeRightIsRefused()
{
    QTemporaryDir dir;
    QFile file(dir.filePath("channels.json"));
    QVERIFY(file.open(QIODevice::WriteOnly) && file.write(R"({"format": "korun-channels/1", "channels": [
        {"module": "3", "channel": 1}, {"module": "3", "channel": 1, "tag": "again"}]})"));
    file.close();
    MonitorRun monitor;
    monitor.start({"--port", "/nonexistent/port", "--channels", file.fileName()});
    QVERIFY(monitor.process.waitForFinished(5000));
    QCOMPARE(monitor.process.exitCode(), 2);
    QVERIFY2(monitor.said("entry 2 (module 3, channel 1): the channel is named twice\n", 1000), qPrintable(monitor.err));
}

QTEST_MAIN(TestMonitor)
#include "tst_monitor.moc"
