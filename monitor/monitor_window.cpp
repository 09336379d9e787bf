#include "monitor_window.h"

#include "line_scan.h"
#include "link_settings.h"
#include "traffic_view.h"
#include "trend_plot.h"

#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSplitter>
#include <QStandardItemModel>
#include <QStatusBar>
#include <QTabWidget>
#include <QTableView>

#include <cmath>

namespace {

constexpr int maxModules = 16;

QString selectorList(const QVector<int> &selectors)
{
    QStringList digits;
    for (int selector : selectors)
        digits << QString::number(selector, 16).toUpper();
    return digits.join(QLatin1Char(','));
}

// "0,3,7" -> {0, 3, 7}; empty on anything else.
QVector<int> parseSelectors(const QString &text)
{
    QVector<int> selectors;
    for (const QString &digit : text.split(QLatin1Char(','), Qt::SkipEmptyParts)) {
        bool ok = false;
        const int selector = digit.trimmed().toInt(&ok, 16);
        if (!ok || digit.trimmed().size() != 1 || selectors.contains(selector))
            return {};
        selectors << selector;
    }
    return selectors;
}

} // namespace

MonitorWindow::MonitorWindow(const MonitorSettings &settings, QWidget *parent)
    : QMainWindow(parent)
    , proxy(this)
    , history(4 * maxModules)
{
    setWindowTitle(QStringLiteral("Korun monitor"));
    auto *table = new QTableView;
    table->setModel(&model);
    table->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    table->horizontalHeader()->setStretchLastSection(true);
    table->verticalHeader()->hide();

    auto *tabs = new QTabWidget;
    tabs->addTab(buildTrendTab(), QStringLiteral("Trend"));
    alarms = new QListWidget;
    tabs->addTab(alarms, QStringLiteral("Alarms"));
    tabs->addTab(new TrafficView, QStringLiteral("Traffic"));

    auto *splitter = new QSplitter(Qt::Vertical);
    splitter->addWidget(table);
    splitter->addWidget(tabs);
    splitter->setSizes({420, 560});
    auto *central = new QWidget;
    auto *layout = new QVBoxLayout(central);
    layout->addWidget(buildConnectionRow());
    layout->addWidget(splitter, 1);
    setCentralWidget(central);

    timing = settings.timing;
    lineHealthLabel = new QLabel;
    statusBar()->addPermanentWidget(lineHealthLabel);
    portEdit->setText(settings.port);
    addressEdit->setText(selectorList(settings.selectors));
    periodSpin->setValue(settings.periodSeconds);
    model.setModules(settings.selectors);
    connect(&model, &LiveTableModel::alarmChanged, this, &MonitorWindow::onAlarm);
    connect(&model, &LiveTableModel::moduleAlarmChanged, this, &MonitorWindow::onModuleAlarm);
    connect(&model, &LiveTableModel::plottedRowsChanged, this, &MonitorWindow::updatePlotChannels);
    connect(&ages, &QTimer::timeout, &model, &LiveTableModel::refreshAges);
    connect(plot, &TrendPlot::visibleRangeChanged, this, &MonitorWindow::updateStatistics);
    ages.start(1000);
    updatePlotChannels();
    resize(1200, 1000);
}

MonitorWindow::~MonitorWindow() = default;

QWidget *MonitorWindow::buildConnectionRow()
{
    auto *row = new QWidget;
    auto *layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 0);
    portEdit = new QLineEdit;
    addressEdit = new QLineEdit;
    addressEdit->setPlaceholderText(QStringLiteral("0,3,7"));
    periodSpin = new QDoubleSpinBox;
    periodSpin->setRange(0.05, 3600);
    periodSpin->setSuffix(QStringLiteral(" s"));
    startButton = new QPushButton(QStringLiteral("Start"));
    scanButton = new QPushButton(QStringLiteral("Scan"));
    recordButton = new QPushButton(QStringLiteral("Record…"));
    recordingLabel = new QLabel(QStringLiteral("Not recording"));
    for (QWidget *widget : std::initializer_list<QWidget *>{new QLabel(QStringLiteral("Port:")), portEdit,
                                                            new QLabel(QStringLiteral("Modules:")), addressEdit,
                                                            scanButton, new QLabel(QStringLiteral("Period:")),
                                                            periodSpin, startButton, recordButton, recordingLabel})
        layout->addWidget(widget);
    layout->addStretch();
    connect(startButton, &QPushButton::clicked, this, &MonitorWindow::toggle);
    connect(scanButton, &QPushButton::clicked, this, &MonitorWindow::scanLine);
    connect(recordButton, &QPushButton::clicked, this, &MonitorWindow::toggleRecording);
    return row;
}

