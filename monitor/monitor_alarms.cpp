// The window's alarms: every change of a channel's or a module's alarm goes to the alarm
// table and, as a line, to whoever watches `reported` (standard error).
#include "monitor_window.h"

#include "limit_text.h"

// An alarm that changes kind (high to over range) clears one entry and raises another.
void MonitorWindow::onAlarm(int channel, ChannelAlarm::Kind was, ChannelAlarm::Kind now)
{
    const int source = channelSource(channel);
    const QDateTime at = QDateTime::currentDateTimeUtc();
    const QString reading = model.readingText(channel);
    if (was != ChannelAlarm::None) {
        alarms.clear(source, at);
        report(channelLabel(channel), QStringLiteral("%1 cleared (%2)").arg(QLatin1String(alarmText(was)), reading));
    }
    if (now == ChannelAlarm::None)
        return;
    AlarmLog::Entry entry;
    entry.source = source;
    entry.raised = at;
    entry.module = moduleLabel(channel / 4);
    entry.channel = QString::number(channel % 4 + 1);
    entry.tag = model.tagOf(channel);
    entry.kind = QString::fromLatin1(alarmText(now));
    entry.value = reading;
    entry.limit = limitText(model.alarmOf(channel).limit());
    alarms.raise(entry);
    report(channelLabel(channel), QStringLiteral("%1 (%2)").arg(entry.kind, reading));
}

// One entry per module, whichever of its channels were shown.
void MonitorWindow::onModuleAlarm(int module, bool raised, const QString &failure)
{
    const int source = moduleSource(module);
    const QDateTime at = QDateTime::currentDateTimeUtc();
    if (!raised) {
        alarms.clear(source, at);
        report(moduleLabel(module), QStringLiteral("cleared (answers again)"));
        return;
    }
    AlarmLog::Entry entry;
    entry.source = source;
    entry.raised = at;
    entry.module = moduleLabel(module);
    entry.kind = QString::fromLatin1(noAnswerText);
    entry.value = failure;
    alarms.raise(entry);
    report(moduleLabel(module), QStringLiteral("%1 (%2)").arg(entry.kind, failure));
}

// A module no longer polled or viewed: what was raised of it is over as far as we can know.
void MonitorWindow::endAlarmsOf(int module)
{
    const QDateTime at = QDateTime::currentDateTimeUtc();
    for (int channel = module * 4; channel < module * 4 + 4; ++channel)
        if (alarms.clear(channelSource(channel), at))
            report(channelLabel(channel), QStringLiteral("cleared (no longer watched)"));
    if (alarms.clear(moduleSource(module), at))
        report(moduleLabel(module), QStringLiteral("cleared (no longer watched)"));
}

// Alarms are known by module digit, so that polling another set of modules never clears
// one by mistake.
int MonitorWindow::channelSource(int channel) const
{
    return model.selectorOf(channel) * 4 + channel % 4;
}

int MonitorWindow::moduleSource(int module) const
{
    return -1 - model.selectorOf(module * 4);
}

// A viewer may show one line and then another: its alarms name the line.
QString MonitorWindow::moduleLabel(int module) const
{
    return isViewer() ? QStringLiteral("%1 %2").arg(broker.line, model.moduleName(module)) : model.moduleName(module);
}

QString MonitorWindow::channelLabel(int channel) const
{
    return isViewer() ? QStringLiteral("%1 %2").arg(broker.line, model.channelName(channel)) : model.channelName(channel);
}

void MonitorWindow::report(const QString &subject, const QString &what)
{
    const QString time = QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
    emit reported(QStringLiteral("alarm: %1  %2  %3").arg(time, subject, what));
}

