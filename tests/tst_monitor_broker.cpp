// korun-monitor as a viewer of lines korun-log publishes to a real mosquitto broker: two
// recorders on two simulated lines, one window per line, started after the recorders.
#include "live_table_model.h"
#include "monitor_window.h"
#include "mqtt_test_broker.h"
#include "sim_line.h"

#include <QComboBox>
#include <QPushButton>

#include <algorithm>
#include <csignal>
#include <utility>

class TestMonitorBroker : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void lateViewerRecordsOnlyItsLineAsItsRecorderDid();
    void silentOrGoneRecorderIsNeverShownLive();
    void windowViewsTheLinesTheBrokerKnows();
    void noBrokerIsNotAnEmptyBroker();
    void gapsInSeqAreLostReadings();
    void readingsAreTakenAsFarAsTheirTimesAllow();
    void brokerThatComesUpLaterIsReached();
    void programViewsAndRecordsFromTheBroker();
    void cleanupTestCase();

private:
    void startLog(QProcess &log, SimLine &line, const QString &name)
    {
        log.start(KORUN_LOG_PATH, {"--port", line.portName(), "--line", name, "--period", "0.2", "--output",
                                   dir.filePath(name + ".csv"), "--mqtt", "127.0.0.1:" + QString::number(broker.port)});
    }
    std::unique_ptr<MonitorWindow> viewer(const QString &line)
    {
        MonitorSettings settings;
        settings.broker.host = "127.0.0.1";
        settings.broker.port = broker.port;
        settings.broker.line = line;
        return std::make_unique<MonitorWindow>(settings);
    }
    static bool live(MonitorWindow &window)
    {
        return window.liveModel().moduleCount() == 1 && window.liveModel().readingText(0).endsWith("°C");
    }
    static QStringList items(const QComboBox *combo)
    {
        QStringList texts;
        for (int i = 0; i < combo->count(); ++i)
            texts << combo->itemText(i);
        return texts;
    }
    static void choose(QComboBox *combo, const QString &line)
    {
        combo->setCurrentIndex(combo->findData(line));
        emit combo->activated(combo->currentIndex());
    }
    // A state of module 0xB0 as korun-log words it, with channel 1 at `celsius`.
    bool publish(const QString &line, const QString &tail, int seq, const QDateTime &time, double celsius,
                 bool retain = false)
    {
        QStringList channels;
        for (int c = 1; c <= 4; ++c)
            channels << QString(R"({"channel":%1,"sensor":"TC_K","value":12.5,"unit":"mV","adc":100,"gain":8,)"
                                R"("temperature_C":%2,"status":"ok"})").arg(c).arg(c == 1 ? celsius : 20.0);
        const QString message = QString(R"({"schema":1,"time":"%1","line":"%2","seq":%3,"module":"0xB0",)"
                                        R"("xt1xt2_C":25,"xt1xt2_status":"ok","xt3xt4_C":25,"xt3xt4_status":"ok",)"
                                        R"("channels":[%4],"status":"ok"})")
                                    .arg(time.toString(Qt::ISODateWithMs), line).arg(seq).arg(channels.join(','));
        return mqttPublish(line, tail, message, retain);
    }
    bool mqttPublish(const QString &line, const QString &tail, const QString &message, bool retain = false)
    {
        QStringList arguments{"-h", "127.0.0.1", "-p", QString::number(broker.port), "-q", "1",
                              "-t", "korun/" + line + "/" + tail, "-m", message};
        if (retain)
            arguments << "-r";
        return run("mosquitto_pub", arguments);
    }
    static QString healthOf(MonitorWindow &window)
    {
        return window.liveModel().index(0, 0).data().toString();
    }

    QTemporaryDir dir;
    Broker broker{dir.path()};
    SimLine line1, line2;
    QProcess log1, log2;
    std::unique_ptr<MonitorWindow> window1, window2;
};

void TestMonitorBroker::initTestCase()
{
    qputenv("XDG_CONFIG_HOME", dir.path().toUtf8());
    QCoreApplication::setApplicationName("korun-monitor-test");
    QVERIFY(broker.start());
    QVERIFY(line1.start({"--channel", "1=TC_K@200", "--channel", "2=TR_100Pt:3@20", "--channel", "3=TC_J@100",
                         "--channel", "4=TR_100Pt:3@40", "--noise", "0.5"}));
    QVERIFY(line2.start({"--channel", "1=TC_K@300", "--channel", "2=TR_100Pt:3@25", "--channel", "3=TC_J@150",
                         "--channel", "4=TR_100Pt:3@45", "--noise", "0.5"}));
    startLog(log1, line1, "l1");
    startLog(log2, line2, "l2");
    QVERIFY(QTest::qWaitFor([&] { return csvRows(dir.filePath("l1.csv")).size() >= 2 && csvRows(dir.filePath("l2.csv")).size() >= 2; }, 8000));
}

