// Timings over a virtual serial line against korun-sim: one request and one refresh
// through the proxy, the same nine reads by a plain libmodbus client, the refresh through
// the window, event-loop stalls, a silent module, CPU and memory of auto update.
//   bench_link [--long]   --long adds the one-minute CPU figure and 10 000 refreshes
#include "mainwindow.h"
#include "module_refresher.h"
#include "proxy_fixture.h"

#include <modbus.h>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QElapsedTimer>
#include <QFile>
#include <QLineEdit>
#include <QLoggingCategory>
#include <QProcess>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <vector>

namespace {

struct Stats {
    double median, p10, p90, max;
};

Stats stats(std::vector<double> samples)
{
    std::sort(samples.begin(), samples.end());
    const auto at = [&](double q) { return samples[std::size_t(q * (samples.size() - 1))]; };
    return {at(0.5), at(0.1), at(0.9), samples.back()};
}

void print(const char *what, const Stats &s)
{
    std::printf("%-44s median %7.2f ms  p10 %7.2f  p90 %7.2f  max %7.2f\n", what, s.median, s.p10, s.p90, s.max);
}

template <typename F>
std::vector<double> timeRuns(int runs, F &&run)
{
    std::vector<double> samples;
    for (int i = 0; i < runs; ++i) {
        QElapsedTimer timer;
        timer.start();
        run();
        samples.push_back(timer.nsecsElapsed() / 1e6);
    }
    return samples;
}

// One read of the four on-board temperature registers.
bool readReference(Korun_MBProxy &proxy)
{
    ReferenceTemperatures reference;
    return proxy.mbRead(QModbusDataUnit(QModbusDataUnit::HoldingRegisters, RegisterMap::referenceTemperaturesAddress,
                                        RegisterMap::referenceTemperaturesCount),
                        reference.bytes.data());
}

void benchProxy(const QString &port)
{
    Korun_MBProxy proxy;
    connectLikeTheWindow(proxy, port);
    ModuleRefresher refresher(proxy);
    print("proxy: one request (4 registers)", stats(timeRuns(300, [&] { readReference(proxy); })));
    print("proxy: one refresh (9 requests)", stats(timeRuns(200, [&] { refresher.refresh(); })));
}

void benchLibmodbus(const QString &port)
{
    modbus_t *ctx = modbus_new_rtu(port.toLocal8Bit().constData(), 115200, 'N', 8, 1);
    modbus_set_slave(ctx, 176);
    if (modbus_connect(ctx) != 0) {
        std::printf("libmodbus client: cannot open %s\n", qPrintable(port));
        modbus_free(ctx);
        return;
    }
    uint16_t registers[8];
    const auto refresh = [&] {
        modbus_read_registers(ctx, 0x2000, 4, registers);
        for (int channel = 0; channel < 4; ++channel)
            modbus_read_registers(ctx, 0x10 * channel, 5, registers);
        for (int channel = 0; channel < 4; ++channel)
            modbus_read_registers(ctx, 0x100 + 0x10 * channel, 4, registers);
    };
    print("plain libmodbus client: the same 9 reads", stats(timeRuns(200, refresh)));
    modbus_close(ctx);
    modbus_free(ctx);
}

void benchSilentModule(SimLine &line)
{
    Korun_MBProxy proxy;
    connectLikeTheWindow(proxy, line.portName());
    line.command("fault silent");
    std::vector<double> samples = timeRuns(3, [&] {
        readReference(proxy);
        readReference(proxy); // reopens the link
    });
    print("silent module: request to failure", stats(samples));
    line.command("fault none");
}

long residentKb()
{
    QFile status(QStringLiteral("/proc/self/status"));
    status.open(QIODevice::ReadOnly);
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').first().toLong();
    }
    return -1;
}

