#pragma once

#include "line_source.h"
#include "module_line.h"

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

// Sweeps the modules of a line every period. Sweeps start on a grid of periods; one that
// overran starts the next at once and the grid moves on, so that late sweeps never pile
// up (overruns are counted instead).
class LinePoller : public LineSource
{
    Q_OBJECT

public:
    LinePoller(Korun_MBProxy &proxy, const QVector<int> &selectors, QObject *parent = nullptr);

    const ModuleLine &line() const { return modules; }
    // The first sweep starts at once.
    void start(double periodSeconds);
    // Ends after the sweep under way, whose requests wait in nested event loops; stopped()
    // follows, at once when no sweep is under way.
    void stop() override;
    bool isRunning() const override { return running; }
    const ModuleHealth &health(int selector) const override;
    bool asksModules() const override { return true; }
    long long sweeps() const { return sweepCount; }
    long long overruns() const { return overrunCount; }
    qint64 period() const { return periodMs; }
    // How long the latest sweep took, in ms.
    double lastSweepMs() const { return lastSweepDuration; }

private:
    void sweep();

    ModuleLine modules;
    QTimer next;
    QElapsedTimer clock;
    qint64 periodMs = 1000;
    qint64 slotMs = 0;
    bool running = false;
    bool sweeping = false;
    long long sweepCount = 0, overrunCount = 0;
    double lastSweepDuration = 0;
};
