#pragma once

// A real mosquitto broker for korun-log's MQTT tests, subscribers that record what it
// delivers, and the checks the tests share.

#include <QElapsedTimer>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>

inline bool run(const QString &program, const QStringList &arguments)
{
    QProcess process;
    process.start(program, arguments);
    return process.waitForFinished(10000) && process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
}

// A mosquitto broker on 127.0.0.1 only, with its persistence in a folder of the test's: an
// anonymous listener, one that wants user korun's password, one with TLS.
class Broker
{
public:
    explicit Broker(const QString &dir)
        : dir(dir)
    {
        QTcpServer probes[3];
        for (QTcpServer &probe : probes)
            probe.listen(QHostAddress::LocalHost);
        port = probes[0].serverPort();
        passwordPort = probes[1].serverPort();
        tlsPort = probes[2].serverPort();
        QFile::setPermissions(dir, QFile::Permissions(0x7777)); // everyone: the broker may drop root
        QString config = QStringLiteral("per_listener_settings true\npersistence true\npersistence_location %1/\n"
                                        "listener %2 127.0.0.1\nallow_anonymous true\n").arg(dir).arg(port);
        if (run("mosquitto_passwd", {"-b", "-c", dir + "/passwords", "korun", "secret"}))
            config += QStringLiteral("listener %1 127.0.0.1\nallow_anonymous false\npassword_file %2/passwords\n")
                          .arg(passwordPort).arg(dir);
        if (selfSigned("broker") && selfSigned("stranger"))
            config += QStringLiteral("listener %1 127.0.0.1\ncertfile %2/broker.pem\nkeyfile %2/broker.key\n"
                                     "allow_anonymous true\n").arg(tlsPort).arg(dir);
        for (const char *name : {"passwords", "broker.key"})
            QFile::setPermissions(dir + '/' + name, QFile::Permissions(0x6644));
        QFile file(dir + "/broker.conf");
        if (file.open(QIODevice::WriteOnly))
            file.write(config.toUtf8());
    }
    ~Broker() { stop(); }

    bool start()
    {
        const QString program = QStandardPaths::findExecutable("mosquitto", {"/usr/sbin", "/usr/bin", "/sbin"});
        process.start(program, {"-c", dir + "/broker.conf"});
        return process.waitForStarted(3000) && QTest::qWaitFor([&] {
                   QTcpSocket socket;
                   socket.connectToHost(QHostAddress::LocalHost, port);
                   return socket.waitForConnected(100);
               }, 3000);
    }
    // SIGTERM, so that it saves the sessions it holds, as a service stop does.
    void stop()
    {
        process.terminate();
        process.waitForFinished(3000);
    }
    bool hasPasswords() const { return QFile::exists(dir + "/passwords"); }
    bool hasTls() const { return QFile::exists(dir + "/broker.pem"); }

    quint16 port = 0, passwordPort = 0, tlsPort = 0;

private:
    bool selfSigned(const QString &name)
    {
        return run("openssl", {"req", "-x509", "-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1", "-nodes",
                               "-days", "2", "-subj", "/CN=127.0.0.1", "-keyout", dir + '/' + name + ".key", "-out",
                               dir + '/' + name + ".pem"});
    }

    QString dir;
    QProcess process;
};

// mosquitto_sub printing "topic payload"; persistent with QoS 1 when given a client id.
class Subscriber
{
public:
    Subscriber(quint16 port, const QString &filter, const QString &clientId = QString())
        : port(QString::number(port))
        , filter(filter)
    {
        QStringList arguments = {"-h", "127.0.0.1", "-p", this->port, "-v", "-t", filter};
        if (!clientId.isEmpty())
            arguments << "-c" << "-i" << clientId << "-q" << "1";
        process.start("mosquitto_sub", arguments);
    }
    ~Subscriber() { process.terminate(); process.waitForFinished(3000); }

    // Ready once a probe published under its filter has come back.
    bool waitReady()
    {
        QString probe = filter;
        probe.replace('+', "probe").replace('#', "probe");
        return QTest::qWaitFor([&] {
            run("mosquitto_pub", {"-h", "127.0.0.1", "-p", port, "-t", probe, "-m", "probe"});
            return QTest::qWaitFor([&] { return lines().contains(probe + " probe"); }, 200);
        }, 5000);
    }
    QStringList lines()
    {
        text += QString::fromUtf8(process.readAllStandardOutput());
        return text.split('\n', Qt::SkipEmptyParts);
    }
    // The JSON payloads on topics ending in /state, by seq.
    QMap<int, QJsonObject> states()
    {
        QMap<int, QJsonObject> bySeq;
        for (const QString &line : lines()) {
            const QJsonObject message = QJsonDocument::fromJson(line.section(' ', 1).toUtf8()).object();
            if (line.section(' ', 0, 0).endsWith("/state") && !message.isEmpty())
                bySeq[message["seq"].toInt()] = message;
        }
        return bySeq;
    }

private:
    QString port, filter, text;
    QProcess process;
};

inline QStringList csvRows(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()).split('\n', Qt::SkipEmptyParts).mid(1) : QStringList();
}

// The retained messages under a filter, `count` of them, as "topic payload".
inline QStringList retained(quint16 port, const QString &filter, int count)
{
    QProcess process;
    process.start("mosquitto_sub", {"-h", "127.0.0.1", "-p", QString::number(port), "-t", filter, "-v",
                                    "--retained-only", "-C", QString::number(count), "-W", "3"});
    process.waitForFinished(5000);
    QStringList lines = QString::fromUtf8(process.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts);
    lines.sort();
    return lines;
}

// What scripts/check-mqtt-messages says of messages of one kind against the documented
// schema: empty when they fit.
inline QString schemaComplaints(const QString &kind, const QStringList &messages)
{
    QProcess check;
    check.start("/usr/bin/python3", QStringList{KORUN_SOURCE_DIR "/scripts/check-mqtt-messages",
                                                KORUN_SOURCE_DIR "/docs/mqtt-messages.schema.json", kind} + messages);
    if (!check.waitForFinished(10000))
        return QStringLiteral("the check did not end");
    const QString said = QString::fromUtf8(check.readAllStandardOutput() + check.readAllStandardError());
    return check.exitCode() == 0 ? QString() : said + QStringLiteral(" (exit %1)").arg(check.exitCode());
}

// The summary's total of failed requests is the sum of its modules', and some failed.
inline bool failuresAddUp(const QString &errors)
{
    auto counts = QRegularExpression("(\\d+) failed request").globalMatch(errors.mid(errors.indexOf("refreshes,")));
    const int total = counts.hasNext() ? counts.next().captured(1).toInt() : -1;
    int modules = 0;
    while (counts.hasNext())
        modules += counts.next().captured(1).toInt();
    return modules > 0 && total == modules;
}

