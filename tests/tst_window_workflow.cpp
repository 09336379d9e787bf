// The operator's workflow end to end: the real window against the simulated module.
#include "window_fixture.h"
#include "command_line.h"
#include "sensor_catalogue.h"
#include "temperature_routing.h"

#include <QApplication>
#include <QLoggingCategory>
#include <QMessageBox>
#include <QTimer>

namespace {

// Answers the modal message box that the next action opens (closes it, or clicks a button
// of the given role), and reports what it said.
struct MessageBoxCatcher {
    QString title, text;
    bool seen = false;

    void arm(QMessageBox::StandardButton answer = QMessageBox::NoButton)
    {
        QTimer::singleShot(100, [this, answer] {
            auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
            if (!box)
                return arm(answer);
            seen = true;
            title = box->windowTitle();
            text = box->text();
            if (answer == QMessageBox::NoButton)
                box->close();
            else
                box->button(answer)->click();
        });
    }
};

QVector<int> addressesOf(const QVector<SimRequest> &requests)
{
    QVector<int> addresses;
    for (const SimRequest &request : requests)
        addresses << request.address;
    return addresses;
}

} // namespace

class TestWindowWorkflow : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void proModeFromCommandLine_data();
    void proModeFromCommandLine();
    void proModeShowsItsWidgets_data();
    void proModeShowsItsWidgets();
    void selectorChoosesTheBusAddress_data();
    void selectorChoosesTheBusAddress();
    void badPortShowsTheCriticalBox_data();
    void badPortShowsTheCriticalBox();
    void refreshShowsExactTexts();
    void thermocouplesUseTheirOwnReference();
    void failedAdcStateReadChangesNoChannelField();
    void storeOfSettingsNeverReadAsksFirst();
    void missingReferenceKeepsThermocoupleTexts();
    void readSetsTheControls();
    void readThenStoreWritesBackTheSameCodes();
    void timerTickDuringStoreChangesNothing();
    void autoUpdateFollowsCheckBoxAndPeriod();
};

void TestWindowWorkflow::initTestCase()
{
    // The proxy's debug lines are checked by its own tests; here they are noise.
    QLoggingCategory::setFilterRules(QStringLiteral("default.debug=false"));
}

void TestWindowWorkflow::proModeFromCommandLine_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<bool>("proMode");
    QTest::newRow("no arguments") << QStringList{"korun"} << false;
    QTest::newRow("switch first") << QStringList{"korun", "--enable-pro-mode"} << true;
    QTest::newRow("switch then more") << QStringList{"korun", "--enable-pro-mode", "x", "--foo"} << true;
    QTest::newRow("other letter case") << QStringList{"korun", "--Enable-Pro-Mode"} << false;
    QTest::newRow("with a value") << QStringList{"korun", "--enable-pro-mode=1"} << false;
    QTest::newRow("second argument") << QStringList{"korun", "x", "--enable-pro-mode"} << false;
}

void TestWindowWorkflow::proModeFromCommandLine()
{
    QFETCH(QStringList, arguments);
    QFETCH(bool, proMode);
    QCOMPARE(proModeRequested(arguments), proMode);
}

void TestWindowWorkflow::proModeShowsItsWidgets_data()
{
    QTest::addColumn<bool>("proMode");
    QTest::newRow("normal") << false;
    QTest::newRow("pro") << true;
}

// The 34 pro-mode widgets follow the mode; everything else shows in both, and the window
// opens at its layout's minimum size.
void TestWindowWorkflow::proModeShowsItsWidgets()
{
    QFETCH(bool, proMode);
    MainWindow window(proMode);
    window.resize(100, 100);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QCOMPARE(window.size(), window.minimumSizeHint());
    QStringList proOnly = {"addrSw0Top", "addrSw0Left", "label_25", "label_7", "label_26", "label_9",
                           "label_28", "label_14", "label_27", "label_13", "label_29", "label_19",
                           "label_30", "label_18", "label_31", "label_24", "label_32", "label_23"};
    for (int n = 1; n <= 4; ++n) {
        for (const char *field : {"ADC", "PhysicValue", "Gain", "STemp"})
            proOnly << QStringLiteral("ch%1%2").arg(n).arg(field);
    }
    QCOMPARE(proOnly.size(), 34);
    for (const QString &name : proOnly)
        QVERIFY2(window.findChild<QWidget *>(name)->isVisible() == proMode, qPrintable(name));
    for (const char *name : {"ch1Temp", "ch4Temp", "ch2SensorCombo", "portEdit", "readBtn", "linkStateLabel"})
        QVERIFY2(window.findChild<QWidget *>(QLatin1String(name))->isVisible(), name);
    QCOMPARE(window.findChild<QLabel *>("label_6")->text(), QStringLiteral("XT3,XT4:"));
}

