// Daily files: korun-log's --output with %Y, %m and %d starts a new file, with its header,
// when the UTC day changes. The midnight is faked with faketime (libfaketime), so that
// the test takes two seconds instead of a day.
#include "dated_path.h"
#include "sim_line.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

namespace {

QStringList fileLines(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(file.readAll()).split('\n', Qt::SkipEmptyParts);
}

} // namespace

class TestDailyFiles : public QObject
{
    Q_OBJECT

private slots:
    void namesTheDay();
    void newFileWithHeaderAfterMidnight();
};

void TestDailyFiles::namesTheDay()
{
    const QDate day(2026, 12, 7);
    QVERIFY(hasDatePattern("/var/lib/korun/line1-%Y-%m-%d.csv"));
    QVERIFY(!hasDatePattern("/var/lib/korun/line1.csv"));
    QVERIFY(!hasDatePattern("100%%.csv"));
    QCOMPARE(datedPath("/var/lib/korun/line1-%Y-%m-%d.csv", day), QStringLiteral("/var/lib/korun/line1-2026-12-07.csv"));
    QCOMPARE(datedPath("%d.%m.%Y", QDate(987, 1, 2)), QStringLiteral("02.01.0987"));
    // Only the date conversions: a "%" before anything else, or at the end, stays.
    QCOMPARE(datedPath("a%%Y-%x-%", day), QStringLiteral("a%Y-%x-%"));
}

void TestDailyFiles::newFileWithHeaderAfterMidnight()
{
    const QString faketime = QStandardPaths::findExecutable(QStringLiteral("faketime"));
    if (faketime.isEmpty())
        QSKIP("faketime is not installed (apt-get install faketime)");
    SimLine line;
    QVERIFY(line.start({"--channel", "1=TR_100Pt:3@22.5"}));
    QTemporaryDir dir;
    QVERIFY(dir.isValid());

    QProcess log;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("TZ"), QStringLiteral("UTC"));
    // A sanitized build would refuse libfaketime ahead of its own runtime.
    environment.insert(QStringLiteral("ASAN_OPTIONS"),
                       environment.value(QStringLiteral("ASAN_OPTIONS")) + QStringLiteral(":verify_asan_link_order=0"));
    log.setProcessEnvironment(environment);
    // One second before midnight, in real time: rows on both days with a 0.4 s period.
    log.start(faketime, {"-f", "@2026-12-07 23:59:59", KORUN_LOG_PATH, "--port", line.portName(), "--period", "0.4",
                         "--count", "6", "--output", dir.filePath("line1-%Y-%m-%d.csv")});
    QVERIFY(log.waitForFinished(20000));
    QVERIFY2(log.exitCode() == 0, log.readAllStandardError().constData());

    const QStringList before = fileLines(dir.filePath("line1-2026-12-07.csv"));
    const QStringList after = fileLines(dir.filePath("line1-2026-12-08.csv"));
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files).size(), 2);
    QVERIFY2(before.size() >= 2 && after.size() >= 2, "a header and at least one row on each day");
    QCOMPARE(before.size() + after.size(), 2 + 6);
    QVERIFY(before[0].startsWith(QLatin1String("time_utc,")));
    QCOMPARE(after[0], before[0]);
    QVERIFY(before[1].startsWith(QLatin1String("2026-12-07T23:59:")));
    QVERIFY(after.last().startsWith(QLatin1String("2026-12-08T00:00:")));
}

QTEST_GUILESS_MAIN(TestDailyFiles)
#include "tst_daily_files.moc"
