#include "module_refresher.h"

#include "korun_mbproxy.h"

#include <utility>

namespace {

// Texts of a request that went through, or of the link's normal life.
bool isRoutine(const QString &text)
{
    static const QStringList routine = {"Request sent", "Ready", "Modbus connecting", "Modbus connected",
                                        "Modbus closing", "Modbus unconnected"};
    return routine.contains(text);
}

} // namespace

ModuleRefresher::ModuleRefresher(Korun_MBProxy &proxy, QObject *parent)
    : QObject(parent)
    , proxy(proxy)
{
    connect(&proxy, &Korun_MBProxy::msg4StatusBar, this, &ModuleRefresher::noteStatus);
}

void ModuleRefresher::noteStatus(const QString &text)
{
    if (collecting && !isRoutine(text) && !collecting->contains(text))
        collecting->append(text);
}

// Keeps the failure that says most about the module: the first one that reached the
// module or the port, else the first of any kind.
void ModuleRefresher::noteFailure(ModuleSnapshot &snapshot)
{
    const RequestFailure &failure = proxy.lastFailure();
    if (isModuleFailure(failure))
        ++moduleHealth.failedRequests;
    if (snapshot.failure.kind == RequestFailure::None
        || (!isModuleFailure(snapshot.failure) && isModuleFailure(failure)))
        snapshot.failure = failure;
}

ModuleSnapshot ModuleRefresher::refresh()
{
    ModuleSnapshot snapshot;
    snapshot.time = QDateTime::currentDateTimeUtc();
    snapshot.busAddress = proxy.serverAddress;
    QStringList *outer = std::exchange(collecting, &snapshot.failures);
    const quint64 strays = proxy.strayReplies();
    const std::optional<ReferenceTemperatures> coldJunctionBefore = lastReference;

    ReferenceTemperatures reference;
    if (proxy.readReferenceTemperatures(reference)) {
        snapshot.reference = reference;
        lastReference = reference;
    } else {
        noteFailure(snapshot);
        snapshot.busy = snapshot.failure.kind == RequestFailure::Busy;
    }
    std::array<MeasurementRecord, 4> records;
    if (proxy.readChannelMeasurements(records)) {
        snapshot.records = records;
        snapshot.temperatures = channelTemperatures(records, lastReference);
        std::array<AdcState, 4> states;
        if (proxy.readAdcStates(states))
            snapshot.states = states;
        else
            noteFailure(snapshot);
    } else {
        noteFailure(snapshot);
    }
    // A reply that came unasked during the refresh may have been taken for one of its
    // blocks, which cannot be told apart: none of them is used.
    if (proxy.strayReplies() != strays) {
        snapshot.reference.reset();
        snapshot.records.reset();
        snapshot.states.reset();
        snapshot.temperatures = {};
        lastReference = coldJunctionBefore;
        if (snapshot.failure.kind == RequestFailure::None && !proxy.noStrayRepliesSince(strays))
            noteFailure(snapshot);
    }

    collecting = outer;
    moduleHealth.noteRefresh(snapshot);
    return snapshot;
}
