// korun-config as a user runs it against the simulated module: a write changes what its
// preview shows and nothing else, a diff says "holds" only when a write would change
// nothing, and a write the module does not keep, or should not get, is reported.
#include "register_map.h"
#include "sim_line.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>

namespace {

struct Run {
    int exitCode = -1;
    QString out, err;
};

void startConfig(QProcess &process, const QStringList &arguments)
{
    process.start(QStringLiteral(KORUN_CONFIG_PATH), arguments);
    process.closeWriteChannel();
}

Run finish(QProcess &process)
{
    Run run;
    if (!process.waitForFinished(15000)) {
        process.kill();
        process.waitForFinished(3000);
        return run;
    }
    run.out = QString::fromUtf8(process.readAllStandardOutput());
    run.err = QString::fromUtf8(process.readAllStandardError());
    run.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    return run;
}

Run runConfig(const QStringList &arguments)
{
    QProcess process;
    startConfig(process, arguments);
    return finish(process);
}

ConfigurationImage imageOf(const QVector<quint16> &registers)
{
    ConfigurationImage image;
    for (int i = 0; i < registers.size() && i < RegisterMap::configurationCount; ++i)
        image.setRegisterValue(std::size_t(i), registers[i]);
    return image;
}

ConfigurationImage imageOf(const QJsonObject &file)
{
    ConfigurationImage image;
    const QByteArray bytes = QByteArray::fromHex(file["image"].toString().toLatin1());
    std::copy(bytes.begin(), bytes.begin() + qMin<int>(bytes.size(), int(image.bytes.size())), image.bytes.begin());
    return image;
}

// Empty when equal, else the first byte that differs: a readable failure.
QString firstDifference(const ConfigurationImage &is, const ConfigurationImage &expected)
{
    for (std::size_t i = 0; i < is.bytes.size(); ++i) {
        if (is.bytes[i] != expected.bytes[i])
            return QStringLiteral("byte %1 (channel %2 +%3) is %4, expected %5")
                .arg(i)
                .arg(i / RegisterMap::channelRecordSize + 1)
                .arg(i % RegisterMap::channelRecordSize)
                .arg(is.bytes[i], 2, 16, QLatin1Char('0'))
                .arg(expected.bytes[i], 2, 16, QLatin1Char('0'));
    }
    return {};
}

// Sets "KEY", "channels/N/KEY", "image/OFFSET" (one byte) or "image/all" in a file.
void setEntry(QJsonObject &file, const QStringList &path, const QJsonValue &value)
{
    if (path[0] == QLatin1String("channels")) {
        QJsonArray channels = file["channels"].toArray();
        const int index = path[1].toInt() - 1;
        QJsonObject channel = channels[index].toObject();
        channel[path[2]] = value;
        channels[index] = channel;
        file["channels"] = channels;
    } else if (path[0] == QLatin1String("image")) {
        QByteArray bytes = QByteArray::fromHex(file["image"].toString().toLatin1());
        if (path[1] == QLatin1String("all"))
            bytes.fill(char(value.toInt()));
        else
            bytes[path[1].toInt()] = char(value.toInt());
        file["image"] = QString::fromLatin1(bytes.toHex());
    } else {
        file[path[0]] = value;
    }
}

// The file with edits "PATH=JSON" applied.
QJsonObject edited(QJsonObject file, const QStringList &edits)
{
    for (const QString &edit : edits) {
        const int equals = edit.indexOf(QLatin1Char('='));
        const QByteArray json = '[' + edit.mid(equals + 1).toUtf8() + ']';
        setEntry(file, edit.left(equals).split(QLatin1Char('/')), QJsonDocument::fromJson(json).array().at(0));
    }
    return file;
}

// Write Single Register (a one-register write) or Write Multiple Registers.
bool isWrite(const SimRequest &request)
{
    return request.function == 0x06 || request.function == 0x10;
}

int writeRequests(SimLine &line)
{
    const QVector<SimRequest> requests = line.requests();
    return int(std::count_if(requests.begin(), requests.end(), isWrite));
}

bool sawWriteAt(SimLine &line, int address)
{
    for (const SimRequest &request : line.requests()) {
        if (isWrite(request) && request.address == address)
            return true;
    }
    return false;
}

} // namespace