void TestWindowWorkflow::selectorChoosesTheBusAddress_data()
{
    QTest::addColumn<QString>("switchSetting");
    QTest::addColumn<int>("selector");
    QTest::addColumn<bool>("answers");
    QTest::newRow("0 is 176") << "0" << 0 << true;
    QTest::newRow("F is 191") << "F" << 15 << true;
    QTest::newRow("wrong address") << "3" << 4 << false;
}

void TestWindowWorkflow::selectorChoosesTheBusAddress()
{
    QFETCH(QString, switchSetting);
    QFETCH(int, selector);
    QFETCH(bool, answers);
    WindowFixture f;
    QVERIFY(f.connect({"--address", switchSetting, "--cold", "21.5,22.5"}, selector));
    QCOMPARE(int(f.proxy()->serverAddress), 176 + selector);
    f.refreshOnce();
    QCOMPARE(f.text("xt1xt2TemperatureEdit"), answers ? QStringLiteral("21.500000") : QString());
}

void TestWindowWorkflow::badPortShowsTheCriticalBox_data()
{
    QTest::addColumn<QString>("port");
    QTest::newRow("no such port") << "/dev/korun-no-such-port";
    QTest::newRow("empty name") << "";
    QTest::newRow("a directory") << "/tmp";
}

void TestWindowWorkflow::badPortShowsTheCriticalBox()
{
    QFETCH(QString, port);
    WindowFixture f;
    f.window->show();
    f.widget<QLineEdit>("portEdit")->setText(port);
    MessageBoxCatcher box;
    box.arm();
    f.widget<QPushButton>("connectBtn")->click();
    QVERIFY(box.seen);
    QCOMPARE(box.title, QStringLiteral("Критическая ошибка"));
    QVERIFY(box.text.startsWith(QStringLiteral("Не удалось подключиться к RS-485: ")));
    QVERIFY(box.text.endsWith(f.proxy()->errorString()));
    QVERIFY(!f.proxy()->errorString().isEmpty());
    QVERIFY(!f.proxy()->isConnected());
    QCOMPARE(f.texts.last(), QStringLiteral("Modbus unconnected"));
}

void TestWindowWorkflow::refreshShowsExactTexts()
{
    WindowFixture f;
    QVERIFY(f.connect());
    // Reference 25.0 and -1.5; channel 1 VOLTAGE 25.0 mV, ADC register 0xFFFF read unsigned
    // with gain 16; channel 2 RESISTANCE 100 ohm read signed; channel 3 a sensor code
    // without conversion; channel 4 NO_SENSOR.
    QVERIFY(f.line.command("poke 2000 0000 41C8 0000 BFC0"));
    QVERIFY(f.line.command("poke 0000 0000 41C8 000E FFFF FFFF"));
    QVERIFY(f.line.command("poke 0101 1400"));
    QVERIFY(f.line.command("poke 0010 0000 42C8 001A FFFF FFFF"));
    QVERIFY(f.line.command("poke 0111 0F00"));
    QVERIFY(f.line.command("poke 0020 0000 3F80 001E 0001 0002"));
    QVERIFY(f.line.command("poke 0030 0000 4120 0000 0064 FF9C"));
    f.refreshOnce();

    QCOMPARE(f.text("xt1xt2TemperatureEdit"), QStringLiteral("25.000000"));
    QCOMPARE(f.text("xt3xt4TemperatureEdit"), QStringLiteral("-1.500000"));
    QCOMPARE(f.channelText(1, "PhysicValue"), QStringLiteral("25.000000"));
    QCOMPARE(f.channelText(1, "ADC"), QStringLiteral("65535"));
    QCOMPARE(f.channelText(1, "Gain"), QStringLiteral("16"));
    QCOMPARE(f.channelText(1, "Temp"), QStringLiteral("25.000000"));
    QCOMPARE(f.channelText(1, "STemp"), QStringLiteral("25.000000"));
    QCOMPARE(f.channelText(2, "ADC"), QStringLiteral("-1"));
    QCOMPARE(f.channelText(2, "Gain"), QStringLiteral("128"));
    QCOMPARE(f.channelText(2, "Temp"), QStringLiteral("100.000000"));
    QCOMPARE(f.channelText(3, "Temp"), QStringLiteral("nan"));
    QCOMPARE(f.channelText(3, "STemp"), QStringLiteral("nan"));
    QCOMPARE(f.channelText(4, "PhysicValue"), QStringLiteral("10.000000"));
    QCOMPARE(f.channelText(4, "ADC"), QStringLiteral("-100"));
    QCOMPARE(f.channelText(4, "Gain"), QStringLiteral("1"));
    QCOMPARE(f.channelText(4, "Temp"), QString());
    QCOMPARE(f.channelText(4, "STemp"), QString());
}

