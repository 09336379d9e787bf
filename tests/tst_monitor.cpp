// korun-monitor: its channel alarms, and the program recording a line until SIGTERM.
#include "channel_alarm.h"
#include "sensor_catalogue.h"
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
    void alarmsRaiseAndClearWithHysteresis_data();
    void alarmsRaiseAndClearWithHysteresis();
    void recordsUntilSigterm();
};

void TestMonitor::alarmsRaiseAndClearWithHysteresis_data()
{
    QTest::addColumn<int>("sensor");
    QTest::addColumn<QVector<double>>("readings"); // NaN: no temperature
    QTest::addColumn<QVector<int>>("states");
    using V = QVector<double>;
    using S = QVector<int>;
    const double none = NAN;
    // Limits 0..100 degC, hysteresis 1 degC.
    QTest::newRow("high, held inside the band, cleared below") << int(TC_K) << V{50, 101, 99.5, 98.9}
                                                                << S{ChannelAlarm::None, ChannelAlarm::High,
                                                                     ChannelAlarm::High, ChannelAlarm::None};
    QTest::newRow("low, cleared above the band") << int(TR_100Pt) << V{-1, 0.5, 1.5}
                                                 << S{ChannelAlarm::Low, ChannelAlarm::Low, ChannelAlarm::None};
    QTest::newRow("no temperature is a break") << int(TC_J) << V{20, none, 20}
                                               << S{ChannelAlarm::None, ChannelAlarm::SensorBreak, ChannelAlarm::None};
    QTest::newRow("outside the Pt range is a break") << int(TR_100Pt) << V{900, 50}
                                                     << S{ChannelAlarm::SensorBreak, ChannelAlarm::None};
    QTest::newRow("no sensor, no alarm") << int(NO_SENSOR) << V{none, 500} << S{ChannelAlarm::None, ChannelAlarm::None};
}

void TestMonitor::alarmsRaiseAndClearWithHysteresis()
{
    QFETCH(int, sensor);
    QFETCH(QVector<double>, readings);
    QFETCH(QVector<int>, states);
    ChannelAlarm alarm;
    alarm.low = 0;
    alarm.high = 100;
    for (int i = 0; i < readings.size(); ++i) {
        const std::optional<float> t = std::isnan(readings[i]) ? std::nullopt : std::optional<float>(float(readings[i]));
        alarm.update(unsigned(sensor), t);
        QVERIFY2(alarm.kind() == states[i], qPrintable(QString("reading %1").arg(i)));
    }
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
        file.open(QIODevice::ReadOnly);
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

QTEST_MAIN(TestMonitor)
#include "tst_monitor.moc"
