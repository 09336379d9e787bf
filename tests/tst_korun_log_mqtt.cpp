// korun-log publishing to a real mosquitto broker: across a broker restart, with a small
// queue, what a state message says, the last will, an orderly stop, and brokers that refuse.
#include "mqtt_test_broker.h"
#include "sim_line.h"

#include <csignal>

class TestKorunLogMqtt : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void brokerAwayAndBack();
    void stateSaysWhatItKnowsAndTheWillSaysOffline();
    void orderlyStopSaysEveryModuleOffline();
    void channelTagsAndAlarmsFollowTheMonitorsRule();
    void refusalsAreNamed_data();
    void refusalsAreNamed();
    void brokersThatCheckAccept_data();
    void brokersThatCheckAccept();

private:
    void startLog(QProcess &log, const QString &port, const QString &line, const QStringList &more = {})
    {
        const QString mqtt = "127.0.0.1:" + QString::number(broker.port);
        log.start(KORUN_LOG_PATH, QStringList{"--port", port, "--line", line, "--mqtt", mqtt} + more);
    }

    QTemporaryDir dir;
    Broker broker{dir.path()};
};

void TestKorunLogMqtt::initTestCase()
{
    QVERIFY(broker.start());
    QFile wrong(dir.filePath("wrong"));
    QVERIFY(wrong.open(QIODevice::WriteOnly) && wrong.write("not the secret\n") > 0);
}

// While the broker is away, one korun-log that was publishing and one started meanwhile
// with room for 4 messages: both say so after 5 s; afterwards a persistent QoS 1
// subscriber has every message of the first, matching its CSV, and the newest of the second.
void TestKorunLogMqtt::brokerAwayAndBack()
{
    Subscriber all(broker.port, "korun/line1/+/state", "korun-test-line1");
    Subscriber newest(broker.port, "korun/queued/#", "korun-test-queued");
    QVERIFY(all.waitReady() && newest.waitReady());
    SimLine line1, line2;
    QVERIFY(line1.start({"--channel", "1=TC_K@-100", "--channel", "3=TR_100Pt:3@20", "--noise", "0.5"})); // a signed ADC code below 0
    QVERIFY(line2.start({"--channel", "1=TC_K@300"}));
    const QString csv1 = dir.filePath("line1.csv"), csv2 = dir.filePath("queued.csv");
    QProcess log1, log2;
    startLog(log1, line1.portName(), "line1", {"--period", "0.2", "--output", csv1});
    QVERIFY(QTest::qWaitFor([&] { return csvRows(csv1).size() >= 8; }, 10000));

    broker.stop();
    QElapsedTimer away;
    away.start();
    startLog(log2, line2.portName(), "queued", {"--period", "0.1", "--output", csv2, "--mqtt-queue", "4"});
    QByteArray errors1, errors2;
    qint64 said1 = -1, said2 = -1; // ms after the broker went away
    const auto said = [&](QProcess &log, QByteArray &errors, qint64 &when) {
        errors += log.readAllStandardError();
        when = when < 0 && errors.contains("not reachable for 5 s") ? away.elapsed() : when;
        return when >= 0;
    };
    QVERIFY(QTest::qWaitFor([&] { return said(log1, errors1, said1) & said(log2, errors2, said2); }, 8000));
    QVERIFY2(said1 > 4500 && said1 < 6500 && said2 >= 5000 && said2 < 6500, qPrintable(QString("%1 %2").arg(said1).arg(said2)));
    QVERIFY(broker.start());
    const int after1 = csvRows(csv1).size() + 8, after2 = csvRows(csv2).size() + 8;
    QVERIFY(QTest::qWaitFor([&] { return csvRows(csv1).size() >= after1 && csvRows(csv2).size() >= after2; }, 10000));
    for (auto [log, errors] : {std::pair(&log1, &errors1), std::pair(&log2, &errors2)}) {
        ::kill(pid_t(log->processId()), SIGTERM);
        QVERIFY(log->waitForFinished(10000));
        *errors += log->readAllStandardError();
        QVERIFY2(log->exitCode() == 0, errors->constData());
    }

    const QStringList rows = csvRows(csv1);
    QMap<int, QJsonObject> received;
    QVERIFY2(QTest::qWaitFor([&] { return (received = all.states()).size() >= rows.size(); }, 10000),
             qPrintable(QString("%1 of %2 messages").arg(received.size()).arg(rows.size())));
    QVERIFY(received.firstKey() == 1 && received.lastKey() == rows.size()); // seq 1..N, none missing
    for (int seq = 1; seq <= rows.size(); ++seq) {
        const QStringList cells = rows[seq - 1].split(',');
        const QJsonArray channels = received[seq]["channels"].toArray();
        QVERIFY(received[seq]["time"] == cells[0] && received[seq]["status"] == cells.last());
        QVERIFY(received[seq]["module"] == "0xB0" && qAbs(received[seq]["xt3xt4_C"].toDouble() - cells[3].toDouble()) < 1e-5);
        for (int channel : {0, 2}) {
            // sensor, value, ADC code, gain and temperature, as in the CSV's columns
            const QJsonObject object = channels[channel].toObject();
            const QStringList csv = cells.mid(4 + 5 * channel, 5);
            QVERIFY2(object["sensor"] == csv[0] && qAbs(object["value"].toDouble() - csv[1].toDouble()) < 1e-5
                         && object["adc"] == csv[2].toInt() && object["gain"] == csv[3].toInt()
                         && qAbs(object["temperature_C"].toDouble() - csv[4].toDouble()) < 1e-5
                         && object["unit"] == (channel == 0 ? "mV" : "ohm"),
                     qPrintable(QString("seq %1: %2 in the CSV, %3").arg(seq).arg(csv.join(','),
                                QJsonDocument(object).toJson(QJsonDocument::Compact))));
        }
    }

    // The oldest measurements made way for the newest; the module's state was kept.
    const int dropped = QRegularExpression("(\\d+) dropped").match(QString::fromUtf8(errors2)).captured(1).toInt();
    const int last = csvRows(csv2).size();
    QVERIFY(QTest::qWaitFor([&] { return newest.lines().contains("korun/queued/status offline"); }, 5000));
    const QMap<int, QJsonObject> kept = newest.states();
    QVERIFY2(dropped > 0 && kept.firstKey() == dropped + 1 && kept.lastKey() == last && kept.size() == last - dropped,
             qPrintable(QString("dropped %1, kept seq %2..%3 (%4)").arg(dropped).arg(kept.firstKey()).arg(kept.lastKey()).arg(kept.size())));
    QVERIFY(newest.lines().contains("korun/queued/0/online true"));
    // Waiting, a newer last replaced the one before: one of the outage's, then one a state.
    QVERIFY2(newest.lines().filter("korun/queued/0/last ").size() <= kept.size() + 1, qPrintable(newest.lines().join('\n')));
}