void TestWindowWorkflow::thermocouplesUseTheirOwnReference()
{
    WindowFixture f;
    QVERIFY(f.connect({"--channel", "1=TC_K@300", "--channel", "3=TC_K@300", "--channel", "4=TC_J@-20",
                       "--channel", "2=TR_100Pt@21.5", "--cold", "18,41"}));
    f.refreshOnce();
    // The module measures EMF against its own terminals; only the right reference gives
    // the simulated temperature back.
    QVERIFY2(qAbs(f.channelText(1, "Temp").toDouble() - 300) < 0.1, qPrintable(f.channelText(1, "Temp")));
    QVERIFY2(qAbs(f.channelText(3, "Temp").toDouble() - 300) < 0.1, qPrintable(f.channelText(3, "Temp")));
    QVERIFY2(qAbs(f.channelText(4, "Temp").toDouble() + 20) < 0.1, qPrintable(f.channelText(4, "Temp")));
    QVERIFY2(qAbs(f.channelText(2, "Temp").toDouble() - 21.5) < 0.01, qPrintable(f.channelText(2, "Temp")));
}

void TestWindowWorkflow::failedAdcStateReadChangesNoChannelField()
{
    WindowFixture f;
    QVERIFY(f.connect({"--channel", "1=VOLTAGE@5"}));
    f.refreshOnce();
    QCOMPARE(f.channelText(1, "PhysicValue"), QStringLiteral("5.000000"));

    QVERIFY(f.line.command("temp 1 7"));
    QVERIFY(f.line.command("cold 30 31"));
    QVERIFY(f.line.command("fault exception 2 @0120"));
    f.setAutoUpdate(true, 0.01);
    QVERIFY(QTest::qWaitFor([&] { return f.texts.contains("Error: Modbus Exception Response."); }, 3000));
    f.setAutoUpdate(false);
    QCOMPARE(f.text("xt1xt2TemperatureEdit"), QStringLiteral("30.000000"));
    QCOMPARE(f.channelText(1, "PhysicValue"), QStringLiteral("5.000000"));
    QCOMPARE(f.channelText(1, "Temp"), QStringLiteral("5.000000"));
}

