// korun-scan on simulated lines: which modules answer, and with what, whatever their timing.
#include "sim_line.h"

#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QTest>

class TestKorunScan : public QObject
{
    Q_OBJECT

private slots:
    void listsTheModulesThatAnswer();
    void aRepeatingModuleIsNeverListedWithAnotherChannelsSensor();
};

namespace {

// The port is given relative to korun-scan's working directory, "./port", as a path.
QString scanOutput(const QString &port, int *exitCode = nullptr, QString *errors = nullptr)
{
    QProcess scan;
    scan.setWorkingDirectory(QFileInfo(port).path());
    scan.start(QStringLiteral(KORUN_SCAN_PATH), {"--port", "./" + QFileInfo(port).fileName()});
    if (!scan.waitForFinished(10000))
        return QStringLiteral("(korun-scan did not end)");
    if (exitCode)
        *exitCode = scan.exitCode();
    if (errors)
        *errors = QString::fromLatin1(scan.readAllStandardError());
    // Each line ends with the module's response time, which varies: it must be there.
    QString listed = QString::fromLatin1(scan.readAllStandardOutput());
    const QRegularExpression responseTime(QStringLiteral("  \\d+\\.\\d ms$"), QRegularExpression::MultilineOption);
    if (listed.count(responseTime) != listed.count(QLatin1Char('\n')))
        return QStringLiteral("(a line without its response time) ") + listed;
    return listed.remove(responseTime);
}

} // namespace

void TestKorunScan::listsTheModulesThatAnswer()
{
    SimLine line;
    QVERIFY(line.start({"--address", "0,3", "--channel", "1=TC_K@300", "--address", "7,F"}));
    QVERIFY(line.command("module 7 fault silent"));
    int exitCode = -1;
    QCOMPARE(scanOutput(line.portName(), &exitCode),
             QStringLiteral("0  0xB0  TC_K NO_SENSOR NO_SENSOR NO_SENSOR\n"
                            "3  0xB3  TC_K NO_SENSOR NO_SENSOR NO_SENSOR\n"
                            "F  0xBF  NO_SENSOR NO_SENSOR NO_SENSOR NO_SENSOR\n"));
    QCOMPARE(exitCode, 0);

    QVERIFY(line.command("module 0 fault silent"));
    QVERIFY(line.command("module 3 fault silent"));
    QVERIFY(line.command("module F fault silent"));
    QCOMPARE(scanOutput(line.portName(), &exitCode), QString());
    QCOMPARE(exitCode, 1);
}

// A module that sends every reply again 50 ms later, while the next request waits for its
// own: its listing is the truth, or nothing with the reason.
void TestKorunScan::aRepeatingModuleIsNeverListedWithAnotherChannelsSensor()
{
    SimLine line;
    QVERIFY(line.start({"--channel", "1=TC_K@300", "--channel", "2=TR_100Pt:3@20", "--channel", "3=TC_J@150",
                        "--channel", "4=VOLTAGE@5"}));
    QVERIFY(line.command("fault twice 50"));
    QString errors;
    const QString listed = scanOutput(line.portName(), nullptr, &errors);
    if (listed.isEmpty())
        QVERIFY2(errors.contains("module 0xB0 answered, but its channels could not be read"), qPrintable(errors));
    else
        QCOMPARE(listed, QStringLiteral("0  0xB0  TC_K TR_100Pt TC_J VOLTAGE\n"));
}

QTEST_GUILESS_MAIN(TestKorunScan)
#include "tst_korun_scan.moc"