// seq 1 finds the on-board temperatures refused; seq 2 reads NaN for XT1,XT2 and channel 3,
// minus infinity for channel 4; channel 2 has no sensor. Then the module falls silent, and
// SIGKILL leaves the last will.
void TestKorunLogMqtt::stateSaysWhatItKnowsAndTheWillSaysOffline()
{
    SimLine line;
    QVERIFY(line.start({"--channel", "1=TC_K@300", "--channel", "3=TR_100Pt:3@20", "--channel", "4=TR_100Pt:3@20"}));
    // Floats low word first: NaN is 0000 7FC0, minus infinity 0000 FF80.
    for (const char *command : {"fault exception 2 @2000 once", "poke 2000 0000 7FC0", "poke 0020 0000 7FC0",
                                "poke 0030 0000 FF80"})
        QVERIFY(line.command(command));
    Subscriber states(broker.port, "korun/states/#");
    QVERIFY(states.waitReady());
    QProcess log;
    startLog(log, line.portName(), "states", {"--period", "0.2", "--output", dir.filePath("states.csv")});
    QMap<int, QJsonObject> received;
    QVERIFY(QTest::qWaitFor([&] { return (received = states.states()).contains(2); }, 10000));

    const QJsonObject refused = received[1], read = received[2];
    const QStringList texts = {QJsonDocument(refused).toJson(QJsonDocument::Compact),
                               QJsonDocument(read).toJson(QJsonDocument::Compact)};
    QCOMPARE(schemaComplaints("state", texts), QString());
    QVERIFY(refused["line"] == "states" && read["line"] == "states");
    QVERIFY(refused["xt1xt2_C"].isNull() && refused["xt3xt4_C"].isNull() && refused["xt1xt2_status"] == "not read");
    QCOMPARE(refused["channels"].toArray()[0].toObject()["status"].toString(), QString("not read"));
    QVERIFY(read["xt1xt2_C"].isNull() && read["xt3xt4_C"].isDouble() && read["xt1xt2_status"] == "not a number");
    QCOMPARE(read["xt3xt4_status"].toString(), QString("ok"));
    const QJsonArray channels = read["channels"].toArray();
    const QStringList expected = {"no cold junction", "no sensor", "not a number", "infinite"};
    for (int channel = 0; channel < 4; ++channel) {
        const QJsonObject object = channels[channel].toObject();
        QCOMPARE(object["status"].toString(), expected[channel]);
        QVERIFY2(object["temperature_C"].isNull() && object["value"].isDouble() == (channel == 0),
                 qPrintable(QJsonDocument(object).toJson(QJsonDocument::Compact)));
    }

    QVERIFY(QTest::qWaitFor([&] { return states.lines().contains("korun/states/status online"); }, 5000));
    // A module that stops answering is offline at its first failed refresh, long before any back-off.
    QVERIFY(line.command("fault silent"));
    // Refreshes with a block not read between online and offline (the silence may begin
    // after the refresh's first block).
    int failed = 0;
    QVERIFY(QTest::qWaitFor([&] {
        const QStringList lines = states.lines();
        const int online = lines.lastIndexOf("korun/states/0/online true");
        const int offline = lines.lastIndexOf("korun/states/0/online false");
        failed = lines.mid(online, offline - online).filter(QRegularExpression("/state .*\"not read\"")).size();
        return offline > online;
    }, 5000));
    QVERIFY2(failed <= 1, qPrintable(QString::number(failed))); // back-off would take three
    log.kill();
    QVERIFY(log.waitForFinished(3000));
    QVERIFY(QTest::qWaitFor([&] { return states.lines().contains("korun/states/status offline"); }, 5000));
    QCOMPARE(retained(broker.port, "korun/states/status", 1), QStringList{"korun/states/status offline"});
}