void TestWindowWorkflow::missingReferenceKeepsThermocoupleTexts()
{
    WindowFixture f;
    QVERIFY(f.connect({"--channel", "1=TC_K@300", "--channel", "2=TR_100Pt@50", "--cold", "20,20"}));
    // With the link closed, the reference read of a refresh only reopens it and the
    // channel reads go through: no reference has been read yet.
    f.widget<QPushButton>("disconnectBtn")->click();
    f.refreshOnce();
    QCOMPARE(f.text("xt1xt2TemperatureEdit"), QString());
    QVERIFY(!f.channelText(1, "PhysicValue").isEmpty());
    QCOMPARE(f.channelText(1, "Temp"), QString());
    QCOMPARE(f.channelText(1, "STemp"), QString());
    QVERIFY(qAbs(f.channelText(2, "Temp").toDouble() - 50) < 0.01);

    // Later the last reference read serves such a refresh.
    f.refreshOnce();
    QCOMPARE(f.text("xt1xt2TemperatureEdit"), QStringLiteral("20.000000"));
    QVERIFY(f.line.command("cold 99 99"));
    f.widget<QPushButton>("disconnectBtn")->click();
    f.refreshOnce();
    QCOMPARE(f.text("xt1xt2TemperatureEdit"), QStringLiteral("20.000000"));
    const float measured = temperatureToEmf(TC_K, 300) - temperatureToEmf(TC_K, 99);
    const float expected = compensatedTemperature(TC_K, measured, 20);
    QVERIFY2(qAbs(f.channelText(1, "Temp").toDouble() - expected) < 0.01, qPrintable(f.channelText(1, "Temp")));
}

void TestWindowWorkflow::readSetsTheControls()
{
    WindowFixture f(false);
    QVERIFY(f.connect({"--channel", "1=TC_K@300", "--channel", "2=TR_100Pt:4@20", "--channel", "3=NO_SENSOR@0",
                       "--channel", "4=TR_50M:3@0"}));
    // Channel 4's record claims sensor code 30; the address switch has its 0 on the left.
    QVERIFY(f.line.command("poke 81C2 1E03"));
    QVERIFY(f.line.command("poke 8258 A5A5"));
    f.widget<QPushButton>("readBtn")->click();
    const auto combo = [&](const QString &name) { return f.widget<QComboBox>(name)->currentIndex(); };
    QCOMPARE(combo("ch1SensorCombo"), int(TC_K));
    QCOMPARE(combo("ch1ConnectionTypeCombo"), -1);
    QCOMPARE(combo("ch2SensorCombo"), int(TR_100Pt));
    QCOMPARE(combo("ch2ConnectionTypeCombo"), 2);
    QCOMPARE(combo("ch3SensorCombo"), int(NO_SENSOR));
    QCOMPARE(combo("ch3ConnectionTypeCombo"), -1);
    QCOMPARE(combo("ch4SensorCombo"), -1);
    QCOMPARE(combo("ch4ConnectionTypeCombo"), 1);
    QVERIFY(f.widget<QRadioButton>("addrSw0Left")->isChecked());

    // A module whose switch has its 0 on the top unchecks "left".
    QVERIFY(f.line.command("poke 8258 A5A4"));
    f.widget<QPushButton>("readBtn")->click();
    QVERIFY(f.widget<QRadioButton>("addrSw0Top")->isChecked());
    QVERIFY(!f.widget<QRadioButton>("addrSw0Left")->isChecked());
    f.widget<QRadioButton>("addrSw0Left")->setChecked(true);

    // A failed Read changes nothing.
    QVERIFY(f.line.command("fault silent"));
    f.widget<QComboBox>("ch1SensorCombo")->setCurrentIndex(3);
    f.widget<QPushButton>("readBtn")->click();
    QCOMPARE(combo("ch1SensorCombo"), 3);
    QVERIFY(f.widget<QRadioButton>("addrSw0Left")->isChecked());
}

void TestWindowWorkflow::readThenStoreWritesBackTheSameCodes()
{
    WindowFixture f(false);
    QVERIFY(f.connect({"--channel", "1=TC_K@300", "--channel", "2=TR_100Pt:2@20", "--channel", "3=VOLTAGE@1",
                       "--channel", "4=TR_100N:4@0"}));
    QVERIFY(f.line.command("poke 8258 A5A5"));
    const QVector<quint16> before = f.line.dump(0x8000, 601);
    f.widget<QPushButton>("readBtn")->click();
    f.widget<QPushButton>("storeBtn")->click();
    const QVector<quint16> after = f.line.dump(0x8000, 601);
    for (int channel = 0; channel < 4; ++channel)
        QCOMPARE(after[150 * channel], before[150 * channel]);
    QCOMPARE(after[600], quint16(0xA5A5));
    QCOMPARE(f.texts.last(), QStringLiteral("Ready"));
}

