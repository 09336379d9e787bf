#pragma once

#include "module_health.h"
#include "module_snapshot.h"

#include <QObject>

class Korun_MBProxy;

// One refresh of a module's live values in the module's order: on-board temperatures,
// the four measurement records, the four ADC states. Keeps the last on-board
// temperatures as the thermocouples' cold junction for a refresh that could not read
// them, and the module's health.
class ModuleRefresher : public QObject
{
    Q_OBJECT

public:
    explicit ModuleRefresher(Korun_MBProxy &proxy, QObject *parent = nullptr);

    // Synchronous, like every request of the proxy; the event loop runs meanwhile, so a
    // refresh may start inside another one (it then finds the proxy busy).
    ModuleSnapshot refresh();

    const ModuleHealth &health() const { return moduleHealth; }
    ModuleHealth &health() { return moduleHealth; }
    // Forgets the counts and the failure state, as after a new Connect.
    void resetHealth() { moduleHealth = ModuleHealth(); }

private:
    void noteStatus(const QString &text);
    void noteFailure(ModuleSnapshot &snapshot);

    Korun_MBProxy &proxy;
    std::optional<ReferenceTemperatures> lastReference;
    ModuleHealth moduleHealth;
    // Failure texts go to the innermost refresh under way.
    QStringList *collecting = nullptr;
};
