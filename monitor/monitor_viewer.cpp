// The window as a viewer of the lines that korun-log publishes: read from the broker, never
// polled, so nothing that would send to a module is offered.
#include "monitor_window.h"

#include "line_directory.h"
#include "link_settings.h"

#include <QApplication>
#include <QBoxLayout>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStatusBar>

void MonitorWindow::becomeViewer()
{
    for (QWidget *widget : std::initializer_list<QWidget *>{portEdit, addressEdit, scanButton, periodSpin, startButton})
        widget->hide();
    const QStringList serialLabels = {QStringLiteral("Port:"), QStringLiteral("Modules:"), QStringLiteral("Period:")};
    for (QLabel *label : portEdit->parentWidget()->findChildren<QLabel *>())
        if (serialLabels.contains(label->text()))
            label->hide();
    lineCombo = new QComboBox;
    lineCombo->setObjectName(QStringLiteral("lineCombo"));
    lineCombo->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    auto *row = static_cast<QBoxLayout *>(portEdit->parentWidget()->layout());
    row->insertWidget(0, new QLabel(QStringLiteral("Line:")));
    row->insertWidget(1, lineCombo);
    connect(lineCombo, QOverload<int>::of(&QComboBox::activated), this,
            [this](int index) { viewLine(lineCombo->itemData(index).toString()); });
    lineDirectory = new LineDirectory(broker, this);
    connect(lineDirectory, &LineDirectory::linesChanged, this, &MonitorWindow::showLines);
    showLines();
    setModules({});
    connect(&ages, &QTimer::timeout, this, [this] {
        if (poller)
            lineHealthLabel->setText(poller->summary());
    });
}

// The lines the broker knows, the one viewed among them even before the broker named it.
void MonitorWindow::showLines()
{
    QMap<QString, QString> lines = lineDirectory->lines();
    if (!broker.line.isEmpty() && !lines.contains(broker.line))
        lines.insert(broker.line, QString());
    const QSignalBlocker blocking(lineCombo);
    lineCombo->clear();
    if (broker.line.isEmpty()) {
        QString problem = lineDirectory->problem();
        if (!problem.isEmpty())
            problem[0] = problem[0].toUpper();
        lineCombo->addItem(!problem.isEmpty() ? problem
                           : lines.isEmpty()  ? QStringLiteral("No line published yet")
                                              : QStringLiteral("Choose a line"));
    }
    for (auto it = lines.cbegin(); it != lines.cend(); ++it) {
        const bool said = it.value().isEmpty() || it.value() == QLatin1String("online");
        lineCombo->addItem(said ? it.key() : QStringLiteral("%1 (recorder %2)").arg(it.key(), it.value()), it.key());
    }
    lineCombo->setCurrentIndex(qMax(0, lineCombo->findData(broker.line)));
}

bool MonitorWindow::startViewing()
{
    QString error;
    if (!lineDirectory->isRunning() && !lineDirectory->start(error)) {
        statusBar()->showMessage(error);
        return false;
    }
    if (broker.line.isEmpty()) {
        statusBar()->showMessage(QStringLiteral("Choose a line of %1:%2").arg(broker.host).arg(broker.port));
        updateTitle();
        return true;
    }
    auto line = std::make_unique<BrokerLine>(broker);
    connect(line.get(), &LineSource::modulesChanged, this, &MonitorWindow::setModules);
    connect(line.get(), &LineSource::swept, this, &MonitorWindow::onSwept);
    connect(line.get(), &LineSource::silenced, this, [this](int selector, const QString &why) {
        const int module = moduleOf(selector);
        if (module >= 0)
            model.setSilent(module, why);
        lineHealthLabel->setText(poller->summary());
        // Said where an operator looks, and on standard error, like an alarm.
        const QString text = QStringLiteral("%1: %2").arg(busAddressText(busAddress(selector)), why);
        statusBar()->showMessage(text);
        emit reported(text);
    });
    connect(line.get(), &LineSource::stopped, this, [this] {
        updateTitle();
        if (quitWhenStopped) {
            stopRecording(QString());
            qApp->quit();
        }
    });
    if (!line->start(error)) {
        statusBar()->showMessage(error);
        return false;
    }
    poller = std::move(line);
    statusBar()->showMessage(QStringLiteral("Viewing line %1 at %2:%3").arg(broker.line, broker.host).arg(broker.port));
    updateTitle();
    return true;
}

void MonitorWindow::viewLine(const QString &line)
{
    if (line.isEmpty() || line == broker.line)
        return;
    if (!broker.line.isEmpty()) {
        const QString why = QStringLiteral("line %1 is no longer viewed").arg(broker.line);
        if (recorder.isOpen()) {
            emit reported(QStringLiteral("recording to %1 stopped: %2").arg(recorder.path(), why));
            stopRecording(QStringLiteral("Recording stopped: %1").arg(why));
        }
        poller.reset();
        setModules({});
        lineHealthLabel->clear();
    }
    broker.line = line;
    showLines();
    startViewing();
}

int MonitorWindow::moduleOf(int selector) const
{
    for (int module = 0; module < model.moduleCount(); ++module)
        if (model.selectorOf(module * 4) == selector)
            return module;
    return -1;
}
