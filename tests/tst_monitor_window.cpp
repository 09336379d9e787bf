// korun-monitor's window, in-process against the simulator: limits, channel file, alarms,
// the trend's cursor and exports.
#include "alarm_log.h"
#include "live_table_model.h"
#include "monitor_window.h"
#include "sim_line.h"
#include "trend_history.h"
#include "trend_plot.h"
#include "trend_tab.h"

#include <QAbstractProxyModel>
#include <QApplication>
#include <QFile>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSettings>
#include <QSignalSpy>
#include <QStatusBar>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeView>

class TestMonitorWindow : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void limitsAlarmAndChannelFileSurviveARestart();
    void silentModuleRaisesNoAnswerAndClears();
    void cursorAndExportsMatchTheHistory();
    void channelCheckJudgesTheLinesOwnRefreshes();

private:
    QTemporaryDir config;
};

namespace {

MonitorSettings settingsFor(const SimLine &line, const QVector<int> &selectors)
{
    MonitorSettings settings;
    settings.port = line.portName();
    settings.selectors = selectors;
    settings.periodSeconds = 0.1;
    settings.timing.timeoutMs = 150;
    settings.timing.retries = 0;
    return settings;
}

// Types into the limit cell of a channel through the table's own editor, then Enter.
QLineEdit *typeLimit(MonitorWindow &window, int channel, int column, const QString &text)
{
    auto *view = window.findChild<QTreeView *>("liveTable");
    auto *proxy = qobject_cast<QAbstractProxyModel *>(view->model());
    const QModelIndex cell = proxy->mapFromSource(window.liveModel().channelIndex(channel, column));
    view->setCurrentIndex(cell);
    view->edit(cell);
    auto *editor = qobject_cast<QLineEdit *>(view->indexWidget(cell));
    if (!editor)
        return nullptr;
    editor->selectAll();
    QTest::keyClicks(editor, text);
    QTest::keyClick(editor, Qt::Key_Return);
    QApplication::processEvents();
    return qobject_cast<QLineEdit *>(view->indexWidget(cell));
}

QString alarmCell(MonitorWindow &window, int row, int column)
{
    return window.alarmLog().index(row, column).data().toString();
}

} // namespace

void TestMonitorWindow::initTestCase()
{
    qputenv("XDG_CONFIG_HOME", config.path().toUtf8());
    QCoreApplication::setOrganizationName("Korun");
    QCoreApplication::setApplicationName("korun-monitor-test");
}

