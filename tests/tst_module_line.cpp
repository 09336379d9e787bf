// Sweeps of a line of modules through one proxy: a silent module is backed off, and once it
// answers again it is asked in every sweep.
#include "module_line.h"
#include "proxy_fixture.h"

#include <QTest>

class TestModuleLine : public QObject
{
    Q_OBJECT

private slots:
    void backedOffModuleIsAskedEverySweepOnceItAnswers();
};

void TestModuleLine::backedOffModuleIsAskedEverySweepOnceItAnswers()
{
    ProxyFixture f;
    QVERIFY(f.open({"--address", "0,7"}));
    f.proxy.setTimeout(30);
    QVERIFY(f.line.command("module 7 fault silent"));
    ModuleLine line(f.proxy, {0, 7});

    QVector<bool> asked; // module 7, sweep by sweep
    for (int sweep = 0; sweep < 6; ++sweep) {
        const QVector<SweepRow> rows = line.sweep();
        QVERIFY(rows[0].snapshot.complete());
        asked << rows[1].asked;
    }
    QCOMPARE(asked, QVector<bool>({true, true, true, false, false, false}));
    QVERIFY(!line.sweep()[1].asked); // still backed off, 4th sweep of 10

    QVERIFY(f.line.command("module 7 fault none"));
    int sweepsUntilAsked = 0;
    while (!line.sweep()[1].asked && sweepsUntilAsked < ModuleLine::backoffPeriod)
        ++sweepsUntilAsked;
    QVERIFY(sweepsUntilAsked < ModuleLine::backoffPeriod);
    for (int sweep = 0; sweep < 3; ++sweep) {
        const QVector<SweepRow> rows = line.sweep();
        QVERIFY(rows[1].asked && !rows[1].backedOff);
        QVERIFY(rows[1].snapshot.complete());
    }
}

QTEST_GUILESS_MAIN(TestModuleLine)
#include "tst_module_line.moc"