class TestKorunConfig : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init() { line.clearRequests(); }
    void cleanup();
    void readThenWriteChangesNoByte();
    void editOfChannel3ChangesOnlyItsRecord();
    void diffSaysHoldsOnlyWhenAWriteChangesNothing_data();
    void diffSaysHoldsOnlyWhenAWriteChangesNothing();
    void writeFailsWhenTheModuleDoesNotKeepIt();
    void writeSurvivesAFailedReadBackAndCountsItsBlocks();
    void diffOfAModuleThatDoesNotAnswerIsNoDifference();
    void writesThatMustNotHappen_data();
    void writesThatMustNotHappen();

private:
    QStringList module() const { return {"--port", line.portName(), "--address", "A"}; }
    // The file read in initTestCase() with `edits`, saved under a fresh name.
    QString fileWith(const QStringList &edits);

    SimLine line;
    QTemporaryDir dir;
    QJsonObject baseline;       // as read from the module
    QVector<quint16> before;    // the module's block before each test
    int files = 0;
};

void TestKorunConfig::initTestCase()
{
    // The simulator's ADC setup bytes are not the catalogue's, so a write that rebuilds a
    // channel it should keep changes bytes.
    QVERIFY(line.start({"--address", "A", "--channel", "1=TC_K@300", "--channel", "2=TR_100Pt:3@20", "--channel",
                        "3=VOLTAGE@1"}));
    QVERIFY(line.command("poke 8258 A5A5")); // 0 on the left, and bits no one interprets
    const QString path = dir.filePath(QStringLiteral("read.json"));
    QCOMPARE(runConfig(QStringList{"read", "-o", path} + module()).exitCode, 0);
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    baseline = QJsonDocument::fromJson(file.readAll()).object();
    QCOMPARE(baseline["module"].toString(), QStringLiteral("0xBA"));
    before = line.dump(0x8000, RegisterMap::configurationCount);
    QCOMPARE(before.size(), int(RegisterMap::configurationCount));
}

// Puts the module back as it was read, for the next test.
void TestKorunConfig::cleanup()
{
    QString values;
    for (const quint16 value : qAsConst(before))
        values += QStringLiteral(" %1").arg(value, 4, 16, QLatin1Char('0'));
    QVERIFY(line.command(QStringLiteral("fault none")));
    QVERIFY(line.command(QStringLiteral("poke 8000") + values));
    QVERIFY(line.command(QStringLiteral("unpin")));
}

QString TestKorunConfig::fileWith(const QStringList &edits)
{
    const QString path = dir.filePath(QStringLiteral("file%1.json").arg(++files));
    QFile file(path);
    if (file.open(QIODevice::WriteOnly))
        file.write(QJsonDocument(edited(baseline, edits)).toJson());
    return path;
}

void TestKorunConfig::readThenWriteChangesNoByte()
{
    const Run run = runConfig(QStringList{"write", fileWith({}), "--yes"} + module());
    QCOMPARE(run.exitCode, 0);
    QVERIFY2(run.out.contains("holds the file's configuration"), qPrintable(run.out));
    QCOMPARE(line.dump(0x8000, RegisterMap::configurationCount), before);
}

void TestKorunConfig::editOfChannel3ChangesOnlyItsRecord()
{
    const QString file = fileWith({"channels/3/sensor=\"TR_100Pt\"", "channels/3/connection=\"RESISTIVE_4_WIRE\""});
    const Run run = runConfig(QStringList{"write", file, "--yes"} + module());
    QCOMPARE(run.exitCode, 0);

    // Channel 3's codes and setup as the window's Store builds them; every other byte kept.
    ConfigurationImage expected = imageOf(before), store = expected;
    applyChannelChoices(store, {ChannelChoice{5, 7}, ChannelChoice{3, 20}, ChannelChoice{4, 20}, ChannelChoice{0, 0}},
                        true);
    std::copy(store.record(2), store.record(2) + 12, expected.record(2));
    const ConfigurationImage after = imageOf(line.dump(0x8000, RegisterMap::configurationCount));
    QCOMPARE(firstDifference(after, expected), QString());

    // The preview named exactly that: channel 3's codes and main setup, nothing else.
    const QStringList preview = run.out.split(QLatin1Char('\n')).filter(QRegularExpression("^(channel|address|byte)"));
    QCOMPARE(preview.filter(QRegularExpression("^channel 3 (sensor|connection|mainSetup)")).size(), 3);
    QCOMPARE(preview.size(), 3);
    QCOMPARE(runConfig(QStringList{"diff", file} + module()).exitCode, 0);
}

