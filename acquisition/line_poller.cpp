#include "line_poller.h"

LinePoller::LinePoller(Korun_MBProxy &proxy, const QVector<int> &selectors, QObject *parent)
    : QObject(parent)
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
    nextStartMs = -periodMs;
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
    nextStartMs = qMax(nextStartMs + periodMs, clock.elapsed());
    sweeping = true;
    const QVector<SweepRow> rows = modules.sweep();
    sweeping = false;
    ++sweepCount;
    emit swept(rows);
    if (!running) {
        emit stopped();
        return;
    }
    const qint64 now = clock.elapsed();
    if (now > nextStartMs)
        ++overrunCount;
    next.start(int(qMax<qint64>(0, nextStartMs - now)));
}
