#pragma once

#include "module_refresher.h"

#include <QObject>
#include <QVector>

#include <memory>
#include <vector>

class Korun_MBProxy;

// What one sweep of the line did for one module.
struct SweepRow {
    int selector = 0;
    ModuleSnapshot snapshot; // only time and bus address when the module was not asked
    bool asked = true;
    bool backedOff = false;  // the module is asked only every backoffPeriod-th sweep
    double refreshMs = 0;    // how long the refresh took
    double responseMs = -1;  // the module's median response time so far; negative before any
    QString status;          // as the recorder that published the row said it; empty: from the snapshot
};

// The modules of one serial line, refreshed in turn through one proxy. When there are
// several, a module that gave no answer in `backoffAfter` refreshes in a row is asked only
// every `backoffPeriod`-th sweep until it answers again, so that a dead module does not cost
// the live ones their period.
class ModuleLine : public QObject
{
    Q_OBJECT

public:
    static constexpr int backoffAfter = 3;
    static constexpr int backoffPeriod = 10;

    ModuleLine(Korun_MBProxy &proxy, const QVector<int> &selectors, QObject *parent = nullptr);

    QVector<SweepRow> sweep();

    int moduleCount() const { return int(modules.size()); }
    int selector(int module) const { return modules[std::size_t(module)].selector; }
    const ModuleHealth &health(int module) const { return modules[std::size_t(module)].refresher->health(); }

private:
    struct Module {
        int selector;
        std::unique_ptr<ModuleRefresher> refresher;
        int sweepsSinceAsked = 0;
        int silentRefreshes = 0; // in a row
    };

    Korun_MBProxy &proxy;
    std::vector<Module> modules;
};
