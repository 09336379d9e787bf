// Sweep times of a line of modules on a line paced like a real one (korun-sim at 115200
// baud with a module turnaround and a USB adapter's latency tick), through the program's
// engine and through a plain libmodbus client doing the same reads, beside the wire limit.
//   bench_line_timing [SWEEPS]   default 5 sweeps per case
#include "link_settings.h"
#include "module_line.h"
#include "proxy_fixture.h"

#include <modbus.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QLoggingCategory>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

// One refresh: 9 requests of 8 bytes; replies of 13 (4 registers) and 15 (5) bytes.
constexpr int refreshBytes = 9 * 8 + (13 + 4 * 15 + 4 * 13);

double median(std::vector<double> samples)
{
    std::sort(samples.begin(), samples.end());
    return samples[samples.size() / 2];
}

QVector<int> firstModules(int count)
{
    QVector<int> selectors;
    for (int i = 0; i < count; ++i)
        selectors << i;
    return selectors;
}

QString addressList(int count)
{
    QStringList digits;
    for (int i = 0; i < count; ++i)
        digits << QString::number(i, 16).toUpper();
    return digits.join(QLatin1Char(','));
}

double engineSweepMs(const QString &port, int modules, int sweeps)
{
    Korun_MBProxy proxy;
    connectLikeTheWindow(proxy, port);
    ModuleLine line(proxy, firstModules(modules));
    std::vector<double> samples;
    for (int i = 0; i < sweeps; ++i) {
        QElapsedTimer timer;
        timer.start();
        line.sweep();
        samples.push_back(timer.nsecsElapsed() / 1e6);
    }
    return median(samples);
}

double libmodbusSweepMs(const QString &port, int modules, int sweeps)
{
    modbus_t *ctx = modbus_new_rtu(port.toLocal8Bit().constData(), LinkSettings::baudRate, 'N', 8, 1);
    if (!ctx || modbus_connect(ctx) != 0)
        return -1;
    modbus_set_response_timeout(ctx, 0, LinkSettings::responseTimeoutMs * 1000);
    uint16_t registers[8];
    std::vector<double> samples;
    for (int i = 0; i < sweeps; ++i) {
        QElapsedTimer timer;
        timer.start();
        for (int module = 0; module < modules; ++module) {
            modbus_set_slave(ctx, busAddress(module));
            modbus_read_registers(ctx, 0x2000, 4, registers);
            for (int channel = 0; channel < 4; ++channel)
                modbus_read_registers(ctx, 0x10 * channel, 5, registers);
            for (int channel = 0; channel < 4; ++channel)
                modbus_read_registers(ctx, 0x100 + 0x10 * channel, 4, registers);
        }
        samples.push_back(timer.nsecsElapsed() / 1e6);
    }
    modbus_close(ctx);
    modbus_free(ctx);
    return median(samples);
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication application(argc, argv);
    QLoggingCategory::setFilterRules(QStringLiteral("default.debug=false\nqt.modbus*=false"));
    const int sweeps = argc > 1 ? std::max(1, atoi(argv[1])) : 5;
    std::printf("modules  latency  turnaround   wire limit    engine   libmodbus   engine/wire  engine/libmodbus\n");
    for (int modules : {1, 4, 16}) {
        for (int latency : {0, 1, 16}) {
            for (int turnaround : {0, 5}) {
                SimLine line;
                if (!line.start({"--address", addressList(modules), "--line-baud", "115200", "--adapter-latency",
                                 QString::number(latency), "--turnaround", QString::number(turnaround)})) {
                    std::printf("cannot start the simulated line\n");
                    return 1;
                }
                const double wireMs = modules * (refreshBytes * 10.0 / LinkSettings::baudRate * 1000 + 9 * turnaround);
                const double engine = engineSweepMs(line.portName(), modules, sweeps);
                const double plain = libmodbusSweepMs(line.portName(), modules, sweeps);
                std::printf("%7d  %4d ms  %7d ms  %8.1f ms  %6.1f ms  %7.1f ms  %10.2f  %14.2f\n", modules, latency,
                            turnaround, wireMs, engine, plain, engine / wireMs, engine / plain);
                std::fflush(stdout);
            }
        }
    }
    return 0;
}