void TestKorunConfig::diffSaysHoldsOnlyWhenAWriteChangesNothing_data()
{
    QTest::addColumn<QStringList>("edits");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("says");
    QTest::addColumn<QStringList>("options");
    QTest::newRow("as read") << QStringList() << 0 << "module 0xBA holds the file's configuration" << QStringList();
    QTest::newRow("a name contradicts its code") << QStringList{"channels/1/sensor_code=20"} << 0
                                                 << "channel 1: sensor TC_K (code 7) contradicts sensor_code 20" << QStringList();
    QTest::newRow("connection code only") << QStringList{"channels/1/connection=\"NO_CONNECTION\""} << 1
                                          << "channel 1 connection: VOLTAGE_INPUT -> NO_CONNECTION" << QStringList();
    QTest::newRow("wiring only") << QStringList{"channels/2/connection=\"RESISTIVE_4_WIRE\""} << 1
                                 << "channel 2 connection: RESISTIVE_3_WIRE -> RESISTIVE_4_WIRE" << QStringList();
    QTest::newRow("address switch only") << QStringList{"address_switch_zero_left=false"} << 1
                                         << "address switch: 0 on the left -> 0 on the top" << QStringList();
    QTest::newRow("3-wire setup") << QStringList{"channels/3/sensor=\"TR_100Pt\"", "channels/3/connection=\"RESISTIVE_3_WIRE\""}
                                  << 1 << "channel 3 auxSetup (bytes 2-6): " << QStringList();
    // A restored image differing only where no field is interpreted still differs.
    const QStringList restore{"--restore-image"};
    QTest::newRow("restore: a byte past the setup") << QStringList{"image/50=90"} << 1
                                                    << "channel 1 bytes 12-299 (not interpreted): 1 bytes change" << restore;
    QTest::newRow("restore: bits beside the switch") << QStringList{"image/1200=167"} << 1
                                                     << "byte 1200 bits 1-7: A5 -> A7" << restore;
    QTest::newRow("restore: byte 1201") << QStringList{"image/1201=90"} << 1 << "byte 1201: A5 -> 5A" << restore;
}

void TestKorunConfig::diffSaysHoldsOnlyWhenAWriteChangesNothing()
{
    QFETCH(QStringList, edits);
    QFETCH(int, exitCode);
    QFETCH(QString, says);
    QFETCH(QStringList, options);
    const QString file = fileWith(edits);
    const Run diff = runConfig(QStringList{"diff", file} + options + module());
    QCOMPARE(diff.exitCode, exitCode);
    QVERIFY2((diff.out + diff.err).contains(says), qPrintable(diff.out + diff.err));
    QCOMPARE(diff.out.contains("holds"), exitCode == 0);

    // And a write agrees: it changes bytes exactly when the diff said the module differs.
    QCOMPARE(runConfig(QStringList{"write", file, "--yes"} + options + module()).exitCode, 0);
    QCOMPARE(line.dump(0x8000, RegisterMap::configurationCount) != before, exitCode == 1);
}

void TestKorunConfig::writeFailsWhenTheModuleDoesNotKeepIt()
{
    // The module takes its time over the write of the address-switch register; meanwhile
    // another writer puts the old value back, before the read-back.
    QVERIFY(line.command("fault late 150 @8258"));
    QProcess config;
    startConfig(config, QStringList{"write", fileWith({"address_switch_zero_left=false"}), "--yes"} + module());
    // Only the changed register goes out, so the write is one request at 8258.
    QVERIFY(QTest::qWaitFor([&] { return sawWriteAt(line, 0x8258); }, 5000));
    QVERIFY(line.command("poke 8258 A5A5"));
    const Run run = finish(config);
    QCOMPARE(run.exitCode, 1);
    QVERIFY2(run.err.contains("does not hold what was written"), qPrintable(run.err));
    QVERIFY2(run.err.contains("address switch"), qPrintable(run.err));
}

// The first read-back request is refused: the block is read again and found written. Then
// a restore whose third block of five is refused says how far it got.
void TestKorunConfig::writeSurvivesAFailedReadBackAndCountsItsBlocks()
{
    QVERIFY(line.command("fault exception 2 @8000 every 2 once")); // the read before the write is the first
    const QString file = fileWith({"address_switch_zero_left=false"});
    Run run = runConfig(QStringList{"write", file, "--yes"} + module());
    QVERIFY2(run.exitCode == 0 && run.out.contains("verified"), qPrintable(run.out + run.err));
    QCOMPARE(imageOf(line.dump(0x8000, RegisterMap::configurationCount)).addressSwitchZeroLeft(), false);

    QVERIFY(line.command("fault exception 2 @8100")); // registers 800A.. in blocks of 123
    run = runConfig(QStringList{"write", fileWith({"image/20=90", "image/1201=90"}), "--yes", "--restore-image"} + module());
    QCOMPARE(run.exitCode, 1);
    QVERIFY2(run.err.contains("writing failed after 2 of 5 blocks"), qPrintable(run.err));
}

