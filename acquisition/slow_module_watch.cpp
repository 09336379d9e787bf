#include "slow_module_watch.h"

#include "link_settings.h"

QString SlowModuleWatch::note(const SweepRow &row, double periodMs)
{
    if (!row.asked)
        return QString();
    const int selector = row.selector;
    if (row.refreshMs <= periodMs / 2) {
        slowInARow.remove(selector);
        warned.remove(selector);
        return QString();
    }
    if (++slowInARow[selector] < refreshesInARow || warned.contains(selector))
        return QString();
    warned.insert(selector);
    QString text = QStringLiteral("module %1's refreshes take %2 ms, more than half the %3 ms period")
                       .arg(busAddressText(busAddress(selector)))
                       .arg(row.refreshMs, 0, 'f', 0)
                       .arg(periodMs, 0, 'f', 0);
    if (row.responseMs >= 0)
        text += QStringLiteral(" (response median %1 ms)").arg(row.responseMs, 0, 'f', 1);
    return text + QStringLiteral("; the other modules wait for it: give a longer period or check its line");
}
