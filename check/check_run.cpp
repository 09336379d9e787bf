#include "check_run.h"

#include "korun_mbproxy.h"
#include "link_settings.h"
#include "module_refresher.h"

#include <QEventLoop>
#include <QTimer>

namespace {

void wait(int ms)
{
    if (ms <= 0)
        return;
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

} // namespace

const ModuleFacts *CheckRun::module(int selector) const
{
    for (const ModuleFacts &facts : modules) {
        if (facts.selector == selector)
            return &facts;
    }
    return nullptr;
}

QStringList preparePoints(Korun_MBProxy &proxy, CheckRun &run, const QVector<CheckPoint> &points, int samples,
                          std::vector<PointCheck> &checks)
{
    QStringList refusals;
    for (const CheckPoint &point : points) {
        if (!run.module(point.selector))
            run.modules << readModuleFacts(proxy, point.selector);
        const ModuleFacts &facts = *run.module(point.selector);
        PointCheck check(point, samples);
        QString refusal;
        if (!facts.records)
            check.finishWithout(Verdict::NoReading, facts.recordsFailure);
        else if (!check.start((*facts.records)[std::size_t(point.channel - 1)].sensorCode(), refusal))
            refusals << QStringLiteral("point %1, %2 channel %3: %4")
                            .arg(point.entry)
                            .arg(moduleText(point.selector))
                            .arg(point.channel)
                            .arg(refusal);
        checks.push_back(check);
    }
    return refusals;
}

void measurePoint(Korun_MBProxy &proxy, PointCheck &check, int intervalMs)
{
    proxy.serverAddress = busAddress(check.result().point.selector);
    ModuleRefresher refresher(proxy);
    for (bool first = true; !check.done(); first = false) {
        if (!first)
            wait(intervalMs);
        check.add(refresher.refresh());
    }
}
