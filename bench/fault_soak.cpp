// Auto update at 0.01 s for a given number of completed refreshes while the simulated
// module misbehaves in turn (silent, exceptions, bad CRC, wrong lengths, late, a vanishing
// line), then one clean refresh. Prints the longest event-loop stall, the requests and
// whether the window shows the module's temperature again.
//   fault_soak [TICKS]       default 3000
#include "window_fixture.h"

#include <QApplication>
#include <QLoggingCategory>

#include <cstdio>

int main(int argc, char **argv)
{
    QApplication application(argc, argv);
    QLoggingCategory::setFilterRules(QStringLiteral("default.debug=false\nqt.modbus*=false"));
    const int wanted = application.arguments().value(1, QStringLiteral("3000")).toInt();
    const QStringList module = {"--channel", "1=TC_K@300", "--channel", "2=TR_100Pt@20"};
    const QStringList faults = {"silent", "exception 6 @0020", "badcrc", "short @0100", "late 300",
                                "exception 2 @2000", "long", "vanish", "late 250 every 7", "twice"};

    WindowFixture f;
    if (!f.connect(module + QStringList{"--noise", "0.1"}))
        return 1;
    QSignalSpy ticks(f.refreshTimer(), &QTimer::timeout);
    ResponsivenessProbe probe;
    QElapsedTimer elapsed;
    elapsed.start();
    f.setAutoUpdate(true, 0.01);
    for (int round = 0; ticks.size() < wanted; ++round) {
        const QString fault = faults[round % faults.size()];
        f.line.command("fault " + fault);
        QTest::qWait(300);
        if (fault == QLatin1String("vanish")) {
            f.line.stop();
            f.line.start(module);
        } else {
            f.line.command("fault none");
        }
        QTest::qWait(700);
    }
    f.setAutoUpdate(false);
    QTest::qWait(400);
    f.refreshOnce();
    f.refreshOnce();
    const double temperature = f.channelText(1, "Temp").toDouble();
    std::printf("%d refreshes in %.1f s, longest stall %lld ms, %d writes, %d stale fields, channel 1 %.2f degC\n",
                int(ticks.size()), elapsed.elapsed() / 1000.0, probe.longestStallMs(), writesIn(f.line.requests()),
                f.staleFields(), temperature);
    return qAbs(temperature - 300) < 0.5 && f.staleFields() == 0 ? 0 : 1;
}
