// What the window says about its own values: a module that stops answering, a Store that
// fails part-way or cannot be right, and the operator's clicks during a Store.
#include "window_fixture.h"

#include "sensor_catalogue.h"

#include <QApplication>
#include <QLoggingCategory>

class TestWindowTrust : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void failingModuleGoesStaleAndRecovers_data();
    void failingModuleGoesStaleAndRecovers();
    void storeRefusesAResistiveChannelWithoutConnection();
    void storeCutPartWayIsReportedUntilReadOrStore();
    void clicksDuringAStoreWaitForIt_data();
    void clicksDuringAStoreWaitForIt();
    void valuesThatAreNotNumbersAreStale();
};

void TestWindowTrust::initTestCase()
{
    QLoggingCategory::setFilterRules(QStringLiteral("default.debug=false\nqt.modbus.warning=false"));
}

void TestWindowTrust::failingModuleGoesStaleAndRecovers_data()
{
    QTest::addColumn<QString>("fault");
    QTest::addColumn<QString>("state");
    QTest::newRow("silent") << "silent" << "No answer from module 0xB3 since ";
    QTest::newRow("busy reference block") << "exception 6 @2000" << "Module 0xB3 refused requests since ";
}

void TestWindowTrust::failingModuleGoesStaleAndRecovers()
{
    QFETCH(QString, fault);
    QFETCH(QString, state);
    WindowFixture f;
    QCOMPARE(f.linkState(), QStringLiteral("Disconnected"));
    QCOMPARE(f.staleFields(), 22);
    QVERIFY(f.connect({"--address", "3", "--channel", "1=TC_K@300"}, 3));
    QVERIFY(f.linkState().startsWith("Port open, nothing read from module 0xB3 yet"));

    f.setAutoUpdate(true, 0.2);
    QTRY_COMPARE_WITH_TIMEOUT(f.staleFields(), 0, 2000);
    QVERIFY2(f.linkState().startsWith("Module 0xB3 answering, last reading "), qPrintable(f.linkState()));
    const QString temperature = f.channelText(1, "Temp");

    QVERIFY(f.line.command("fault " + fault));
    ResponsivenessProbe probe;
    QTRY_COMPARE_WITH_TIMEOUT(f.staleFields(), 22, 2000);
    QVERIFY2(f.linkState().startsWith(state), qPrintable(f.linkState()));
    QTest::qWait(2500); // reopening the port, twice or more, is not an answer
    QVERIFY2(f.linkState().startsWith(state), qPrintable(f.linkState()));
    QVERIFY2(probe.longestStallMs() < stallLimitMs, qPrintable(QString::number(probe.longestStallMs())));
    QCOMPARE(f.channelText(1, "Temp"), temperature); // old texts stay, marked stale
    if (fault.startsWith("exception"))
        QVERIFY2(f.linkState().contains(": exception 6, server device busy"), qPrintable(f.linkState()));

    QVERIFY(f.line.command("fault none"));
    QTRY_COMPARE_WITH_TIMEOUT(f.staleFields(), 0, 2000);
    QVERIFY2(f.linkState().startsWith("Module 0xB3 answering"), qPrintable(f.linkState()));
    QVERIFY2(f.linkState().contains(QRegularExpression(" · \\d+ complete, [1-9]\\d* failed refreshes?$")),
             qPrintable(f.linkState()));

    f.widget<QPushButton>("disconnectBtn")->click();
    f.setAutoUpdate(false);
    QCOMPARE(f.linkState(), QStringLiteral("Disconnected"));
    QCOMPARE(f.staleFields(), 22);
}

// After a Read of a thermocouple channel its connection combo is blank; choosing a
// resistance thermometer there must not store it without its ADC setup.
void TestWindowTrust::storeRefusesAResistiveChannelWithoutConnection()
{
    WindowFixture f;
    QVERIFY(f.connect({"--channel", "2=TC_K@300"}));
    f.widget<QPushButton>("readBtn")->click();
    f.widget<QComboBox>("ch2SensorCombo")->setCurrentIndex(TR_100Pt);
    f.line.clearRequests();
    f.widget<QPushButton>("storeBtn")->click();
    QVERIFY2(f.window->statusBar()->currentMessage().startsWith("Channel 2: "),
             qPrintable(f.window->statusBar()->currentMessage()));
    QTest::qWait(50);
    QCOMPARE(f.line.requests().size(), 0);
}