// Module 7 is silent, backed off after 3 refreshes: never online; module C answers. After
// --count, every module's online is false before the line's status goes offline.
void TestKorunLogMqtt::orderlyStopSaysEveryModuleOffline()
{
    SimLine line;
    QVERIFY(line.start({"--address", "7,C", "--channel", "1=TC_K@300"}));
    QVERIFY(line.command("module 7 fault silent"));
    Subscriber states(broker.port, "korun/stop/#");
    QVERIFY(states.waitReady());
    const QString csv = dir.filePath("stop.csv");
    QProcess log;
    startLog(log, line.portName(), "stop", {"--address", "7,C", "--period", "0.2", "--count", "6", "--output", csv});
    QVERIFY(log.waitForFinished(15000));
    QCOMPARE(log.exitCode(), 0);
    QVERIFY(csvRows(csv).filter(QRegularExpression("^[^,]+,7,")).last().contains("not asked"));

    QVERIFY(QTest::qWaitFor([&] { return states.lines().contains("korun/stop/status offline"); }, 5000));
    const QStringList lines = states.lines();
    const auto before = [&](const char *first, const char *then) {
        return lines.indexOf(first) >= 0 && lines.indexOf(first) < lines.indexOf(then);
    };
    QVERIFY(!lines.contains("korun/stop/7/online true"));
    QVERIFY(before("korun/stop/C/online true", "korun/stop/C/online false"));
    QVERIFY(before("korun/stop/C/online false", "korun/stop/status offline"));
    QVERIFY(before("korun/stop/7/online false", "korun/stop/status offline"));
    // A reader that comes later finds the line's info and each module's newest state,
    // besides the flags; no measurement is replayed to it as if new.
    const QStringList kept = retained(broker.port, "korun/stop/#", 6);
    QCOMPARE(kept.filter(QRegularExpression("(online|status) ")),
             QStringList({"korun/stop/7/online false", "korun/stop/C/online false", "korun/stop/status offline"}));
    QCOMPARE(kept.filter("/state "), QStringList());
    const QStringList info = kept.filter(QRegularExpression("^korun/stop/info ")).replaceInStrings("korun/stop/info ", "");
    const QStringList last = kept.filter(QRegularExpression("^korun/stop/C/last ")).replaceInStrings("korun/stop/C/last ", "");
    QCOMPARE(info.size(), 1);
    QCOMPARE(QJsonDocument::fromJson(info[0].toUtf8())["modules"].toArray(), QJsonArray({"0xB7", "0xBC"}));
    QCOMPARE(QJsonDocument::fromJson(info[0].toUtf8())["period_s"].toDouble(), 0.2);
    QCOMPARE(schemaComplaints("info", info), QString());
    QCOMPARE(last.size(), 1);
    QCOMPARE(QJsonDocument::fromJson(last[0].toUtf8())["seq"].toInt(), 6);
    QCOMPARE(schemaComplaints("state", last), QString());
    const QString errors = log.readAllStandardError();
    QVERIFY2(failuresAddUp(errors), qPrintable(errors));
}

