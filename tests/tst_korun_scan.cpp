// korun-scan on a simulated line of three modules, one of them silent.
#include "sim_line.h"

#include <QProcess>
#include <QTest>

class TestKorunScan : public QObject
{
    Q_OBJECT

private slots:
    void listsTheModulesThatAnswer();
};

void TestKorunScan::listsTheModulesThatAnswer()
{
    SimLine line;
    QVERIFY(line.start({"--address", "0,3", "--channel", "1=TC_K@300", "--address", "7"}));
    QVERIFY(line.command("module 7 fault silent"));
    QProcess scan;
    scan.start(QStringLiteral(KORUN_SCAN_PATH), {"--port", line.portName()});
    QVERIFY(scan.waitForFinished(10000));
    QCOMPARE(scan.exitCode(), 0);
    QCOMPARE(QString::fromLatin1(scan.readAllStandardOutput()),
             QStringLiteral("0  0xB0  TC_K NO_SENSOR NO_SENSOR NO_SENSOR\n"
                            "3  0xB3  TC_K NO_SENSOR NO_SENSOR NO_SENSOR\n"));

    QVERIFY(line.command("fault silent"));
    scan.start(QStringLiteral(KORUN_SCAN_PATH), {"--port", line.portName()});
    QVERIFY(scan.waitForFinished(10000));
    QCOMPARE(scan.exitCode(), 1);
    QCOMPARE(scan.readAllStandardOutput(), QByteArray());
}

QTEST_GUILESS_MAIN(TestKorunScan)
#include "tst_korun_scan.moc"