// A limit typed badly is refused with a word; good ones raise and clear a high alarm with
// both times in the table; saved to the channel file, they come back in a new window.
void TestMonitorWindow::limitsAlarmAndChannelFileSurviveARestart()
{
    SimLine line;
    QVERIFY(line.start({"--address", "3", "--channel", "1=TC_K@300"}));
    QTemporaryDir dir;
    const QString path = dir.filePath("channels.json");
    MonitorSettings settings = settingsFor(line, {3});
    QString error;
    QVERIFY(settings.channels.parse(R"({"format": "korun-channels/1",
        "channels": [{"module": "3", "channel": 1, "tag": "Furnace zone 1"}]})", error));
    settings.channelsPath = path;
    auto window = std::make_unique<MonitorWindow>(settings);
    window->show();
    QVERIFY(window->startPolling());
    QTRY_VERIFY(window->liveModel().channelIndex(0, LiveTableModel::Temperature).data().toString().startsWith("300.0"));
    QVERIFY(window->windowTitle().contains(line.portName()));

    // Every message, since a warning of the line may follow at once.
    QSignalSpy messages(window->statusBar(), &QStatusBar::messageChanged);
    const auto said = [&](const QString &text) {
        return std::any_of(messages.begin(), messages.end(), [&](const QList<QVariant> &m) { return m[0].toString().contains(text); });
    };
    QVERIFY(typeLimit(*window, 0, LiveTableModel::HighLimit, "25O")); // the editor stays open
    QVERIFY(said("not a temperature"));
    QVERIFY(window->liveModel().channelIndex(0, LiveTableModel::HighLimit).data().toString().isEmpty());
    QVERIFY(!typeLimit(*window, 0, LiveTableModel::HighLimit, "250,5"));
    QVERIFY(typeLimit(*window, 0, LiveTableModel::LowLimit, "260"));
    QVERIFY(said("must be below the high limit 250.5"));
    QVERIFY(!typeLimit(*window, 0, LiveTableModel::LowLimit, "10"));
    QVERIFY(window->windowTitle().contains("channels not saved"));

    const auto *tabs = window->findChild<QTabWidget *>();
    QTRY_COMPARE(alarmCell(*window, 0, AlarmLog::Kind), QString("High alarm"));
    QCOMPARE(alarmCell(*window, 0, AlarmLog::Tag), QString("Furnace zone 1"));
    QCOMPARE(alarmCell(*window, 0, AlarmLog::Limit), QString("250.5"));
    QVERIFY(alarmCell(*window, 0, AlarmLog::Cleared).isEmpty());
    QCOMPARE(tabs->tabText(1), QString("Alarms (1)"));
    QVERIFY(line.command("temp 1 200"));
    QTRY_VERIFY(!alarmCell(*window, 0, AlarmLog::Cleared).isEmpty());
    QVERIFY(!alarmCell(*window, 0, AlarmLog::Raised).isEmpty());
    QCOMPARE(tabs->tabText(1), QString("Alarms"));
    const auto button = [&](const QString &text) {
        for (QPushButton *b : window->findChildren<QPushButton *>())
            if (b->text() == text)
                return b;
        return static_cast<QPushButton *>(nullptr);
    };
    button("Acknowledge")->click(); // nothing selected: all
    QVERIFY(!alarmCell(*window, 0, AlarmLog::Acknowledged).isEmpty());
    QVERIFY(window->alarmLog().saveCsv(dir.filePath("alarms.csv"), error));
    QFile alarms(dir.filePath("alarms.csv"));
    QVERIFY(alarms.open(QIODevice::ReadOnly) && alarms.readAll().split('\n')[1].contains(",0xB3,1,Furnace zone 1,High alarm,"));
    button("Clear cleared")->click();
    QCOMPARE(window->alarmLog().rowCount(), 0);

    QVERIFY(!QFile::exists(path)); // never written behind the user's back
    window->findChild<QPushButton *>("saveChannels")->click();
    QVERIFY(!window->windowTitle().contains("channels not saved"));
    window.reset();
    MonitorSettings again = settingsFor(line, {3});
    QVERIFY2(again.channels.read(path, error), qPrintable(error));
    again.channelsPath = path;
    MonitorWindow restarted(again);
    const LiveTableModel &model = restarted.liveModel();
    QCOMPARE(model.channelIndex(0, LiveTableModel::Tag).data().toString(), QString("Furnace zone 1"));
    QCOMPARE(model.channelIndex(0, LiveTableModel::LowLimit).data().toString(), QString("10.0"));
    QCOMPARE(model.channelIndex(0, LiveTableModel::HighLimit).data().toString(), QString("250.5"));
}

