#include "module_health.h"

#include "link_settings.h"
#include "module_snapshot.h"

namespace {

QString clockTime(const QDateTime &time)
{
    return time.toLocalTime().toString(QStringLiteral("HH:mm:ss"));
}

} // namespace

bool isModuleFailure(const RequestFailure &failure)
{
    switch (failure.kind) {
    case RequestFailure::NoAnswer:
    case RequestFailure::Refused:
        return true;
    case RequestFailure::LinkClosed:
        return !failure.reason.isEmpty();
    case RequestFailure::None:
    case RequestFailure::Busy:
        break;
    }
    return false;
}

void ModuleHealth::noteRefresh(const ModuleSnapshot &snapshot)
{
    if (snapshot.busy)
        return;
    if (snapshot.complete()) {
        ++completeRefreshes;
        consecutiveFailedRefreshes = 0;
        noteAnswer(snapshot.time);
        return;
    }
    ++failedRefreshes;
    ++consecutiveFailedRefreshes;
    if (isModuleFailure(snapshot.failure))
        noteFailure(snapshot.failure, snapshot.time);
}

void ModuleHealth::noteAnswer(const QDateTime &time)
{
    lastAnswer = time;
    failingSince = QDateTime();
}

void ModuleHealth::noteFailure(const RequestFailure &failure, const QDateTime &time)
{
    lastFailure = failure;
    if (!failingSince.isValid())
        failingSince = time;
}

QString healthText(const ModuleHealth &health, quint8 busAddress)
{
    const QString module = busAddressText(busAddress);
    if (health.failing()) {
        const QString since = clockTime(health.failingSince);
        if (health.lastFailure.kind == RequestFailure::Refused)
            return QStringLiteral("Module %1 refused requests since %2: %3").arg(module, since, health.lastFailure.reason);
        return QStringLiteral("No answer from module %1 since %2: %3").arg(module, since, health.lastFailure.reason);
    }
    if (health.lastAnswer.isValid())
        return QStringLiteral("Module %1 answering, last reading %2").arg(module, clockTime(health.lastAnswer));
    return QStringLiteral("Port open, nothing read from module %1 yet").arg(module);
}

QString refreshCountText(const ModuleHealth &health)
{
    return QStringLiteral("%1 complete, %2 failed refresh%3")
        .arg(health.completeRefreshes)
        .arg(health.failedRefreshes)
        .arg(health.failedRefreshes == 1 ? QString() : QStringLiteral("es"));
}
