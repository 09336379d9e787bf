#include "module_line.h"

#include "korun_mbproxy.h"
#include "link_settings.h"

#include <QElapsedTimer>

ModuleLine::ModuleLine(Korun_MBProxy &proxy, const QVector<int> &selectors, QObject *parent)
    : QObject(parent)
    , proxy(proxy)
{
    for (int selector : selectors)
        modules.push_back({selector, std::make_unique<ModuleRefresher>(proxy)});
}

QVector<SweepRow> ModuleLine::sweep()
{
    QVector<SweepRow> rows;
    for (Module &module : modules) {
        SweepRow row;
        row.selector = module.selector;
        // Alone on the list, a module has no one to keep waiting: it is asked every time.
        row.backedOff = modules.size() > 1 && module.silentRefreshes >= backoffAfter;
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
        QElapsedTimer refreshTime;
        refreshTime.start();
        row.snapshot = module.refresher->refresh();
        row.refreshMs = refreshTime.nsecsElapsed() / 1e6;
        row.responseMs = proxy.exchangeStats(proxy.serverAddress).medianMs();
        // Only silence costs the line a timeout; a port that cannot be opened is the line's
        // fault, not the module's, and must not keep the module backed off once it is back.
        if (row.snapshot.complete())
            module.silentRefreshes = 0;
        else if (row.snapshot.failure.kind == RequestFailure::NoAnswer)
            ++module.silentRefreshes;
        rows << row;
    }
    return rows;
}