// Both viewers show their module within a second of starting, from the retained messages;
// l2's recording holds exactly rows l2's recorder wrote, one after the other, and none of l1's.
void TestMonitorBroker::lateViewerRecordsOnlyItsLineAsItsRecorderDid()
{
    window1 = viewer("l1");
    window2 = viewer("l2");
    const QString out = dir.filePath("out.csv");
    QVERIFY(window2->startRecording(out));
    QVERIFY(window1->startViewing() && window2->startViewing());
    QVERIFY(window2->windowTitle().startsWith("Korun monitor (viewer of l2 at 127.0.0.1)"));
    for (QPushButton *button : window2->findChildren<QPushButton *>())
        QVERIFY(button->text() != "Scan" || !button->isVisibleTo(window2.get()));
    QTRY_VERIFY_WITH_TIMEOUT(live(*window1) && live(*window2), 1000);

    // From the time the module was read to the row in the window, while ten more viewers
    // (without a window) read the same line from the same broker.
    QVector<qint64> delays, others;
    const auto measuring = connect(window2->lineSource(), &LineSource::swept, this, [&](const QVector<SweepRow> &rows) {
        delays << rows[0].snapshot.time.msecsTo(QDateTime::currentDateTimeUtc());
    });
    std::vector<std::unique_ptr<BrokerLine>> crowd;
    BrokerLineSettings l2;
    l2.host = "127.0.0.1";
    l2.port = broker.port;
    l2.line = "l2";
    for (int n = 0; n < 10; ++n) {
        crowd.push_back(std::make_unique<BrokerLine>(l2));
        // Their first row is the retained newest, as old as it is.
        connect(crowd.back().get(), &LineSource::swept, this, [&, retained = true](const QVector<SweepRow> &rows) mutable {
            if (!std::exchange(retained, false))
                others << rows[0].snapshot.time.msecsTo(QDateTime::currentDateTimeUtc());
        });
        QString error;
        QVERIFY(crowd.back()->start(error));
    }
    QTRY_VERIFY_WITH_TIMEOUT(csvRows(out).size() >= 12, 5000);
    disconnect(measuring);
    crowd.clear();
    for (QVector<qint64> *measured : {&delays, &others})
        std::sort(measured->begin(), measured->end());
    qInfo("state time to row, 12 viewers on one broker: window %d rows, median %lld ms, max %lld ms; "
          "the others %d rows, median %lld ms, max %lld ms", int(delays.size()), delays[delays.size() / 2],
          delays.last(), int(others.size()), others[others.size() / 2], others.last());

    const QStringList recorded = csvRows(out), own = csvRows(dir.filePath("l2.csv"));
    const int first = int(own.indexOf(recorded[0]));
    QVERIFY2(first >= 0, qPrintable(recorded[0]));
    QCOMPARE(recorded, own.mid(first, recorded.size()));
}

// A recorder stopped for a moment (SIGSTOP) goes stale after three periods; an orderly stop
// (SIGTERM) and a killed one (SIGKILL: the last will) say offline, the latter at once.
void TestMonitorBroker::silentOrGoneRecorderIsNeverShownLive()
{
    ::kill(pid_t(log1.processId()), SIGSTOP);
    QTRY_VERIFY_WITH_TIMEOUT(healthOf(*window1).contains("no message for 3 periods"), 1500);
    QCOMPARE(window1->liveModel().readingText(0), QString("no temperature"));
    ::kill(pid_t(log1.processId()), SIGCONT);
    QTRY_VERIFY_WITH_TIMEOUT(live(*window1), 2000);

    ::kill(pid_t(log2.processId()), SIGTERM);
    QVERIFY(log2.waitForFinished(5000));
    QTRY_VERIFY_WITH_TIMEOUT(healthOf(*window2).contains("offline") && !live(*window2), 1000);
    startLog(log2, line2, "l2");
    QTRY_VERIFY_WITH_TIMEOUT(live(*window2), 5000);
    QElapsedTimer killed;
    log2.kill();
    killed.start();
    QTRY_VERIFY_WITH_TIMEOUT(healthOf(*window2).contains("recorder of line l2 is offline") && !live(*window2), 1000);
    qInfo("killed recorder shown offline after %lld ms", killed.elapsed());
    QVERIFY(live(*window1));
}