// Module 7 of two goes silent: "No answer" raised for it alone, its readings no longer
// shown as current; cleared once it answers.
void TestMonitorWindow::silentModuleRaisesNoAnswerAndClears()
{
    SimLine line;
    QVERIFY(line.start({"--address", "3,7", "--channel", "1=TC_K@300"}));
    MonitorWindow window(settingsFor(line, {3, 7}));
    QVERIFY(window.startPolling());
    const QModelIndex temperature = window.liveModel().channelIndex(4, LiveTableModel::Temperature);
    QTRY_VERIFY(temperature.data().toString().startsWith("300.0"));
    QVERIFY(line.command("module 7 fault silent"));
    QTRY_COMPARE(alarmCell(window, 0, AlarmLog::Kind), QString("No answer"));
    QCOMPARE(alarmCell(window, 0, AlarmLog::Module), QString("0xB7"));
    QCOMPARE(window.alarmLog().rowCount(), 1);
    QVERIFY(temperature.data().toString().isEmpty());
    QVERIFY(window.liveModel().index(1, 0).data().toString().contains("No answer"));
    QVERIFY(line.command("module 7 fault none"));
    QTRY_VERIFY(!alarmCell(window, 0, AlarmLog::Cleared).isEmpty());
    QTRY_VERIFY(temperature.data().toString().startsWith("300.0"));

    // Without a channel file, what the user set is there again in the next window.
    LiveTableModel &model = window.liveModel();
    QVERIFY(model.setData(model.channelIndex(5, LiveTableModel::Tag), "Kiln top", Qt::EditRole));
    QVERIFY(model.setData(model.channelIndex(5, LiveTableModel::Trend), Qt::Checked, Qt::CheckStateRole));
    MonitorWindow next(settingsFor(line, {3, 7}));
    QCOMPARE(next.liveModel().channelIndex(5, LiveTableModel::Tag).data().toString(), QString("Kiln top"));
    QCOMPARE(next.liveModel().plottedChannels(), model.plottedChannels());
}

// The cursor reads what the history holds; the CSV export holds the history's readings of
// the visible span; the images are drawn.
void TestMonitorWindow::cursorAndExportsMatchTheHistory()
{
    SimLine line;
    QVERIFY(line.start({"--address", "3", "--channel", "1=TC_K@300", "--channel", "2=TR_100Pt@20", "--noise", "2"}));
    QSettings().remove("trend");
    MonitorWindow window(settingsFor(line, {3}));
    window.resize(1366, 768);
    window.show();
    QVERIFY(window.startPolling());
    LiveTableModel &model = window.liveModel();
    QTRY_COMPARE(model.plottedChannels(), QVector<int>{0}); // the first channel with a sensor
    QVERIFY(model.setData(model.channelIndex(1, LiveTableModel::Trend), Qt::Checked, Qt::CheckStateRole));
    const TrendHistory &history = window.trendHistory();
    QTRY_VERIFY(history.readings(1, 0, QDateTime::currentMSecsSinceEpoch()).size() >= 10);
    line.stop(); // a failed sweep or two, drawn as a gap
    QTest::qWait(150);
    QPushButton *stop = nullptr;
    for (QPushButton *button : window.findChildren<QPushButton *>())
        if (button->text() == "Stop")
            stop = button;
    stop->click();
    QTRY_COMPARE(stop->text(), QString("Start"));
    window.trendTab()->setSpanSeconds(60);

    TrendPlot *plot = window.findChild<TrendPlot *>("trendPlot");
    const auto span = plot->visibleRangeMs();
    const auto readings = history.readings(1, span.first, span.second);
    const qint64 at = readings[readings.size() / 2].first;
    const QPoint pixel(plot->canvasMap(QwtPlot::xBottom).transform(double(at)), plot->canvas()->height() / 2);
    QTest::mouseMove(plot->canvas(), pixel);
    QTRY_VERIFY(!plot->lastCursorText().isEmpty());
    const QStringList shown = plot->lastCursorText().split('\n');
    QCOMPARE(shown.size(), 3);
    for (int channel = 0; channel < 2; ++channel) {
        QVERIFY(qAbs(plot->lastCursorMs() - at) <= 200); // within a pixel or two
        const auto near = plot->readingsAt(plot->lastCursorMs());
        const auto held = history.readings(channel, near[channel].msecs, near[channel].msecs);
        QCOMPARE(held.size(), 1);
        QVERIFY2(shown[channel + 1].endsWith(QString::number(double(held[0].second), 'f', 2) + " °C"),
                 qPrintable(shown[channel + 1]));
    }

    QTemporaryDir dir;
    QString error;
    QVERIFY(window.trendTab()->exportCsv(dir.filePath("span.csv"), error));
    QFile csv(dir.filePath("span.csv"));
    QVERIFY(csv.open(QIODevice::ReadOnly));
    const QStringList rows = QString::fromUtf8(csv.readAll()).split('\n', Qt::SkipEmptyParts);
    QCOMPARE(rows[0], QString("time_utc,module,ch1_temperature_C,ch2_temperature_C"));
    QCOMPARE(rows.size() - 1, readings.size());
    for (int i = 0; i < readings.size(); ++i) {
        const QStringList cells = rows[i + 1].split(',');
        QCOMPARE(QDateTime::fromString(cells[0], Qt::ISODateWithMs).toMSecsSinceEpoch(), readings[i].first);
        QCOMPARE(cells[1], QString("3"));
        QCOMPARE(cells[3], std::isnan(readings[i].second) ? QString() : QString::number(double(readings[i].second), 'f', 6));
    }

    QVERIFY(plot->saveImage(dir.filePath("trend.png")));
    QCOMPARE(QImage(dir.filePath("trend.png")).size(), QSize(1600, 900));
    QVERIFY(plot->saveImage(dir.filePath("trend.svg")));
    QFile svg(dir.filePath("trend.svg"));
    QVERIFY(svg.open(QIODevice::ReadOnly));
    QVERIFY(svg.readAll().contains("0xB3 ch2"));
}

