// "Check channel…": a loop check of one channel on the refreshes the line gives anyway.
#include "monitor_window.h"

#include "check_channel_dialog.h"

#include <QStatusBar>

void MonitorWindow::askForChannelCheck(int channel)
{
    CheckChannelDialog dialog(model.channelName(channel), this);
    if (dialog.exec() == QDialog::Accepted)
        checkChannel(channel, dialog.point(), dialog.samples());
}

bool MonitorWindow::checkChannel(int channel, CheckPoint point, int samples)
{
    point.selector = model.selectorOf(channel);
    point.channel = channel % 4 + 1;
    const std::optional<unsigned> sensor = model.sensorOf(channel);
    QString refusal;
    if (!sensor)
        refusal = QStringLiteral("nothing read from the channel yet");
    else if (!poller || !poller->isRunning())
        refusal = QStringLiteral("the line is not being polled");
    if (refusal.isEmpty() && channelCheck.begin(point, samples, *sensor, refusal)) {
        statusBar()->showMessage(QStringLiteral("Checking %1 over %2 refreshes…").arg(model.channelName(channel)).arg(samples));
        return true;
    }
    const QString why = QStringLiteral("Cannot check %1: %2").arg(model.channelName(channel), refusal);
    statusBar()->showMessage(why);
    emit reported(why);
    return false;
}

void MonitorWindow::showCheckResult(const QStringList &lines, Verdict verdict)
{
    statusBar()->showMessage(QStringLiteral("Check: %1").arg(lines.isEmpty() ? verdictText(verdict) : lines.last()));
    for (const QString &line : lines)
        emit reported(QStringLiteral("check: ") + line);
}
