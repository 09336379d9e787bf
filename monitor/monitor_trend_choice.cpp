// Which channels the window's trend shows, and keeping that choice between runs.
#include "monitor_window.h"

#include "monitor_store.h"
#include "trend_tab.h"

// Kept for the next run as module digit and channel, so that a channel keeps its tick
// whatever order the modules are polled in.
void MonitorWindow::updateTrendChannels()
{
    QVector<TrendChannel> shown;
    QStringList keys;
    for (int channel : model.plottedChannels()) {
        const ChannelAlarm &alarm = model.alarmOf(channel);
        shown.append({channel, model.selectorOf(channel), channel % 4, model.channelName(channel), alarm.low, alarm.high});
        keys << QStringLiteral("%1:%2").arg(model.selectorOf(channel), 0, 16).arg(channel % 4 + 1);
    }
    trend->setChannels(shown);
    if (trendChosen && !restoringTrend)
        MonitorStore::setTrendChannels(keys);
}

// A module that stays keeps its trend; one that goes takes its alarms and trend with it.
void MonitorWindow::setModules(const QVector<int> &selectors)
{
    QVector<int> was;
    for (int module = 0; module < model.moduleCount(); ++module)
        was << model.selectorOf(module * 4);
    for (int module = 0; module < was.size(); ++module)
        if (!selectors.contains(was[module]))
            endAlarmsOf(module);
    QVector<int> from;
    for (int selector : selectors)
        from << int(was.indexOf(selector));
    history.moveModules(from);
    restoringTrend = true;
    model.setModules(selectors);
    if (trendChosen) {
        QVector<int> channels;
        const QStringList keys = MonitorStore::trendChannels();
        for (int channel = 0; channel < model.moduleCount() * 4; ++channel)
            if (keys.contains(QStringLiteral("%1:%2").arg(model.selectorOf(channel), 0, 16).arg(channel % 4 + 1)))
                channels << channel;
        model.setPlottedChannels(channels);
    }
    restoringTrend = false;
}

// With nothing chosen yet, the first channel that has a sensor.
void MonitorWindow::chooseFirstTrendChannel()
{
    if (trendChosen)
        return;
    for (int channel = 0; channel < model.moduleCount() * 4; ++channel) {
        const QString sensor = model.channelIndex(channel, LiveTableModel::Sensor).data().toString();
        if (!sensor.isEmpty() && sensor != QLatin1String(noSensorText)) {
            trendChosen = true;
            model.setPlottedChannels({channel});
            return;
        }
    }
}