void TestWindowTrust::storeCutPartWayIsReportedUntilReadOrStore()
{
    WindowFixture f;
    QVERIFY(f.connect());
    f.widget<QPushButton>("readBtn")->click();
    f.line.clearRequests();
    f.widget<QComboBox>("ch3SensorCombo")->setCurrentIndex(TC_K);
    QVERIFY(f.line.command("fault exception 6 @80F6 once"));
    ResponsivenessProbe probe;
    f.widget<QPushButton>("storeBtn")->click();
    QVERIFY(probe.longestStallMs() < stallLimitMs);
    QCOMPARE(writesIn(f.line.requests()), 3); // two written, the third refused, no retry
    QVERIFY2(f.linkState().startsWith("Store failed: 2 of 5 blocks written"), qPrintable(f.linkState()));

    f.refreshOnce();
    f.refreshOnce();
    QVERIFY2(f.linkState().startsWith("Store failed: "), qPrintable(f.linkState()));
    f.widget<QPushButton>("readBtn")->click();
    QVERIFY2(f.linkState().startsWith("Module 0xB0 answering"), qPrintable(f.linkState()));
    QCOMPARE(f.widget<QComboBox>("ch3SensorCombo")->currentIndex(), int(NO_SENSOR));
}

void TestWindowTrust::clicksDuringAStoreWaitForIt_data()
{
    QTest::addColumn<QString>("click");
    QTest::newRow("Disconnect") << "disconnectBtn";
    QTest::newRow("Connect") << "connectBtn";
    QTest::newRow("closing the window") << "";
}

void TestWindowTrust::clicksDuringAStoreWaitForIt()
{
    QFETCH(QString, click);
    WindowFixture f;
    QVERIFY(f.connect());
    f.window->show();
    f.widget<QPushButton>("readBtn")->click();
    f.line.clearRequests();
    f.texts.clear();
    f.widget<QComboBox>("ch1SensorCombo")->setCurrentIndex(TC_J);
    QVERIFY(f.line.command("fault late 40"));
    QTimer::singleShot(250, [&] {
        if (click.isEmpty())
            f.window->close();
        else
            f.widget<QPushButton>(click)->click();
    });
    f.widget<QPushButton>("storeBtn")->click();
    QCOMPARE(writesIn(f.line.requests()), 5);
    QCOMPARE(f.texts.count("Ready"), 10);
    QCOMPARE(f.line.dump(0x8000, 1).value(0), quint16(0x0405));
    QCOMPARE(f.proxy()->isConnected(), click != "disconnectBtn");
    QCOMPARE(f.window->isVisible(), !click.isEmpty());
}

// NaN or an infinity is no reading: the fields of that value, and the temperatures computed
// from it, keep their last text and are marked stale; the rest of the refresh is fresh.
void TestWindowTrust::valuesThatAreNotNumbersAreStale()
{
    WindowFixture f;
    QVERIFY(f.connect({"--channel", "1=TC_K@300", "--channel", "2=TR_100Pt:3@22.5", "--channel", "3=TC_J@150"}));
    f.refreshOnce();
    QCOMPARE(f.staleFields(), 0);
    const QString value2 = f.channelText(2, "PhysicValue"), temperature2 = f.channelText(2, "Temp");
    const QString xt3xt4 = f.text("xt3xt4TemperatureEdit"), temperature3 = f.channelText(3, "Temp");

    QVERIFY(f.line.command("poke 0010 0000 7FC0")); // channel 2 NaN
    QVERIFY(f.line.command("poke 2002 0000 7F80")); // XT3/XT4 +Inf: channel 3's cold junction
    f.refreshOnce();
    QStringList stale;
    for (const QLineEdit *field : f.window->findChildren<QLineEdit *>())
        if (field->property("stale").toBool())
            stale << field->objectName();
    stale.sort();
    QCOMPARE(stale, QStringList({"ch2PhysicValue", "ch2STemp", "ch2Temp", "ch3STemp", "ch3Temp",
                                 "xt3xt4TemperatureEdit"}));
    QCOMPARE(f.channelText(2, "PhysicValue"), value2);
    QCOMPARE(f.channelText(2, "Temp"), temperature2);
    QCOMPARE(f.text("xt3xt4TemperatureEdit"), xt3xt4);
    QCOMPARE(f.channelText(3, "Temp"), temperature3);

    QVERIFY(f.line.command("unpin"));
    f.refreshOnce();
    QCOMPARE(f.staleFields(), 0);
}

QTEST_MAIN(TestWindowTrust)
#include "tst_window_trust.moc"
