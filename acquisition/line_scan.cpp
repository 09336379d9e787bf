#include "line_scan.h"

#include "korun_mbproxy.h"
#include "link_settings.h"

QVector<FoundModule> scanLine(Korun_MBProxy &proxy, LinkTiming probe)
{
    const int timeout = proxy.timeout();
    const int retries = proxy.numberOfRetries();
    const quint8 address = proxy.serverAddress;
    proxy.setTimeout(probe.timeoutMs);
    proxy.setNumberOfRetries(probe.retries);
    QVector<FoundModule> found;
    for (int selector = 0; selector < 16; ++selector) {
        proxy.serverAddress = busAddress(selector);
        // A silent address closes the link; the next one must not find it closed.
        if (!proxy.isConnected())
            proxy.connectDevice();
        FoundModule module;
        module.selector = selector;
        const quint64 strays = proxy.strayReplies();
        if (proxy.readChannelMeasurements(module.records)) {
            module.responseMs = proxy.exchangeStats(proxy.serverAddress).medianMs();
            found << module;
        } else if (proxy.lastFailure().kind == RequestFailure::Refused) {
            module.unreadable = QStringLiteral("it refused the request: ") + proxy.lastFailure().reason;
            found << module;
        } else if (proxy.strayReplies() != strays) {
            module.unreadable = QStringLiteral("its replies came out of step (a repeated or late reply)");
            found << module;
        }
    }
    proxy.setTimeout(timeout);
    proxy.setNumberOfRetries(retries);
    proxy.serverAddress = address;
    return found;
}