QWidget *MonitorWindow::buildTrendTab()
{
    auto *tab = new QWidget;
    auto *layout = new QVBoxLayout(tab);
    auto *spanRow = new QHBoxLayout;
    auto *span = new QComboBox;
    const std::pair<const char *, int> spans[] = {{"1 min", 60},    {"10 min", 600},   {"1 h", 3600},
                                                  {"6 h", 6 * 3600}, {"24 h", 24 * 3600}};
    for (const auto &[name, seconds] : spans)
        span->addItem(QString::fromLatin1(name), seconds);
    span->setCurrentIndex(1);
    spanRow->addWidget(new QLabel(QStringLiteral("Span:")));
    spanRow->addWidget(span);
    spanRow->addWidget(new QLabel(QStringLiteral("drag to zoom, right click to zoom out, middle button to pan")));
    spanRow->addStretch();
    layout->addLayout(spanRow);
    plot = new TrendPlot(history);
    plot->setSpanSeconds(600);
    connect(span, QOverload<int>::of(&QComboBox::currentIndexChanged), this,
            [this, span] { plot->setSpanSeconds(span->currentData().toInt()); });
    statistics = new QStandardItemModel(0, 6, this);
    statistics->setHorizontalHeaderLabels({"Channel", "Minimum °C", "Maximum °C", "Mean °C", "Std. dev. °C",
                                           "Rate °C/min"});
    auto *statisticsView = new QTableView;
    statisticsView->setModel(statistics);
    statisticsView->verticalHeader()->hide();
    statisticsView->horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);
    statisticsView->setMaximumHeight(150);
    auto *split = new QSplitter(Qt::Vertical);
    split->addWidget(plot);
    split->addWidget(statisticsView);
    split->setStretchFactor(0, 1);
    layout->addWidget(split, 1);
    return tab;
}

void MonitorWindow::toggle()
{
    if (poller && poller->isRunning())
        stopPolling();
    else
        startPolling();
}

bool MonitorWindow::startPolling()
{
    const QVector<int> selectors = parseSelectors(addressEdit->text());
    if (selectors.isEmpty()) {
        statusBar()->showMessage(QStringLiteral("Modules: address-switch digits 0..F separated by commas, e.g. 0,3,7"));
        return false;
    }
    if (proxy.isConnected())
        proxy.disconnectDevice();
    configureLink(proxy, portEdit->text(), selectors.first());
    proxy.setTimeout(timing.timeoutMs);
    proxy.setNumberOfRetries(timing.retries);
    proxy.connectDevice();
    if (!proxy.isConnected()) {
        statusBar()->showMessage(QStringLiteral("Cannot open %1: %2").arg(portEdit->text(), proxy.errorString()));
        return false;
    }
    if (!proxy.adapterLatencyAdvice().isEmpty())
        emit reported(proxy.adapterLatencyAdvice());
    model.setModules(selectors);
    poller = std::make_unique<LinePoller>(proxy, selectors);
    connect(poller.get(), &LinePoller::swept, this, &MonitorWindow::onSwept);
    connect(poller.get(), &LinePoller::stopped, this, [this] {
        startButton->setText(QStringLiteral("Start"));
        scanButton->setEnabled(true);
        if (quitWhenStopped) {
            stopRecording(QString());
            qApp->quit();
        }
    });
    poller->start(periodSpin->value());
    startButton->setText(QStringLiteral("Stop"));
    scanButton->setEnabled(false);
    statusBar()->showMessage(QStringLiteral("Polling %1 module(s) on %2").arg(selectors.size()).arg(portEdit->text()));
    return true;
}

void MonitorWindow::stopPolling()
{
    if (poller)
        poller->stop();
}

void MonitorWindow::scanLine()
{
    configureLink(proxy, portEdit->text(), 0);
    if (!proxy.isConnected() && !proxy.connectDevice()) {
        statusBar()->showMessage(QStringLiteral("Cannot open %1: %2").arg(portEdit->text(), proxy.errorString()));
        return;
    }
    scanButton->setEnabled(false);
    QVector<int> found;
    for (const FoundModule &module : ::scanLine(proxy))
        found << module.selector;
    scanButton->setEnabled(true);
    statusBar()->showMessage(found.isEmpty() ? QStringLiteral("No module answered")
                                             : QStringLiteral("Found %1 module(s)").arg(found.size()));
    if (!found.isEmpty())
        addressEdit->setText(selectorList(found));
}

void MonitorWindow::onSwept(const QVector<SweepRow> &rows)
{
    for (int module = 0; module < rows.size(); ++module) {
        const SweepRow &row = rows[module];
        model.update(module, row, poller->line().health(module));
        if (row.asked) {
            const qint64 at = row.snapshot.time.toMSecsSinceEpoch();
            for (int channel = 0; channel < 4; ++channel)
                history.append(module * 4 + channel, at, row.snapshot.temperatures[channel].value_or(NAN));
        }
        if (recorder.isOpen() && !recorder.write(row)) {
            recordingLost = true;
            const QString why = QStringLiteral("Recording to %1 stopped: %2").arg(recorder.path(), recorder.error());
            stopRecording(why);
            statusBar()->showMessage(why);
            emit reported(why);
        }
    }
    showLineHealth(rows);
    plot->refresh();
    updateStatistics();
}

