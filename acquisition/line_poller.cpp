#include "line_poller.h"

LinePoller::LinePoller(Korun_MBProxy &proxy, const QVector<int> &selectors, QObject *parent)
    : LineSource(parent)
    , modules(proxy, selectors)
{
    next.setSingleShot(true);
    connect(&next, &QTimer::timeout, this, &LinePoller::sweep);
}

void LinePoller::start(double periodSeconds)
{
    periodMs = qMax<qint64>(1, qint64(periodSeconds * 1000));
    running = true;
    clock.start();
    slotMs = -periodMs;
    next.start(0);
}

void LinePoller::stop()
{
    if (!running)
        return;
    running = false;
    next.stop();
    if (!sweeping)
        emit stopped();
}

void LinePoller::sweep()
{
    // This sweep's place on the grid: its slot, or now when it comes late.
    slotMs = qMax(slotMs + periodMs, clock.elapsed());
    sweeping = true;
    const qint64 startNs = clock.nsecsElapsed();
    const QVector<SweepRow> rows = modules.sweep();
    lastSweepDuration = (clock.nsecsElapsed() - startNs) / 1e6;
    sweeping = false;
    ++sweepCount;
    emit swept(rows);
    if (!running) {
        emit stopped();
        return;
    }
    const qint64 now = clock.elapsed(), due = slotMs + periodMs;
    if (now > due)
        ++overrunCount;
    next.start(int(qMax<qint64>(0, due - now)));
}

const ModuleHealth &LinePoller::health(int selector) const
{
    int module = 0;
    while (module + 1 < modules.moduleCount() && modules.selector(module) != selector)
        ++module;
    return modules.health(module);
}
