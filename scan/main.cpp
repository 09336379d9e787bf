// korun-scan: which Korun modules answer on a line, and what their channels measure.
#include "korun_mbproxy.h"
#include "line_scan.h"
#include "link_timing_options.h"
#include "link_settings.h"
#include "sensor_catalogue.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QLoggingCategory>

#include <cstdio>

namespace {

const char usage[] = R"(Usage: korun-scan --port PATH [--timeout MS] [--retries N]

Asks every Korun module address on the line (address switch 0..F, bus address 0xB0..0xBF)
once, by default with an 80 ms timeout and no retries, and prints one line per module that
answers: its address-switch digit, its bus address, the sensor each of its four channels
measures with, and its median response time (request written to reply complete). A full
scan takes under 2 s even when nothing answers; a module slower than the timeout is missed
(give a longer --timeout).

Options:
  --port PATH   serial port of the RS-485 adapter (/dev/ttyUSB0, COM3, ...)
)";

const char usageEnd[] = R"(  -h, --help    this text
  --version     the program's version

A module that answers but whose channels cannot be read (it refuses, or its replies come
out of step) is not listed; standard error says why.

Exit status: 0 when at least one module is listed, 1 when none is or the port cannot be
opened, 2 for bad arguments.
)";

QString sensorName(unsigned code)
{
    return code < sensorTypeCount ? QString::fromLatin1(sensorTypeNames[code]) : QString::number(code);
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication application(argc, argv);
    QLoggingCategory::setFilterRules(QStringLiteral("default.debug=false\nqt.modbus*=false"));
    QCommandLineParser parser;
    const QCommandLineOption help(QStringList{QStringLiteral("h"), QStringLiteral("help")});
    const QCommandLineOption version(QStringLiteral("version"));
    const QCommandLineOption port(QStringLiteral("port"), QString(), QStringLiteral("PATH"));
    parser.addOptions({help, version, port});
    const LinkTimingOptions timingOptions(scanProbe);
    timingOptions.addTo(parser);
    if (!parser.parse(application.arguments())) {
        std::fprintf(stderr, "korun-scan: %s (see --help)\n", qPrintable(parser.errorText()));
        return 2;
    }
    if (parser.isSet(help)) {
        std::fputs(usage, stdout);
        std::fputs(qPrintable(timingOptions.helpText()), stdout);
        std::fputs(usageEnd, stdout);
        return 0;
    }
    if (parser.isSet(version)) {
        std::printf("korun-scan %s\n", KORUN_VERSION);
        return 0;
    }
    if (parser.value(port).isEmpty() || !parser.positionalArguments().isEmpty()) {
        std::fputs("korun-scan: --port PATH is required, and nothing else (see --help)\n", stderr);
        return 2;
    }

    LinkTiming probe;
    QString error;
    if (!timingOptions.read(parser, probe, error)) {
        std::fprintf(stderr, "korun-scan: %s (see --help)\n", qPrintable(error));
        return 2;
    }

    Korun_MBProxy proxy;
    configureLink(proxy, parser.value(port), 0);
    if (!proxy.connectDevice() || !proxy.isConnected()) {
        std::fprintf(stderr, "korun-scan: cannot open %s: %s\n", qPrintable(parser.value(port)),
                     qPrintable(proxy.errorString()));
        return 1;
    }
    if (!proxy.adapterLatencyAdvice().isEmpty())
        std::fprintf(stderr, "korun-scan: %s\n", qPrintable(proxy.adapterLatencyAdvice()));
    const QVector<FoundModule> found = scanLine(proxy, probe);
    int listed = 0;
    for (const FoundModule &module : found) {
        const QString address = busAddressText(busAddress(module.selector));
        if (!module.unreadable.isEmpty()) {
            std::fprintf(stderr, "korun-scan: module %s answered, but its channels could not be read: %s\n",
                         qPrintable(address), qPrintable(module.unreadable));
            continue;
        }
        ++listed;
        QStringList sensors;
        for (const MeasurementRecord &record : module.records)
            sensors << sensorName(record.sensorCode());
        std::printf("%X  %s  %s  %.1f ms\n", module.selector, qPrintable(address),
                    qPrintable(sensors.join(QLatin1Char(' '))), module.responseMs);
    }
    if (found.isEmpty())
        std::fputs("korun-scan: no module answered\n", stderr);
    return listed > 0 ? 0 : 1;
}