// Connect then Store would put the form's start-up defaults over the module's setup.
void TestWindowWorkflow::storeOfSettingsNeverReadAsksFirst()
{
    WindowFixture f;
    QVERIFY(f.connect({"--address", "3", "--channel", "1=TC_K@300"}, 3));
    f.widget<QComboBox>("ch2SensorCombo")->setCurrentIndex(TR_100Pt);
    f.widget<QComboBox>("ch2ConnectionTypeCombo")->setCurrentIndex(1);
    MessageBoxCatcher box;
    box.arm(QMessageBox::No);
    f.widget<QPushButton>("storeBtn")->click();
    QVERIFY(box.seen);
    QCOMPARE(box.title, QStringLiteral("Store"));
    for (const char *line : {"module 0xB3", "Channel 1: NO_SENSOR", "Channel 2: TR_100Pt, RESISTIVE_3_WIRE",
                             "Address switch: 0 is on the top"})
        QVERIFY2(box.text.contains(QLatin1String(line)), qPrintable(box.text));
    QTest::qWait(50);
    QCOMPARE(f.line.requests().size(), 0);
    QCOMPARE(f.line.dump(0x8000, 1).value(0), quint16(0x0705));

    box = MessageBoxCatcher();
    box.arm(QMessageBox::Yes);
    f.widget<QPushButton>("storeBtn")->click();
    QVERIFY(box.seen);
    QCOMPARE(f.line.dump(0x8000, 1).value(0), quint16(0x0000));

    // Settings read from a module (here another one's) are stored without a question.
    f.widget<QPushButton>("readBtn")->click();
    box = MessageBoxCatcher();
    box.arm(QMessageBox::No);
    f.widget<QPushButton>("storeBtn")->click();
    QVERIFY(!box.seen);
    QCOMPARE(f.texts.last(), QStringLiteral("Ready"));
}

void TestWindowWorkflow::timerTickDuringStoreChangesNothing()
{
    WindowFixture f;
    QVERIFY(f.connect());
    f.widget<QPushButton>("readBtn")->click();
    f.line.clearRequests();
    QVERIFY(f.line.command("fault late 60"));
    f.widget<QComboBox>("ch1SensorCombo")->setCurrentIndex(TC_J);
    // Ticks every 100 ms fall inside the Store's ten slow requests.
    f.setAutoUpdate(true, 0.1);
    f.widget<QPushButton>("storeBtn")->click();
    f.setAutoUpdate(false);
    QVERIFY(f.texts.contains("Modbus are busy!"));
    QCOMPARE(f.texts.last(), QStringLiteral("Ready"));
    QCOMPARE(f.line.dump(0x8000, 1).value(0), quint16(0x0405));
    QCOMPARE(addressesOf(f.line.requests()), QVector<int>({0x8000, 0x807D, 0x80FA, 0x8177, 0x81F4,
                                                           0x8000, 0x807B, 0x80F6, 0x8171, 0x81EC}));
    QVERIFY(f.text("xt1xt2TemperatureEdit").isEmpty());
}

void TestWindowWorkflow::autoUpdateFollowsCheckBoxAndPeriod()
{
    WindowFixture f;
    QVERIFY(f.connect());
    QTimer *timer = f.refreshTimer();
    QVERIFY(timer);

    f.widget<QDoubleSpinBox>("autoUpdatePeriod")->setValue(0.25);
    QVERIFY(!timer->isActive());
    QCOMPARE(timer->interval(), 250);
    f.widget<QCheckBox>("autoUpdateCheck")->setChecked(true);
    QVERIFY(timer->isActive());
    QVERIFY(f.line.waitForRequests(9));
    f.widget<QDoubleSpinBox>("autoUpdatePeriod")->setValue(0.01);
    QCOMPARE(timer->interval(), 10);

    f.widget<QCheckBox>("autoUpdateCheck")->setChecked(false);
    QVERIFY(!timer->isActive());
    QTest::qWait(60); // the refresh under way, if any, completes
    const int served = f.line.requests().size();
    QTest::qWait(300);
    QCOMPARE(f.line.requests().size(), served);
}

QTEST_MAIN(TestWindowWorkflow)
#include "tst_window_workflow.moc"