// With --channels: each channel's tag and alarm by the shared rule (high limit, a Pt100
// beyond its range, low limit, no sensor), and the alarms on standard error.
void TestKorunLogMqtt::channelTagsAndAlarmsFollowTheMonitorsRule()
{
    SimLine line;
    QVERIFY(line.start({"--channel", "1=TC_K@300", "--channel", "2=TR_100Pt:3@900", "--channel", "3=TC_J@20"}));
    QFile file(dir.filePath("channels.json"));
    QVERIFY(file.open(QIODevice::WriteOnly) && file.write(R"({"format": "korun-channels/1", "channels": [
        {"module": "0", "channel": 1, "tag": "Furnace", "high_C": 250}, {"module": "0", "channel": 3, "low_C": 25}]})"));
    file.close();
    Subscriber states(broker.port, "korun/tags/#");
    QVERIFY(states.waitReady());
    QProcess log;
    startLog(log, line.portName(), "tags", {"--period", "0.2", "--count", "3", "--output", dir.filePath("tags.csv"),
                                            "--channels", file.fileName()});
    QVERIFY(log.waitForFinished(10000));
    QMap<int, QJsonObject> received;
    QVERIFY(QTest::qWaitFor([&] { return (received = states.states()).contains(3); }, 5000));
    QCOMPARE(schemaComplaints("state", {QJsonDocument(received[3]).toJson(QJsonDocument::Compact)}), QString());
    const QJsonArray channels = received[3]["channels"].toArray();
    const QJsonValue tags[] = {"Furnace", QJsonValue::Null, QJsonValue::Null, QJsonValue::Null};
    const QJsonValue alarms[] = {"high", "over_range", "low", QJsonValue::Null};
    for (int channel = 0; channel < 4; ++channel) {
        QCOMPARE(channels[channel].toObject()["tag"], tags[channel]);
        QCOMPARE(channels[channel].toObject()["alarm"], alarms[channel]);
    }
    const QString errors = log.readAllStandardError();
    QVERIFY2(QRegularExpression("korun-log: alarm \\d{4}-\\d\\d-\\d\\dT[0-9:.]+Z module 0 channel 1 \"Furnace\": "
                                "High alarm \\(300\\.\\d\\d degC\\)\n").match(errors).hasMatch(), qPrintable(errors));
    QCOMPARE(errors.count("korun-log: alarm "), 3);
}

void TestKorunLogMqtt::refusalsAreNamed_data()
{
    QTest::addColumn<QString>("listener"); // none: korun-log must not get as far as a broker
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("said");
    const QString missing = dir.filePath("missing"), unreadable = ": No such file or directory";
    QTest::newRow("CA file missing") << "" << QStringList{"--mqtt-cafile", missing}
                                     << "^korun-log: cannot read the MQTT CA file " + QRegularExpression::escape(missing) + unreadable + "\n$";
    QTest::newRow("password file missing") << "" << QStringList{"--mqtt-user", "korun", "--mqtt-password-file", missing}
                                           << "^korun-log: cannot read the MQTT password file " + QRegularExpression::escape(missing) + unreadable + "\n$";
    QFile notPem(dir.filePath("not-pem.crt"));
    QVERIFY(notPem.open(QIODevice::WriteOnly) && notPem.write("MIIBszCCAVmgAwIBAgIU\n") > 0);
    QTest::newRow("CA file without a certificate") << "" << QStringList{"--mqtt-cafile", notPem.fileName()}
                                                   << "^korun-log: the MQTT CA file .*not-pem.crt holds no certificate "
                                                      "\\(PEM expected\\)\n$";
    QFile channels(dir.filePath("bad-channels.json"));
    QVERIFY(channels.open(QIODevice::WriteOnly) && channels.write(R"({"format": "korun-channels/1", "channels": [
        {"module": "3", "channel": 2, "low_C": 40, "high_C": 30}]})"));
    QTest::newRow("channel file") << "" << QStringList{"--channels", channels.fileName()}
                                  << "^korun-log: channel file .*bad-channels.json: entry 1 \\(module 3, channel 2\\): "
                                     "the low limit 40 must be below the high limit 30\n$";
    QTest::newRow("wrong password") << "passwords" << QStringList{"--mqtt-user", "korun", "--mqtt-password-file",
                                                                  dir.filePath("wrong")}
                                    << "korun-log: MQTT broker 127.0.0.1:\\d+ refused the connection: "
                                       "(bad user name or password|not authorised) \\(user korun\\)\n";
    QTest::newRow("untrusted certificate") << "tls" << QStringList{"--mqtt-cafile", dir.filePath("stranger.pem")}
                                           << "korun-log: TLS with the MQTT broker 127.0.0.1:\\d+ failed: certificate "
                                              "verify failed \\(CA file .*stranger.pem\\)\n";
}

