#include "monitor_window.h"

#include "alarm_tab.h"
#include "channel_tree.h"
#include "line_scan.h"
#include "refresh_period.h"
#include "monitor_store.h"
#include "traffic_view.h"
#include "trend_plot.h"
#include "trend_tab.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDoubleSpinBox>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSettings>
#include <QSplitter>
#include <QStatusBar>
#include <QTabWidget>

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
    : QMainWindow(parent), proxy(this), timing(settings.timing), channelsPath(settings.channelsPath),
      history(4 * maxModules)
{
    broker = settings.broker;
    model.setChannelFile(channelsPath.isEmpty() ? MonitorStore::channels() : settings.channels);
    trendChosen = MonitorStore::hasTrendChannels();
    tabs = new QTabWidget;
    trend = new TrendTab(history);
    tabs->addTab(trend, QStringLiteral("Trend"));
    auto *alarmTab = new AlarmTab(alarms);
    tabs->addTab(alarmTab, QStringLiteral("Alarms"));
    connect(alarmTab, &AlarmTab::message, statusBar(), [this](const QString &text) { statusBar()->showMessage(text); });
    connect(&alarms, &AlarmLog::activeCountChanged, this, [this](int count) {
        tabs->setTabText(1, count ? QStringLiteral("Alarms (%1)").arg(count) : QStringLiteral("Alarms"));
    });
    tabs->addTab(new TrafficView, QStringLiteral("Traffic"));

    splitter = new QSplitter(Qt::Vertical);
    auto *tree = new ChannelTree(model);
    connect(tree, &ChannelTree::problem, this, [this](const QString &why) {
        if (why.isEmpty())
            statusBar()->clearMessage();
        else
            statusBar()->showMessage(why);
    });
    connect(tree, &ChannelTree::checkRequested, this, &MonitorWindow::askForChannelCheck);
    connect(&channelCheck, &ChannelCheck::finished, this, &MonitorWindow::showCheckResult);
    splitter->addWidget(tree);
    splitter->addWidget(tabs);
    splitter->setSizes({300, 400});
    auto *central = new QWidget;
    auto *layout = new QVBoxLayout(central);
    layout->setContentsMargins(4, 4, 4, 0);
    layout->addWidget(buildConnectionRow());
    layout->addWidget(splitter, 1);
    setCentralWidget(central);

    lineHealthLabel = new QLabel;
    lineHealthLabel->setObjectName(QStringLiteral("lineHealth"));
    statusBar()->addPermanentWidget(lineHealthLabel);
    portEdit->setText(settings.port);
    addressEdit->setText(selectorList(settings.selectors));
    periodSpin->setValue(settings.periodSeconds);
    connect(&model, &LiveTableModel::alarmChanged, this, &MonitorWindow::onAlarm);
    connect(&model, &LiveTableModel::moduleAlarmChanged, this, &MonitorWindow::onModuleAlarm);
    connect(&model, &LiveTableModel::plottedChannelsChanged, this, &MonitorWindow::updateTrendChannels);
    connect(&model, &LiveTableModel::channelSettingsChanged, this, &MonitorWindow::onChannelSettingsChanged);
    connect(&model, &LiveTableModel::refused, statusBar(), [this](const QString &why) { statusBar()->showMessage(why); });
    connect(&ages, &QTimer::timeout, &model, &LiveTableModel::refreshAges);
    connect(trend, &TrendTab::spanChanged, this, &MonitorStore::setSpanSeconds);
    connect(trend, &TrendTab::message, statusBar(), [this](const QString &text) { statusBar()->showMessage(text); });
    setModules(settings.selectors);
    trend->setSpanSeconds(MonitorStore::spanSeconds(600));
    ages.start(1000);

    // Fits a 1366x768 laptop; then as the user left it.
    if (isViewer())
        becomeViewer();
    resize(1340, 700);
    QSettings stored;
    restoreGeometry(stored.value(QStringLiteral("window/geometry")).toByteArray());
    splitter->restoreState(stored.value(QStringLiteral("window/splitter")).toByteArray());
    updateTitle();
}

// The views go before the models and the history they show.
MonitorWindow::~MonitorWindow()
{
    delete takeCentralWidget();
}