// Longest gap between the ticks of a 1 ms probe timer while `work` runs.
// Runs the event loop for a while; unlike QTest::qWait it never sleeps between events.
void spin(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

template <typename F>
double longestStallMs(F &&work)
{
    QElapsedTimer clock;
    clock.start();
    qint64 last = clock.nsecsElapsed(), longest = 0;
    QTimer probe;
    probe.setTimerType(Qt::PreciseTimer);
    probe.setInterval(1);
    QObject::connect(&probe, &QTimer::timeout, [&] {
        const qint64 now = clock.nsecsElapsed();
        longest = std::max(longest, now - last);
        last = now;
    });
    probe.start();
    work();
    probe.stop();
    return longest / 1e6;
}

void benchWindow(const QString &port, bool longRun)
{
    MainWindow window(true);
    window.show();
    window.findChild<QLineEdit *>(QStringLiteral("portEdit"))->setText(port);
    window.findChild<QPushButton *>(QStringLiteral("connectBtn"))->click();
    const auto refresh = [&] { QMetaObject::invokeMethod(&window, "onTimerTimeout", Qt::DirectConnection); };
    std::vector<double> samples = timeRuns(100, refresh);
    const long afterHundred = residentKb();
    const std::vector<double> more = timeRuns(100, refresh);
    samples.insert(samples.end(), more.begin(), more.end());
    print("window: one refresh (onTimerTimeout)", stats(samples));
    std::printf("resident memory after 100 refreshes: %ld kB\n", afterHundred);

    auto *check = window.findChild<QCheckBox *>(QStringLiteral("autoUpdateCheck"));
    window.findChild<QDoubleSpinBox *>(QStringLiteral("autoUpdatePeriod"))->setValue(0.01);
    const double refreshStall = longestStallMs([&] {
        check->setChecked(true);
        spin(3000);
        check->setChecked(false);
    });
    std::printf("longest event-loop stall during 3 s of auto update at 0.01 s: %.2f ms\n", refreshStall);
    window.findChild<QPushButton *>(QStringLiteral("readBtn"))->click(); // a Store of settings never read asks
    const double storeStall = longestStallMs([&] {
        QElapsedTimer timer;
        timer.start();
        window.findChild<QPushButton *>(QStringLiteral("storeBtn"))->click();
        std::printf("window: one Store (10 requests): %.2f ms\n", timer.nsecsElapsed() / 1e6);
    });
    std::printf("longest event-loop stall during a Store: %.2f ms\n", storeStall);

    if (!longRun)
        return;
    for (int i = 0; i < 9800; ++i)
        refresh();
    std::printf("resident memory after 10 000 refreshes: %ld kB\n", residentKb());
    window.findChild<QDoubleSpinBox *>(QStringLiteral("autoUpdatePeriod"))->setValue(0.5);
    const std::clock_t cpuStart = std::clock();
    check->setChecked(true);
    spin(60000);
    check->setChecked(false);
    std::printf("CPU of auto update at 0.5 s over one minute: %.2f %%\n",
                100.0 * double(std::clock() - cpuStart) / CLOCKS_PER_SEC / 60.0);
}

// Process start to window shown: a child runs main()'s steps and says when its window is
// exposed; the parent times it from the start of the process.
void benchStartup()
{
    std::vector<double> samples;
    for (int i = 0; i < 10; ++i) {
        QProcess child;
        QElapsedTimer timer;
        timer.start();
        child.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--startup-child")});
        if (!child.waitForReadyRead(10000))
            return;
        samples.push_back(timer.nsecsElapsed() / 1e6);
        child.waitForFinished();
    }
    print("process start to window shown", stats(samples));
}

int startupChild()
{
    MainWindow window(false);
    window.resize(100, 100);
    window.show();
    const bool shown = QTest::qWaitForWindowExposed(&window);
    std::puts(shown ? "shown" : "not shown");
    std::fflush(stdout);
    return shown ? 0 : 1;
}

} // namespace

int main(int argc, char **argv)
{
    QApplication application(argc, argv);
    if (application.arguments().contains(QStringLiteral("--startup-child")))
        return startupChild();
    QLoggingCategory::setFilterRules(QStringLiteral("default.debug=false"));
    const bool longRun = application.arguments().contains(QStringLiteral("--long"));
    SimLine line;
    if (!line.start({"--channel", "1=TC_K@300", "--channel", "2=TR_100Pt:3@22", "--channel", "3=TC_J@150"})) {
        std::puts("cannot start korun-sim on a socat line");
        return 1;
    }
    benchProxy(line.portName());
    benchLibmodbus(line.portName());
    benchWindow(line.portName(), longRun);
    benchSilentModule(line);
    benchStartup();
    return 0;
}
