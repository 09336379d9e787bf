#pragma once

#include "module_health.h"
#include "module_line.h"

#include <QObject>
#include <QVector>

// Where a window's readings come from: a serial line it polls, or a line another program
// polls and publishes. Rows name their module by selector; a source may send only some.
class LineSource : public QObject
{
    Q_OBJECT

public:
    using QObject::QObject;

    // Ends after the work under way; stopped() follows.
    virtual void stop() = 0;
    virtual bool isRunning() const = 0;
    virtual const ModuleHealth &health(int selector) const = 0;
    // Whether reading through it sends requests to the modules.
    virtual bool asksModules() const = 0;
    // One line for the status bar on the line as a whole.
    virtual QString summary() const { return QString(); }

signals:
    void swept(const QVector<SweepRow> &rows);
    void stopped();
    // The modules of the line changed (a viewer learns them from the line's recorder).
    void modulesChanged(const QVector<int> &selectors);
    // Nothing current can be said of the module any more; `why` says what is known.
    void silenced(int selector, const QString &why);
};
