// The window's alarms: every change of a channel's or a module's alarm goes to the alarm
// table and, as a line, to whoever watches `reported` (standard error).
#include "monitor_window.h"

#include "limit_text.h"

// An alarm that changes kind (high to over range) clears one entry and raises another.
void MonitorWindow::onAlarm(int channel, ChannelAlarm::Kind was, ChannelAlarm::Kind now)
{
    // Known by module digit, so that polling another set of modules never clears it by mistake.
    const int source = model.selectorOf(channel) * 4 + channel % 4;
    const QDateTime at = QDateTime::currentDateTimeUtc();
    const QString reading = model.readingText(channel);
    if (was != ChannelAlarm::None) {
        alarms.clear(source, at);
        report(model.channelName(channel), QStringLiteral("%1 cleared (%2)").arg(QLatin1String(alarmText(was)), reading));
    }
    if (now == ChannelAlarm::None)
        return;
    AlarmLog::Entry entry;
    entry.source = source;
    entry.raised = at;
    entry.module = model.moduleName(channel / 4);
    entry.channel = QString::number(channel % 4 + 1);
    entry.tag = model.tagOf(channel);
    entry.kind = QString::fromLatin1(alarmText(now));
    entry.value = reading;
    entry.limit = limitText(model.alarmOf(channel).limit());
    alarms.raise(entry);
    report(model.channelName(channel), QStringLiteral("%1 (%2)").arg(entry.kind, reading));
}

// One entry per module, whichever of its channels were shown.
void MonitorWindow::onModuleAlarm(int module, bool raised, const QString &failure)
{
    const int source = -1 - model.selectorOf(module * 4);
    const QDateTime at = QDateTime::currentDateTimeUtc();
    if (!raised) {
        alarms.clear(source, at);
        report(model.moduleName(module), QStringLiteral("cleared (answers again)"));
        return;
    }
    AlarmLog::Entry entry;
    entry.source = source;
    entry.raised = at;
    entry.module = model.moduleName(module);
    entry.kind = QString::fromLatin1(noAnswerText);
    entry.value = failure;
    alarms.raise(entry);
    report(model.moduleName(module), QStringLiteral("%1 (%2)").arg(entry.kind, failure));
}

void MonitorWindow::report(const QString &subject, const QString &what)
{
    const QString time = QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
    emit reported(QStringLiteral("alarm: %1  %2  %3").arg(time, subject, what));
}

