// The window as the operator first sees it: widget tree, texts, initial values, pro mode
// and the command line that selects it.
#include "command_line.h"
#include "mainwindow.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QTest>

namespace {

template <typename T>
T *child(const QWidget &window, const char *name)
{
    return window.findChild<T *>(QLatin1String(name));
}

QStringList proModeNames()
{
    QStringList names = {"addrSw0Top", "addrSw0Left", "label_25", "label_7", "label_26", "label_9",
                         "label_28", "label_14", "label_27", "label_13", "label_29", "label_19",
                         "label_30", "label_18", "label_31", "label_24", "label_32", "label_23"};
    for (int n = 1; n <= 4; ++n) {
        for (const char *field : {"ADC", "PhysicValue", "Gain", "STemp"})
            names << QStringLiteral("ch%1%2").arg(n).arg(field);
    }
    return names;
}

QStringList comboItems(const QComboBox *combo)
{
    QStringList items;
    for (int i = 0; i < combo->count(); ++i)
        items << combo->itemText(i);
    return items;
}

} // namespace

class TestWindowLayout : public QObject
{
    Q_OBJECT

private slots:
    void proModeFromCommandLine_data();
    void proModeFromCommandLine();
    void initialState();
    void referenceLabelsNameTheirJunctions();
    void fieldsAreReadOnlyExceptThePort();
    void comboContents();
    void proModeVisibility_data();
    void proModeVisibility();
    void channelGridsAndFocusOrder();
    void opensAtLayoutMinimum_data();
    void opensAtLayoutMinimum();
};

void TestWindowLayout::proModeFromCommandLine_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<bool>("proMode");
    QTest::newRow("no arguments") << QStringList{"korun"} << false;
    QTest::newRow("switch first") << QStringList{"korun", "--enable-pro-mode"} << true;
    QTest::newRow("switch then more") << QStringList{"korun", "--enable-pro-mode", "x", "--foo"} << true;
    QTest::newRow("other letter case") << QStringList{"korun", "--Enable-Pro-Mode"} << false;
    QTest::newRow("with a value") << QStringList{"korun", "--enable-pro-mode=1"} << false;
    QTest::newRow("single dash") << QStringList{"korun", "-enable-pro-mode"} << false;
    QTest::newRow("leading blank") << QStringList{"korun", " --enable-pro-mode"} << false;
    QTest::newRow("second argument") << QStringList{"korun", "x", "--enable-pro-mode"} << false;
    QTest::newRow("empty list") << QStringList{} << false;
}

void TestWindowLayout::proModeFromCommandLine()
{
    QFETCH(QStringList, arguments);
    QFETCH(bool, proMode);
    QCOMPARE(proModeRequested(arguments), proMode);
}

void TestWindowLayout::initialState()
{
    MainWindow window(false);
    QCOMPARE(window.objectName(), QStringLiteral("MainWindow"));
    QCOMPARE(window.windowTitle(), QStringLiteral("Korun frontend"));
    QCOMPARE(child<QLineEdit>(window, "portEdit")->text(), QStringLiteral("COM1"));
    QCOMPARE(child<QComboBox>(window, "mbAddressOffset")->currentText(), QStringLiteral("0"));
    QVERIFY(child<QRadioButton>(window, "addrSw0Top")->isChecked());
    QVERIFY(!child<QRadioButton>(window, "addrSw0Left")->isChecked());
    QVERIFY(!child<QCheckBox>(window, "autoUpdateCheck")->isChecked());

    auto *period = child<QDoubleSpinBox>(window, "autoUpdatePeriod");
    QCOMPARE(period->text(), QStringLiteral("0.50"));
    period->setValue(0.001);
    QCOMPARE(period->value(), 0.01);

    for (const QLineEdit *edit : window.findChildren<QLineEdit *>()) {
        if (edit->objectName() != QLatin1String("portEdit") && !qobject_cast<QAbstractSpinBox *>(edit->parent()))
            QVERIFY2(edit->text().isEmpty(), qPrintable(edit->objectName()));
    }
}

// Each on-board pair's label names its own junctions.
void TestWindowLayout::referenceLabelsNameTheirJunctions()
{
    MainWindow window(false);
    QCOMPARE(child<QLabel>(window, "label_5")->text(), QStringLiteral("XT1,XT2:"));
    QCOMPARE(child<QLabel>(window, "label_6")->text(), QStringLiteral("XT3,XT4:"));
}