// Exit 1 would say "differs": a diff that could not read the module says 2. The link's
// timeout and retries are applied: a slow reply is waited for with --timeout 500, one
// unanswered request is retried unless --retries 0.
void TestKorunConfig::diffOfAModuleThatDoesNotAnswerIsNoDifference()
{
    const QString file = fileWith({});
    QVERIFY(line.command("fault late 300 once"));
    QCOMPARE(runConfig(QStringList{"diff", file, "--timeout", "500", "--retries", "0"} + module()).exitCode, 0);
    QVERIFY(line.command("fault silent once"));
    QCOMPARE(runConfig(QStringList{"diff", file} + module()).exitCode, 0);
    QVERIFY(line.command("fault silent once"));
    const Run run = runConfig(QStringList{"diff", file, "--timeout", "50", "--retries", "0"} + module());
    QCOMPARE(run.exitCode, 2);
    QVERIFY2(run.err.contains("module 0xBA did not answer"), qPrintable(run.err));
    QVERIFY(!run.out.contains("holds"));
}

void TestKorunConfig::writesThatMustNotHappen_data()
{
    QTest::addColumn<QStringList>("edits");
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("says");
    const QStringList write{"--yes"}, restore{"--yes", "--restore-image"};
    QTest::newRow("not confirmed") << QStringList{"address_switch_zero_left=false"} << QStringList() << 1
                                   << "confirm with --yes";
    QTest::newRow("resistive sensor without wiring")
        << QStringList{"channels/3/sensor=\"TR_100Pt\"", "channels/3/connection=\"VOLTAGE_INPUT\""} << write << 2
        << "channel 3: the resistive sensor TR_100Pt needs";
    QTest::newRow("unknown sensor code over a known one")
        << QStringList{"channels/1/sensor=40"} << write << 2 << "channel 1: sensor code 40 is not in the catalogue";
    QTest::newRow("image contradicts channels") << QStringList{"image/1=20"} << restore << 2
                                                << "channel 1: the image holds TR_100Pt";
    QTest::newRow("image contradicts adc_setup") << QStringList{"image/9=90"} << restore << 2
                                                 << "channel 1: the image's ADC setup is not the channel's adc_setup";
    QTest::newRow("image contradicts address switch") << QStringList{"image/1200=164"} << restore << 2
                                                      << "address_switch_zero_left: the image says false";
    QTest::newRow("another module's file") << QStringList{"module=\"0xB3\""} << restore << 2
                                           << "the file is module 0xB3's";
    QTest::newRow("connection code 1") << QStringList{"image/300=1", "channels/2/connection=1"} << restore << 2
                                       << "channel 2: connection code 1 is not one the module could hold";
    QTest::newRow("erased image") << QStringList{"image/all=255"} << restore << 2 << "every byte is FF";
    QTest::newRow("sensor code kept as a number") << QStringList{"image/301=40", "channels/2/sensor=40"} << restore
                                                  << 0 << "verified";
    QTest::newRow("erased image, forced") << QStringList{"image/all=255"} << restore + QStringList{"--force"} << 0
                                          << "--force: writing the image all the same";
}

void TestKorunConfig::writesThatMustNotHappen()
{
    QFETCH(QStringList, edits);
    QFETCH(QStringList, options);
    QFETCH(int, exitCode);
    QFETCH(QString, says);
    const QString file = fileWith(edits);
    const Run run = runConfig(QStringList{"write", file} + options + module());
    QCOMPARE(run.exitCode, exitCode);
    QVERIFY2((run.out + run.err).contains(says), qPrintable(run.out + run.err));
    const QVector<quint16> after = line.dump(0x8000, RegisterMap::configurationCount);
    if (exitCode != 0) {
        QCOMPARE(writeRequests(line), 0);
        QCOMPARE(after, before);
        if (options.contains("--restore-image")) // refused before the port is opened
            QCOMPARE(line.requests().size(), 0);
    } else {
        QCOMPARE(firstDifference(imageOf(after), imageOf(edited(baseline, edits))), QString());
    }
}

QTEST_GUILESS_MAIN(TestKorunConfig)
#include "tst_korun_config.moc"
