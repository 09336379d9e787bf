// korun-log publishing to a real broker that goes away for a few seconds and comes back:
// a persistent QoS 1 subscriber still gets every message once, with the CSV's values.
#include "sim_line.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QStandardPaths>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>

namespace {

// A mosquitto broker on 127.0.0.1 only, with its persistence in a folder of the test's.
class Broker
{
public:
    explicit Broker(const QString &dir)
        : config(dir + "/broker.conf")
    {
        QTcpServer probe;
        probe.listen(QHostAddress::LocalHost);
        port = probe.serverPort();
        QFile::setPermissions(dir, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner | QFile::ReadOther
                                       | QFile::WriteOther | QFile::ExeOther); // the broker may drop root
        QFile file(config);
        if (file.open(QIODevice::WriteOnly))
            file.write(QStringLiteral("listener %1 127.0.0.1\nallow_anonymous true\npersistence true\n"
                                      "persistence_location %2/\n")
                           .arg(port)
                           .arg(dir)
                           .toUtf8());
    }
    ~Broker() { stop(); }

    bool start()
    {
        const QString program = QStandardPaths::findExecutable("mosquitto", {"/usr/sbin", "/usr/bin", "/sbin"});
        process.start(program, {"-c", config});
        return process.waitForStarted(3000) && QTest::qWaitFor([&] {
                   QTcpSocket socket;
                   socket.connectToHost(QHostAddress::LocalHost, port);
                   return socket.waitForConnected(100);
               }, 3000);
    }
    // SIGTERM, so that it saves the sessions it holds, as a service stop does.
    void stop()
    {
        if (process.state() == QProcess::NotRunning)
            return;
        process.terminate();
        process.waitForFinished(3000);
    }

    quint16 port = 0;

private:
    QString config;
    QProcess process;
};

QStringList csvRows(const QString &path)
{
    QFile file(path);
    file.open(QIODevice::ReadOnly);
    return QString::fromUtf8(file.readAll()).split('\n', Qt::SkipEmptyParts).mid(1);
}

} // namespace

class TestKorunLogMqtt : public QObject
{
    Q_OBJECT

private slots:
    void everyMessageArrivesAcrossABrokerRestart();
};

void TestKorunLogMqtt::everyMessageArrivesAcrossABrokerRestart()
{
    QTemporaryDir dir;
    Broker broker(dir.path());
    QVERIFY(broker.start());
    const QString port = QString::number(broker.port);
    QProcess subscriber;
    subscriber.start("mosquitto_sub", {"-h", "127.0.0.1", "-p", port, "-c", "-i", "korun-test-subscriber", "-q", "1",
                                       "-t", "korun/line1/+/state"});
    QVERIFY(subscriber.waitForStarted(3000));
    QTest::qWait(300);

    SimLine line;
    QVERIFY(line.start({"--channel", "1=TC_K@300", "--channel", "3=TR_100Pt:3@20", "--noise", "0.5"}));
    const QString csv = dir.filePath("run.csv");
    QProcess log;
    log.start(QStringLiteral(KORUN_LOG_PATH), {"--port", line.portName(), "--period", "0.2", "--output", csv,
                                               "--mqtt", "127.0.0.1:" + port, "--line", "line1"});
    QVERIFY(QTest::qWaitFor([&] { return csvRows(csv).size() >= 8; }, 10000));
    broker.stop();
    QTest::qWait(5000);
    QVERIFY(broker.start());
    const int afterRestart = csvRows(csv).size() + 8;
    QVERIFY(QTest::qWaitFor([&] { return csvRows(csv).size() >= afterRestart; }, 10000));
    ::kill(pid_t(log.processId()), SIGTERM);
    QVERIFY(log.waitForFinished(10000));
    QCOMPARE(log.exitCode(), 0);

    const QStringList rows = csvRows(csv);
    QMap<int, QJsonObject> received;
    int conflicting = 0;
    QByteArray output;
    QVERIFY2(QTest::qWaitFor([&] {
                 output += subscriber.readAllStandardOutput();
                 for (const QByteArray &text : output.split('\n')) {
                     const QJsonObject message = QJsonDocument::fromJson(text).object();
                     if (message.isEmpty())
                         continue;
                     // QoS 1 may repeat a message, but never with other contents.
                     const int seq = message["seq"].toInt();
                     conflicting += received.contains(seq) && received[seq] != message ? 1 : 0;
                     received[seq] = message;
                 }
                 output = output.mid(output.lastIndexOf('\n') + 1);
                 return received.size() >= rows.size();
             }, 10000),
             qPrintable(QString("%1 of %2 messages").arg(received.size()).arg(rows.size())));
    subscriber.terminate();
    subscriber.waitForFinished(3000);
    QCOMPARE(conflicting, 0);

    QCOMPARE(received.firstKey(), 1);
    QCOMPARE(received.lastKey(), rows.size()); // seq 1..N, none missing
    for (int seq = 1; seq <= rows.size(); ++seq) {
        const QStringList cells = rows[seq - 1].split(',');
        const QJsonArray channels = received[seq]["channels"].toArray();
        QCOMPARE(received[seq]["time"].toString(), cells[0]);
        QCOMPARE(received[seq]["status"].toString(), cells.last());
        for (int channel : {0, 2}) {
            const double temperature = cells[8 + 5 * channel].toDouble();
            QVERIFY2(qAbs(channels[channel].toObject()["temperature_C"].toDouble() - temperature) < 1e-5,
                     qPrintable(QString("seq %1 channel %2").arg(seq).arg(channel + 1)));
        }
    }

    // Retained: the module is online, korun-log has said goodbye.
    QProcess retained;
    retained.start("mosquitto_sub", {"-h", "127.0.0.1", "-p", port, "-t", "korun/line1/#", "-v", "-C", "2", "-W", "5"});
    QVERIFY(retained.waitForFinished(10000));
    const QString states = QString::fromUtf8(retained.readAllStandardOutput());
    QVERIFY2(states.contains("korun/line1/status offline") && states.contains("korun/line1/0/online true"),
             qPrintable(states));
}

QTEST_GUILESS_MAIN(TestKorunLogMqtt)
#include "tst_korun_log_mqtt.moc"