void TestWindowLayout::fieldsAreReadOnlyExceptThePort()
{
    MainWindow window(true);
    const QList<QLineEdit *> edits = window.findChildren<QLineEdit *>(QString(), Qt::FindChildrenRecursively);
    int measurementFields = 0;
    for (const QLineEdit *edit : edits) {
        if (qobject_cast<QAbstractSpinBox *>(edit->parent()) || qobject_cast<QComboBox *>(edit->parent()))
            continue;
        const bool port = edit->objectName() == QLatin1String("portEdit");
        QCOMPARE(edit->isReadOnly(), !port);
        QCOMPARE(edit->alignment(), Qt::AlignCenter);
        QCOMPARE(edit->sizePolicy().horizontalPolicy(), QSizePolicy::Minimum);
        QCOMPARE(edit->sizePolicy().verticalPolicy(), QSizePolicy::Fixed);
        measurementFields += port ? 0 : 1;
    }
    QCOMPARE(measurementFields, 2 + 4 * 5);
}

void TestWindowLayout::comboContents()
{
    MainWindow window(false);
    QCOMPARE(comboItems(child<QComboBox>(window, "mbAddressOffset")),
             QString("0123456789ABCDEF").split(QString(), Qt::SkipEmptyParts));
    for (int n = 1; n <= 4; ++n) {
        const auto *sensor = window.findChild<QComboBox *>(QStringLiteral("ch%1SensorCombo").arg(n));
        const auto *connection = window.findChild<QComboBox *>(QStringLiteral("ch%1ConnectionTypeCombo").arg(n));
        QCOMPARE(sensor->count(), 27);
        QCOMPARE(sensor->itemText(0), QStringLiteral("NO_SENSOR"));
        QCOMPARE(sensor->itemText(7), QStringLiteral("TC_K"));
        QCOMPARE(sensor->itemText(20), QStringLiteral("TR_100Pt"));
        QCOMPARE(sensor->itemText(26), QStringLiteral("RESISTANCE"));
        QCOMPARE(sensor->currentIndex(), 0);
        QVERIFY(!sensor->itemData(0).isValid());
        QCOMPARE(comboItems(connection), QStringList({"RESISTIVE_2_WIRE", "RESISTIVE_3_WIRE", "RESISTIVE_4_WIRE"}));
        QCOMPARE(connection->currentIndex(), 0);
    }
}

void TestWindowLayout::proModeVisibility_data()
{
    QTest::addColumn<bool>("proMode");
    QTest::newRow("normal") << false;
    QTest::newRow("pro") << true;
}

void TestWindowLayout::proModeVisibility()
{
    QFETCH(bool, proMode);
    MainWindow window(proMode);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    const QStringList proOnly = proModeNames();
    QCOMPARE(proOnly.size(), 34);
    for (const QString &name : proOnly) {
        const QWidget *widget = window.findChild<QWidget *>(name);
        QVERIFY2(widget, qPrintable(name));
        QVERIFY2(widget->isVisible() == proMode, qPrintable(name));
    }
    for (const char *name : {"ch1Temp", "ch4Temp", "ch2SensorCombo", "ch3ConnectionTypeCombo", "label_8",
                             "label_3", "label_4", "portEdit", "readBtn", "storeBtn", "autoUpdatePeriod"})
        QVERIFY2(window.findChild<QWidget *>(QLatin1String(name))->isVisible(), name);
}

void TestWindowLayout::channelGridsAndFocusOrder()
{
    MainWindow window(true);
    auto *grid1 = child<QGridLayout>(window, "gridLayout");
    auto *grid2 = child<QGridLayout>(window, "gridLayout_2");
    int row, column, rowSpan, columnSpan;
    // Channel 1 leaves grid row 0 empty; the others start at row 0.
    grid1->getItemPosition(grid1->indexOf(child<QWidget>(window, "ch1SensorCombo")), &row, &column, &rowSpan, &columnSpan);
    QCOMPARE(QPoint(column, row), QPoint(1, 1));
    grid2->getItemPosition(grid2->indexOf(child<QWidget>(window, "ch2Gain")), &row, &column, &rowSpan, &columnSpan);
    QCOMPARE(QPoint(column, row), QPoint(3, 2));

    // The focus chain follows the order in which the channel widgets were created.
    QStringList focusOrder;
    const QWidget *start = child<QWidget>(window, "groupBox");
    for (QWidget *w = start->nextInFocusChain(); w != start && focusOrder.size() < 7; w = w->nextInFocusChain()) {
        if (w->objectName().startsWith(QLatin1String("ch1")))
            focusOrder << w->objectName();
    }
    QCOMPARE(focusOrder, QStringList({"ch1Temp", "ch1Gain", "ch1STemp", "ch1ConnectionTypeCombo",
                                      "ch1PhysicValue", "ch1ADC", "ch1SensorCombo"}));
}

void TestWindowLayout::opensAtLayoutMinimum_data()
{
    proModeVisibility_data();
}

void TestWindowLayout::opensAtLayoutMinimum()
{
    QFETCH(bool, proMode);
    MainWindow window(proMode);
    QCOMPARE(window.size(), QSize(654, 735));
    window.resize(100, 100);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QCOMPARE(window.size(), window.minimumSizeHint());
    QVERIFY(window.width() > 100 && window.height() > 100);
}

QTEST_MAIN(TestWindowLayout)
#include "tst_window_layout.moc"