// Without --line the window lists the lines whose recorders left a status, and says which
// recorder is offline. Choosing another line ends what the first line's view had: its
// recording stops, its alarms are over and its trend is gone; the new line's alarms name it.
void TestMonitorBroker::windowViewsTheLinesTheBrokerKnows()
{
    log2.kill(); // its last will says offline
    log2.waitForFinished(5000);
    auto window = viewer(QString());
    QVERIFY(window->startViewing());
    QVERIFY(window->windowTitle().contains("no line chosen"));
    auto *combo = window->findChild<QComboBox *>("lineCombo");
    QTRY_COMPARE_WITH_TIMEOUT(items(combo), (QStringList{"Choose a line", "l1", "l2 (recorder offline)"}), 1000);
    QCOMPARE(window->liveModel().moduleCount(), 0);
    startLog(log2, line2, "l2");
    QTRY_COMPARE_WITH_TIMEOUT(items(combo), (QStringList{"Choose a line", "l1", "l2"}), 5000);

    choose(combo, "l1");
    const QString out = dir.filePath("chosen.csv");
    QVERIFY(window->startRecording(out));
    QTRY_VERIFY_WITH_TIMEOUT(live(*window), 1000);
    QCOMPARE(items(combo), (QStringList{"l1", "l2"}));
    LiveTableModel &model = window->liveModel();
    QVERIFY(model.setData(model.channelIndex(0, LiveTableModel::HighLimit), "100", Qt::EditRole));
    QTRY_COMPARE_WITH_TIMEOUT(window->alarmLog().activeCount(), 1, 2000);
    QCOMPARE(window->alarmLog().entry(0).module, QString("l1 0xB0"));
    QTRY_VERIFY_WITH_TIMEOUT(csvRows(out).size() >= 2, 2000);

    const qint64 switched = QDateTime::currentMSecsSinceEpoch();
    choose(combo, "l2");
    QVERIFY(window->windowTitle().contains("viewer of l2") && window->windowTitle().endsWith("not recording"));
    QCOMPARE(window->alarmLog().activeCount(), 0);
    QVERIFY(window->trendHistory().readings(0, 0, switched).isEmpty());
    const QStringList recorded = csvRows(out), own = csvRows(dir.filePath("l1.csv"));
    QVERIFY(own.indexOf(recorded[0]) >= 0);
    QCOMPARE(recorded, own.mid(own.indexOf(recorded[0]), recorded.size()));
    // Thermocouple K at 300 degC on l2, 200 on l1.
    QTRY_VERIFY_WITH_TIMEOUT(live(*window) && model.readingText(0).section(' ', 0, 0).toDouble() > 250, 2000);
    QTRY_COMPARE_WITH_TIMEOUT(window->alarmLog().activeCount(), 1, 2000);
    QCOMPARE(window->alarmLog().entry(0).module, QString("l2 0xB0"));
    QCOMPARE(window->alarmLog().entry(1).module, QString("l1 0xB0"));
    QVERIFY(window->alarmLog().entry(1).cleared.isValid());
    QCOMPARE(csvRows(out), recorded);
}

// A broker that does not answer is never taken for one that knows no line.
void TestMonitorBroker::noBrokerIsNotAnEmptyBroker()
{
    MonitorSettings settings;
    settings.broker.host = "127.0.0.1";
    settings.broker.port = broker.port;
    settings.broker.prefix = "unused";
    MonitorWindow empty(settings);
    settings.broker.port = 1; // nothing listens there
    MonitorWindow nowhere(settings);
    settings.broker.port = broker.passwordPort; // and we give no password
    MonitorWindow refused(settings);
    QVERIFY(empty.startViewing() && nowhere.startViewing() && refused.startViewing());
    const auto shown = [](MonitorWindow &window) { return window.findChild<QComboBox *>("lineCombo")->currentText(); };
    QTRY_COMPARE_WITH_TIMEOUT(shown(empty), QString("No line published yet"), 1000);
    QVERIFY(shown(nowhere) == "Connecting to the broker" || shown(nowhere) == "The broker is not reachable");
    if (broker.hasPasswords())
        QTRY_VERIFY_WITH_TIMEOUT(shown(refused).startsWith("The broker refused: "), 1000);
}