// A file that cannot be read is refused before the port is opened (this one does not
// exist); a broker that turns korun-log away is named within 5 s, and the run fails.
void TestKorunLogMqtt::refusalsAreNamed()
{
    QFETCH(QString, listener);
    QFETCH(QStringList, arguments);
    QFETCH(QString, said);
    const QRegularExpression expected(said);
    QProcess log;
    if (listener.isEmpty()) {
        startLog(log, "/nonexistent/port", "refused", arguments);
        QVERIFY(log.waitForFinished(5000));
        QVERIFY(QString::fromUtf8(log.readAllStandardError()).contains(expected));
        QCOMPARE(log.exitCode(), 2);
        return;
    }
    if (!(listener == "tls" ? broker.hasTls() : broker.hasPasswords()))
        QSKIP("mosquitto_passwd or openssl missing");
    SimLine line;
    QVERIFY(line.start());
    const quint16 port = listener == "tls" ? broker.tlsPort : broker.passwordPort;
    QElapsedTimer clock;
    clock.start();
    log.start(KORUN_LOG_PATH, QStringList{"--port", line.portName(), "--mqtt", "127.0.0.1:" + QString::number(port),
                                          "--period", "0.2"} + arguments);
    QString errors;
    QVERIFY2(QTest::qWaitFor([&] { return (errors += log.readAllStandardError()).contains(expected); }, 5000),
             qPrintable(errors));
    qInfo("named after %lld ms", clock.elapsed());
    // The line cut meanwhile: a port that will not open is a failed request of the module.
    QByteArray rows;
    const auto rowsAtLeast = [&](int count) {
        return QTest::qWaitFor([&] { return (rows += log.readAllStandardOutput()).count('\n') > count; }, 3000);
    };
    QVERIFY(rowsAtLeast(1));
    line.cutLine();
    QVERIFY(rowsAtLeast(3));
    ::kill(pid_t(log.processId()), SIGTERM);
    QVERIFY(log.waitForFinished(5000));
    errors += log.readAllStandardError();
    QCOMPARE(log.exitCode(), 1);
    QVERIFY2(errors.contains("never accepted a message"), qPrintable(errors));
    QCOMPARE(errors.count(expected), 1); // said once, though the library keeps trying
    QVERIFY2(failuresAddUp(errors), qPrintable(errors));
}

void TestKorunLogMqtt::brokersThatCheckAccept_data()
{
    QTest::addColumn<QString>("listener");
    QTest::addColumn<QStringList>("arguments");
    QFile password(dir.filePath("password"));
    QVERIFY(password.open(QIODevice::WriteOnly) && password.write("secret\nnot part of it\n") > 0);
    QTest::newRow("password file's first line") << "passwords" << QStringList{"--mqtt-user", "korun",
                                                                             "--mqtt-password-file", password.fileName()};
    QTest::newRow("broker's CA") << "tls" << QStringList{"--mqtt-cafile", dir.filePath("broker.pem")};
}

// The right password or CA: every message is acknowledged and the run succeeds.
void TestKorunLogMqtt::brokersThatCheckAccept()
{
    QFETCH(QString, listener);
    QFETCH(QStringList, arguments);
    if (!(listener == "tls" ? broker.hasTls() : broker.hasPasswords()))
        QSKIP("mosquitto_passwd or openssl missing");
    SimLine line;
    QVERIFY(line.start({"--channel", "1=TC_K@300"}));
    QProcess log;
    const quint16 port = listener == "tls" ? broker.tlsPort : broker.passwordPort;
    log.start(KORUN_LOG_PATH, QStringList{"--port", line.portName(), "--mqtt", "127.0.0.1:" + QString::number(port),
                                          "--period", "0.1", "--count", "3", "--output", dir.filePath(listener + ".csv")}
                                  + arguments);
    QVERIFY(log.waitForFinished(10000));
    const QString errors = log.readAllStandardError();
    QVERIFY2(log.exitCode() == 0, qPrintable(errors));
    // At least info, status, three states and their lasts, online and status offline.
    const QRegularExpressionMatch summary = QRegularExpression("MQTT (\\d+) messages acknowledged, 0 dropped, "
                                                               "0 not delivered\n").match(errors);
    QVERIFY2(summary.hasMatch() && summary.captured(1).toInt() >= 10, qPrintable(errors));
}

QTEST_GUILESS_MAIN(TestKorunLogMqtt)
#include "tst_korun_log_mqtt.moc"