// How the sweep fits the period, the slowest module, and a module that takes too much of it.
void MonitorWindow::showLineHealth(const QVector<SweepRow> &rows)
{
    const SweepRow *slowest = nullptr;
    for (const SweepRow &row : rows) {
        if (row.asked && (!slowest || row.responseMs > slowest->responseMs))
            slowest = &row;
        const QString warning = slowModules.note(row, double(poller->period()));
        if (!warning.isEmpty()) {
            statusBar()->showMessage(warning);
            emit reported(warning);
        }
    }
    QString text = QStringLiteral("Sweep %1 ms of %2 ms").arg(poller->lastSweepMs(), 0, 'f', 0).arg(poller->period());
    if (slowest && slowest->responseMs >= 0)
        text += QStringLiteral(" · slowest %1, response median %2 ms")
                    .arg(busAddressText(busAddress(slowest->selector)))
                    .arg(slowest->responseMs, 0, 'f', 1);
    lineHealthLabel->setText(text);
}

void MonitorWindow::onAlarm(int row, ChannelAlarm::Kind kind)
{
    const QString what = kind == ChannelAlarm::None ? QStringLiteral("cleared") : QString::fromLatin1(alarmText(kind));
    addAlarmEntry(model.rowName(row), QStringLiteral("%1 (%2)").arg(what, model.readingText(row)));
}

// One entry per module, whichever of its channels were shown.
void MonitorWindow::onModuleAlarm(int module, bool raised, const QString &failure)
{
    addAlarmEntry(model.moduleName(module), raised ? QStringLiteral("%1 (%2)").arg(QLatin1String(noAnswerText), failure)
                                                   : QStringLiteral("cleared (answers again)"));
}

void MonitorWindow::addAlarmEntry(const QString &subject, const QString &what)
{
    const QString time = QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
    const QString entry = QStringLiteral("%1  %2  %3").arg(time, subject, what);
    alarms->insertItem(0, entry);
    emit reported(QStringLiteral("alarm: ") + entry);
}

bool MonitorWindow::startRecording(const QString &path)
{
    QString error;
    if (!recorder.open(path, error)) {
        statusBar()->showMessage(error);
        return false;
    }
    recordingLabel->setText(QStringLiteral("Recording to %1").arg(path));
    recordButton->setText(QStringLiteral("Stop recording"));
    return true;
}

void MonitorWindow::stopRecording(const QString &why)
{
    if (!recorder.isOpen())
        return;
    recorder.close();
    recordingLabel->setText(why.isEmpty() ? QStringLiteral("Not recording") : why);
    recordButton->setText(QStringLiteral("Record…"));
}

void MonitorWindow::toggleRecording()
{
    if (recorder.isOpen()) {
        stopRecording(QString());
        return;
    }
    const QString path = QFileDialog::getSaveFileName(this, QStringLiteral("Record to"), QStringLiteral("line.csv"),
                                                      QStringLiteral("CSV (*.csv)"), nullptr,
                                                      QFileDialog::DontConfirmOverwrite);
    if (!path.isEmpty())
        startRecording(path);
}

void MonitorWindow::updatePlotChannels()
{
    const QVector<int> rows = model.plottedRows();
    QStringList names;
    for (int row : rows)
        names << model.rowName(row);
    plot->setChannels(rows, names);
    updateStatistics();
}

void MonitorWindow::updateStatistics()
{
    const auto [from, to] = plot->visibleRangeMs();
    const QVector<int> rows = model.plottedRows();
    statistics->setRowCount(rows.size());
    for (int i = 0; i < rows.size(); ++i) {
        const TrendHistory::Statistics s = history.statistics(rows[i], from, to);
        const double values[] = {s.minimum, s.maximum, s.mean, s.standardDeviation, s.ratePerMinute};
        statistics->setItem(i, 0, new QStandardItem(model.rowName(rows[i])));
        for (int column = 0; column < 5; ++column)
            statistics->setItem(i, column + 1,
                                new QStandardItem(std::isnan(values[column])
                                                      ? QString()
                                                      // + 0.0 turns a rounded -0 into 0
                                                      : QString::number(std::round(values[column] * 1000) / 1000 + 0.0,
                                                                        'f', 3)));
    }
}

void MonitorWindow::finishAndQuit()
{
    quitWhenStopped = true;
    if (poller && poller->isRunning()) {
        poller->stop();
        return;
    }
    stopRecording(QString());
    qApp->quit();
}

// The sweep under way finishes and the recording is closed before the window goes.
void MonitorWindow::closeEvent(QCloseEvent *event)
{
    event->ignore();
    finishAndQuit();
}