// Readings 2 to 4 of a module never reached the broker.
void TestMonitorBroker::gapsInSeqAreLostReadings()
{
    auto window = viewer("l3");
    QVERIFY(window->startViewing());
    for (int seq : {1, 5}) {
        QVERIFY(publish("l3", "0/state", seq, QDateTime::currentDateTimeUtc(), 300.5));
        QTRY_VERIFY_WITH_TIMEOUT(live(*window) && window->liveModel().readingText(0) == "300.50 °C", 2000);
    }
    QTRY_VERIFY_WITH_TIMEOUT(window->lineSource()->summary().contains("readings lost: 3 from 0xB0"), 1000);
}

// On a line of 30 s periods a retained reading 11 s old is live at once; a module joining
// the line leaves the others' alarms as they were; a recorder restarted with its clock set
// back is heard; a reading dated an hour ahead is not shown, and the module says why.
void TestMonitorBroker::readingsAreTakenAsFarAsTheirTimesAllow()
{
    const QDateTime now = QDateTime::currentDateTimeUtc();
    QVERIFY(mqttPublish("l4", "info", R"({"schema":1,"line":"l4","modules":["0xB0"],"period_s":30})", true));
    QVERIFY(publish("l4", "0/last", 7, now.addSecs(-11), 300.5, true));
    auto window = viewer("l4");
    QVERIFY(window->startViewing());
    QTRY_VERIFY_WITH_TIMEOUT(live(*window), 1000);
    LiveTableModel &model = window->liveModel();
    QVERIFY(model.setData(model.channelIndex(0, LiveTableModel::HighLimit), "100", Qt::EditRole));
    QVERIFY(publish("l4", "0/state", 8, now.addSecs(-1), 301.5));
    QTRY_COMPARE_WITH_TIMEOUT(window->alarmLog().activeCount(), 1, 1000);

    QVERIFY(mqttPublish("l4", "info", R"({"schema":1,"line":"l4","modules":["0xB0","0xB1"],"period_s":30})"));
    QTRY_COMPARE_WITH_TIMEOUT(model.moduleCount(), 2, 1000);
    QVERIFY(publish("l4", "0/state", 1, now.addSecs(-600), 250));
    QTRY_COMPARE_WITH_TIMEOUT(model.readingText(0), QString("250.00 °C"), 1000);
    QCOMPARE(window->alarmLog().activeCount(), 1);

    QVERIFY(publish("l4", "0/state", 2, now.addSecs(3600), 999));
    QTRY_VERIFY_WITH_TIMEOUT(healthOf(*window).contains("ahead of this computer's clock"), 1000);
    QVERIFY(!model.readingText(0).contains("999"));
}

// A viewer started before its broker says so, and finds the lines once the broker is up.
void TestMonitorBroker::brokerThatComesUpLaterIsReached()
{
    QTemporaryDir laterDir;
    Broker later(laterDir.path());
    MonitorSettings settings;
    settings.broker.host = "127.0.0.1";
    settings.broker.port = later.port;
    MonitorWindow window(settings);
    QVERIFY(window.startViewing());
    auto *combo = window.findChild<QComboBox *>("lineCombo");
    QTRY_COMPARE_WITH_TIMEOUT(combo->currentText(), QString("The broker is not reachable"), 1000);
    QVERIFY(later.start());
    QVERIFY(run("mosquitto_pub", {"-h", "127.0.0.1", "-p", QString::number(later.port), "-q", "1", "-r",
                                  "-t", "korun/late/status", "-m", "online"}));
    QTRY_COMPARE_WITH_TIMEOUT(items(combo), (QStringList{"Choose a line", "late"}), 3000);
}

// The program itself: --mqtt and --line on its command line, a recording, an orderly stop.
void TestMonitorBroker::programViewsAndRecordsFromTheBroker()
{
    QProcess monitor;
    const QString out = dir.filePath("program.csv");
    monitor.start(KORUN_MONITOR_PATH, {"--mqtt", "127.0.0.1:" + QString::number(broker.port), "--line", "l1", "--record", out});
    QTRY_VERIFY_WITH_TIMEOUT(csvRows(out).size() >= 3, 5000);
    monitor.terminate();
    QVERIFY(monitor.waitForFinished(5000) && monitor.exitCode() == 0);
    const QStringList recorded = csvRows(out), own = csvRows(dir.filePath("l1.csv"));
    QVERIFY(own.indexOf(recorded[0]) >= 0);
    QCOMPARE(recorded, own.mid(own.indexOf(recorded[0]), recorded.size()));
}

void TestMonitorBroker::cleanupTestCase()
{
    window1.reset();
    window2.reset();
    for (QProcess *log : {&log1, &log2}) {
        log->terminate();
        log->waitForFinished(5000);
    }
}

QTEST_MAIN(TestMonitorBroker)
#include "tst_monitor_broker.moc"
