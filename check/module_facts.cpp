#include "module_facts.h"

#include "korun_mbproxy.h"
#include "link_settings.h"
#include "sensor_catalogue.h"

namespace {

QString failureText(const Korun_MBProxy &proxy)
{
    const QString reason = proxy.lastFailure().reason;
    return QStringLiteral("%1 did not answer: %2")
        .arg(busAddressText(proxy.serverAddress), reason.isEmpty() ? QStringLiteral("no reason given") : reason);
}

} // namespace

ModuleFacts readModuleFacts(Korun_MBProxy &proxy, int selector)
{
    ModuleFacts facts;
    facts.selector = selector;
    facts.busAddress = busAddress(selector);
    proxy.serverAddress = facts.busAddress;
    // A reply that came unasked may have been taken for the records: they are not used.
    const quint64 strays = proxy.strayReplies();
    std::array<MeasurementRecord, 4> records;
    if (proxy.readChannelMeasurements(records) && proxy.noStrayRepliesSince(strays))
        facts.records = records;
    else
        facts.recordsFailure = QStringLiteral("module ") + failureText(proxy);
    // A silent module would only make the line wait again.
    if (!facts.records)
        return facts;
    ConfigurationImage configuration;
    if (proxy.readConfiguration(configuration) && proxy.noStrayRepliesSince(strays))
        facts.configuration = configuration;
    else
        facts.configurationFailure = QStringLiteral("configuration of ") + failureText(proxy);
    return facts;
}

QString sensorText(unsigned code)
{
    return code < sensorTypeCount ? QString::fromLatin1(sensorTypeNames[code]) : QString::number(code);
}

QString connectionText(unsigned code)
{
    const char *name = connectionCodeName(code);
    return name ? QString::fromLatin1(name) : QString::number(code);
}

QString moduleText(int selector)
{
    return QStringLiteral("module %1 (%2)").arg(QString::number(selector, 16).toUpper(), busAddressText(busAddress(selector)));
}
