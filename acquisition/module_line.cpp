#include "module_line.h"

#include "korun_mbproxy.h"
#include "link_settings.h"

ModuleLine::ModuleLine(Korun_MBProxy &proxy, const QVector<int> &selectors, QObject *parent)
    : QObject(parent)
    , proxy(proxy)
{
    for (int selector : selectors)
        modules.push_back({selector, std::make_unique<ModuleRefresher>(proxy), 0});
}

QVector<SweepRow> ModuleLine::sweep()
{
    QVector<SweepRow> rows;
    for (Module &module : modules) {
        SweepRow row;
        row.selector = module.selector;
        row.backedOff = module.refresher->health().consecutiveFailedRefreshes >= backoffAfter;
        proxy.serverAddress = busAddress(module.selector);
        if (row.backedOff && ++module.sweepsSinceAsked < backoffPeriod) {
            row.asked = false;
            row.snapshot.time = QDateTime::currentDateTimeUtc();
            row.snapshot.busAddress = proxy.serverAddress;
            rows << row;
            continue;
        }
        module.sweepsSinceAsked = 0;
        // A failed request closes the link and the first request after it only reopens
        // it; reopening here keeps one module's failure from costing the next its refresh.
        if (!proxy.isConnected())
            proxy.connectDevice();
        row.snapshot = module.refresher->refresh();
        rows << row;
    }
    return rows;
}
