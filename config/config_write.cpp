#include "config_write.h"

#include "config_changes.h"
#include "korun_mbproxy.h"
#include "link_settings.h"

namespace {

QString readFailure(const Korun_MBProxy &proxy)
{
    return QStringLiteral("module %1 did not answer: %2")
        .arg(busAddressText(proxy.serverAddress), proxy.lastFailure().reason);
}

} // namespace

bool writeAndVerify(Korun_MBProxy &proxy, const ConfigurationImage &module, const ConfigurationImage &wanted,
                    QString &error)
{
    int first = -1, last = -1;
    for (int i = 0; i < RegisterMap::configurationCount; ++i) {
        if (module.registerValue(std::size_t(i)) != wanted.registerValue(std::size_t(i))) {
            first = first < 0 ? i : first;
            last = i;
        }
    }
    if (first >= 0) {
        // Only the changed span goes out, so a write cannot undo more than it shows.
        const int count = last - first + 1, blocks = (count + RegisterMap::maxWriteCount - 1) / RegisterMap::maxWriteCount;
        int written = 0;
        if (!proxy.writeHoldingRegisters(quint16(RegisterMap::configurationAddress + first), quint16(count),
                                         wanted.words() + first, &written)) {
            error = QStringLiteral("writing failed after %1 of %2 blocks, the module's configuration may be "
                                   "incomplete: %3")
                        .arg(qMax(0, written))
                        .arg(blocks)
                        .arg(proxy.lastFailure().reason);
            return false;
        }
    }
    // A failed request closes the link and the first request after it only reopens it, so
    // the second try reopens it first, as the line's sweeps do.
    ConfigurationImage readBack;
    const auto readBackOnce = [&] {
        if (!proxy.isConnected())
            proxy.connectDevice();
        return proxy.readConfiguration(readBack);
    };
    if (!readBackOnce() && !readBackOnce()) {
        error = QStringLiteral("written, but the read-back failed: ") + readFailure(proxy);
        return false;
    }
    const QStringList kept = describeChanges(wanted, readBack);
    if (!kept.isEmpty()) {
        error = QStringLiteral("written, but module %1 does not hold what was written (written -> held): %2")
                    .arg(busAddressText(proxy.serverAddress), kept.join(QLatin1String("; ")));
        return false;
    }
    return true;
}