// "Check channel…" reads the refreshes the monitor makes anyway, with korun-check's rules.
void TestMonitorWindow::channelCheckJudgesTheLinesOwnRefreshes()
{
    SimLine line;
    QVERIFY(line.start({"--address", "3", "--channel", "1=TC_K@300"}));
    MonitorSettings settings = settingsFor(line, {3});
    settings.timing = defaultLinkTiming; // a slow machine must not cost the check its readings
    MonitorWindow window(settings);
    QSignalSpy reported(&window, &MonitorWindow::reported);
    // The check's last word (other reports, such as a slow refresh, may come between).
    const auto verdict = [&] {
        for (int i = reported.size() - 1; i >= 0; --i) {
            const QString text = reported.at(i).value(0).toString();
            if (text.startsWith("check:   verdict") || text.startsWith("Cannot check"))
                return text;
        }
        return QString();
    };
    CheckPoint point;
    point.expected = 300;
    point.className = "1";
    QVERIFY(!window.checkChannel(0, point, 3)); // nothing read yet
    QVERIFY(window.startPolling());
    QTRY_VERIFY(window.liveModel().channelIndex(0, LiveTableModel::Temperature).data().toString().startsWith("300.0"));

    const int requests = line.requests().size();
    QVERIFY(window.checkChannel(0, point, 3));
    QVERIFY(!window.checkChannel(0, point, 3)); // one at a time
    QTRY_COMPARE(verdict(), QString("check:   verdict    PASS"));
    const QStringList said = [&] { QStringList all; for (const auto &r : reported) all << r.value(0).toString(); return all; }();
    QVERIFY2(said.contains("check:   mean       300.014 °C (3 readings)"), qPrintable(said.join('\n')));
    QVERIFY(line.requests().size() - requests <= 9 * 6); // the line's own refreshes, none added

    point.className.clear();
    point.expected = 301.5;
    point.tolerance = 1.0;
    QVERIFY(window.checkChannel(0, point, 3));
    QTRY_COMPARE(verdict(), QString("check:   verdict    FAIL"));

    point.tolerance.reset();
    point.className = "AA"; // a platinum class on a thermocouple
    QVERIFY(!window.checkChannel(0, point, 3));
    QVERIFY2(verdict().startsWith("Cannot check 0xB3 ch1"), qPrintable(verdict()));

    // The line's health speaks of sweeps under way only.
    auto *health = window.findChild<QLabel *>("lineHealth");
    QVERIFY2(health->text().startsWith("Sweep "), qPrintable(health->text()));
    window.lineSource()->stop();
    QTRY_VERIFY(health->text().isEmpty());
}

QTEST_MAIN(TestMonitorWindow)
#include "tst_monitor_window.moc"