QWidget *MonitorWindow::buildConnectionRow()
{
    auto *row = new QWidget;
    auto *layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 0);
    portEdit = new QLineEdit;
    addressEdit = new QLineEdit;
    addressEdit->setPlaceholderText(QStringLiteral("0,3,7"));
    periodSpin = new QDoubleSpinBox;
    periodSpin->setRange(RefreshPeriod::minSeconds, RefreshPeriod::maxSeconds);
    periodSpin->setSuffix(QStringLiteral(" s"));
    startButton = new QPushButton(QStringLiteral("Start"));
    scanButton = new QPushButton(QStringLiteral("Scan"));
    recordButton = new QPushButton(QStringLiteral("Record…"));
    recordingLabel = new QLabel(QStringLiteral("Not recording"));
    saveChannelsButton = new QPushButton(channelsPath.isEmpty() ? QStringLiteral("Save channels as…")
                                                                : QStringLiteral("Save channels"));
    saveChannelsButton->setObjectName(QStringLiteral("saveChannels"));
    saveChannelsButton->setToolTip(channelsPath.isEmpty()
                                       ? QStringLiteral("Tags, limits and hidden marks are kept for the next run; "
                                                        "this writes them to a channel file for korun-log too")
                                       : QStringLiteral("Writes the tags, limits and hidden marks to %1").arg(channelsPath));
    for (QWidget *widget : std::initializer_list<QWidget *>{new QLabel(QStringLiteral("Port:")), portEdit,
                                                            new QLabel(QStringLiteral("Modules:")), addressEdit,
                                                            scanButton, new QLabel(QStringLiteral("Period:")),
                                                            periodSpin, startButton, recordButton, recordingLabel})
        layout->addWidget(widget);
    layout->addStretch();
    layout->addWidget(saveChannelsButton);
    connect(startButton, &QPushButton::clicked, this, &MonitorWindow::toggle);
    connect(scanButton, &QPushButton::clicked, this, &MonitorWindow::scanLine);
    connect(recordButton, &QPushButton::clicked, this, &MonitorWindow::toggleRecording);
    connect(saveChannelsButton, &QPushButton::clicked, this, [this] {
        if (!channelsPath.isEmpty()) {
            saveChannels();
            return;
        }
        const QString path = QFileDialog::getSaveFileName(this, QStringLiteral("Save the channels to"),
                                                          QStringLiteral("channels.json"), QStringLiteral("JSON (*.json)"));
        if (!path.isEmpty())
            saveChannels(path);
    });
    return row;
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
    if (model.moduleCount() != selectors.size() || poller) {
        setModules(selectors);
    }
    auto *serial = new LinePoller(proxy, selectors);
    poller.reset(serial);
    connect(poller.get(), &LinePoller::swept, this, &MonitorWindow::onSwept);
    connect(poller.get(), &LinePoller::stopped, this, [this] {
        startButton->setText(QStringLiteral("Start"));
        scanButton->setEnabled(true);
        lineHealthLabel->clear(); // the sweeps it spoke of have ended
        updateTitle();
        if (quitWhenStopped) {
            stopRecording(QString());
            qApp->quit();
        }
    });
    serial->start(periodSpin->value());
    startButton->setText(QStringLiteral("Stop"));
    scanButton->setEnabled(false);
    statusBar()->showMessage(QStringLiteral("Polling %1 module(s) on %2").arg(selectors.size()).arg(portEdit->text()));
    updateTitle();
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
    channelCheck.take(rows);
    for (const SweepRow &row : rows) {
        const int module = moduleOf(row.selector);
        if (module < 0)
            continue;
        model.update(module, row, poller->health(row.selector));
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
    chooseFirstTrendChannel();
    showLineHealth(rows);
    trend->refresh();
}

// How the sweep fits the period, the slowest module, and a module that takes too much of it.
void MonitorWindow::showLineHealth(const QVector<SweepRow> &rows)
{
    auto *serial = qobject_cast<LinePoller *>(poller.get());
    if (!serial) {
        lineHealthLabel->setText(poller->summary());
        return;
    }
    const SweepRow *slowest = nullptr;
    for (const SweepRow &row : rows) {
        if (row.asked && (!slowest || row.responseMs > slowest->responseMs))
            slowest = &row;
        const QString warning = slowModules.note(row, double(serial->period()));
        if (!warning.isEmpty()) {
            statusBar()->showMessage(warning);
            emit reported(warning);
        }
    }
    QString text = QStringLiteral("Sweep %1 ms of %2 ms").arg(serial->lastSweepMs(), 0, 'f', 0).arg(serial->period());
    if (slowest && slowest->responseMs >= 0)
        text += QStringLiteral(" · slowest %1, response median %2 ms")
                    .arg(busAddressText(busAddress(slowest->selector)))
                    .arg(slowest->responseMs, 0, 'f', 1);
    lineHealthLabel->setText(text);
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
    updateTitle();
    return true;
}

void MonitorWindow::stopRecording(const QString &why)
{
    if (!recorder.isOpen())
        return;
    recorder.close();
    recordingLabel->setText(why.isEmpty() ? QStringLiteral("Not recording") : why);
    recordButton->setText(QStringLiteral("Record…"));
    updateTitle();
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

// Without a channel file the settings are kept at once; a file is written only on request.
void MonitorWindow::onChannelSettingsChanged()
{
    if (channelsPath.isEmpty())
        MonitorStore::setChannels(model.channelFile());
    else
        channelsChanged = true;
    updateTitle();
}

bool MonitorWindow::saveChannels(const QString &path)
{
    const QString target = path.isEmpty() ? channelsPath : path;
    QString error;
    if (target.isEmpty() || !model.channelFile().write(target, error)) {
        statusBar()->showMessage(QStringLiteral("Channels not saved: %1").arg(target.isEmpty() ? QStringLiteral("no file") : error));
        return false;
    }
    if (target == channelsPath)
        channelsChanged = false;
    statusBar()->showMessage(QStringLiteral("Channels saved to %1").arg(target));
    updateTitle();
    return true;
}

void MonitorWindow::updateTitle()
{
    const bool polling = poller && poller->isRunning();
    QString title = QStringLiteral("Korun monitor — %1").arg(portEdit->text().isEmpty() ? QStringLiteral("no port") : portEdit->text());
    if (isViewer())
        title = broker.line.isEmpty() ? QStringLiteral("Korun monitor (viewer at %1, no line chosen)").arg(broker.host)
                                      : QStringLiteral("Korun monitor (viewer of %1 at %2)").arg(broker.line, broker.host);
    title += polling ? QString() : QStringLiteral(" (stopped)");
    title += recorder.isOpen() ? QStringLiteral(" — recording to %1").arg(recorder.path()) : QStringLiteral(" — not recording");
    if (channelsChanged)
        title += QStringLiteral(" — channels not saved");
    setWindowTitle(title);
}

void MonitorWindow::saveLayout()
{
    QSettings stored;
    stored.setValue(QStringLiteral("window/geometry"), saveGeometry());
    stored.setValue(QStringLiteral("window/splitter"), splitter->saveState());
}

void MonitorWindow::finishAndQuit()
{
    saveLayout();
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
