// korun-config as a user runs it against the simulated module: read, edit, write, diff.
#include "sim_line.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

namespace {

int runConfig(const QStringList &arguments, QByteArray *out = nullptr)
{
    QProcess process;
    process.start(QStringLiteral(KORUN_CONFIG_PATH), arguments);
    process.closeWriteChannel();
    if (!process.waitForFinished(15000))
        return -1;
    if (out)
        *out = process.readAllStandardOutput();
    return process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
}

QJsonObject readJson(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? QJsonDocument::fromJson(file.readAll()).object() : QJsonObject();
}

void writeJson(const QString &path, const QJsonObject &object)
{
    QFile file(path);
    if (file.open(QIODevice::WriteOnly))
        file.write(QJsonDocument(object).toJson());
}

QJsonObject withChannel3(QJsonObject config, const QString &sensor, const QString &connection)
{
    QJsonArray channels = config["channels"].toArray();
    QJsonObject channel = channels[2].toObject();
    channel["sensor"] = sensor;
    channel["connection"] = connection;
    channels[2] = channel;
    config["channels"] = channels;
    return config;
}

} // namespace

class TestKorunConfig : public QObject
{
    Q_OBJECT

private slots:
    void readEditWriteKeepsEveryOtherByte();
};

void TestKorunConfig::readEditWriteKeepsEveryOtherByte()
{
    SimLine line;
    QVERIFY(line.start({"--address", "A", "--channel", "1=TC_K@300", "--channel", "3=VOLTAGE@1"}));
    QVERIFY(line.command("module A poke 8258 A5A5")); // flag and bits no one interprets
    QTemporaryDir dir;
    const QString before = dir.filePath("before.json"), edited = dir.filePath("edited.json"),
                  after = dir.filePath("after.json"), wrong = dir.filePath("wrong.json");
    const QStringList module = {"--port", line.portName(), "--address", "A"};
    QCOMPARE(runConfig(QStringList{"read", "-o", before} + module), 0);
    const QJsonObject read = readJson(before);
    QCOMPARE(read["module"].toString(), QStringLiteral("0xBA"));
    QCOMPARE(read["channels"].toArray()[0].toObject()["sensor"].toString(), QStringLiteral("TC_K"));
    QCOMPARE(read["address_switch_zero_left"].toBool(), true);
    QCOMPARE(runConfig(QStringList{"diff", before} + module), 0);

    // A resistive sensor without a 2-, 3- or 4-wire connection never reaches the line.
    writeJson(wrong, withChannel3(read, "TR_100Pt", "VOLTAGE_INPUT"));
    line.clearRequests();
    QCOMPARE(runConfig(QStringList{"write", wrong, "--yes"} + module), 2);
    QCOMPARE(line.requests().size(), 0);

    writeJson(edited, withChannel3(read, "TR_100Pt", "RESISTIVE_4_WIRE"));
    QCOMPARE(runConfig(QStringList{"diff", edited} + module), 1);
    QCOMPARE(runConfig(QStringList{"write", edited} + module), 1); // not confirmed
    QCOMPARE(runConfig(QStringList{"write", edited, "--yes"} + module), 0);
    QCOMPARE(runConfig(QStringList{"read", "-o", after} + module), 0);
    const QJsonObject channel3 = readJson(after)["channels"].toArray()[2].toObject();
    QCOMPARE(channel3["sensor_code"].toInt(), 20);
    QCOMPARE(channel3["connection_code"].toInt(), 4);
    const QByteArray was = QByteArray::fromHex(read["image"].toString().toLatin1());
    const QByteArray is = QByteArray::fromHex(readJson(after)["image"].toString().toLatin1());
    QCOMPARE(is.size(), 1202);
    for (int i = 0; i < 1202; ++i) {
        if (i >= 1200 || i % 300 >= 12)
            QVERIFY2(was[i] == is[i], qPrintable(QString::number(i)));
    }
    QCOMPARE(runConfig(QStringList{"diff", edited} + module), 0);

    // The backup goes back byte for byte.
    QCOMPARE(runConfig(QStringList{"write", before, "--yes", "--restore-image"} + module), 0);
    QCOMPARE(line.dump(0x8000, 601).size(), 601);
    QCOMPARE(runConfig(QStringList{"read", "-o", after} + module), 0);
    QCOMPARE(readJson(after)["image"], read["image"]);
}

QTEST_GUILESS_MAIN(TestKorunConfig)
#include "tst_korun_config.moc"
