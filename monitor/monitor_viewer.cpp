// The window as a viewer of a line that korun-log publishes: read from the broker, never
// polled, so nothing that would send to a module is offered.
#include "monitor_window.h"

#include "link_settings.h"

#include <QApplication>
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
    setModules({});
    connect(&ages, &QTimer::timeout, this, [this] {
        if (poller)
            lineHealthLabel->setText(poller->summary());
    });
}

bool MonitorWindow::startViewing()
{
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
    QString error;
    if (!line->start(error)) {
        statusBar()->showMessage(error);
        return false;
    }
    poller = std::move(line);
    statusBar()->showMessage(QStringLiteral("Viewing line %1 at %2:%3").arg(broker.line, broker.host).arg(broker.port));
    updateTitle();
    return true;
}

int MonitorWindow::moduleOf(int selector) const
{
    for (int module = 0; module < model.moduleCount(); ++module)
        if (model.selectorOf(module * 4) == selector)
            return module;
    return -1;
}
