// The trend over a full day of a full line: 64 channels read every second for 24 h, with a
// few failed readings and silences. Prints the fill time, the memory held, and the times of
// drawing (refresh with its replot, then a paint into an image) and of statistics.
//
//   bench_trend [--png DIR]   also writes the drawn trends to DIR, to look at
#include "trend_history.h"
#include "trend_plot.h"

#include <QApplication>
#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QImage>
#include <QPixmap>
#include <qwt_plot_renderer.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <vector>

namespace {

const int channelCount = 64;
const qint64 second = 1000, minute = 60 * second, hour = 60 * minute, day = 24 * hour;

long rssKiB()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : status.readAll().split('\n'))
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').value(0).toLong();
    return -1;
}

template <class Work>
double medianMs(int runs, Work work)
{
    std::vector<double> times;
    for (int i = 0; i < runs; ++i) {
        QElapsedTimer timer;
        timer.start();
        work();
        times.push_back(timer.nsecsElapsed() / 1e6);
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

// Each module is read 37 ms after the one before it; gaps where the plots can show them.
void fill(TrendHistory &history, qint64 end)
{
    const qint64 begin = end - day;
    for (qint64 t0 = begin; t0 < end; t0 += second) {
        const qint64 ago = end - t0;
        for (int module = 0; module < channelCount / 4; ++module) {
            if (module == 5 && ago <= 20 * minute && ago > 15 * minute)
                continue; // a module silent for 5 minutes
            if (module == 3 && ago <= 13 * hour && ago > 12 * hour)
                continue; // and one for an hour
            const qint64 t = t0 + module * 37;
            for (int c = module * 4; c < module * 4 + 4; ++c) {
                if (c == 2 && ago <= 10 * minute && ago > 8 * minute)
                    continue; // a channel left out of its module's readings
                float value = float(15 + c * 1.5 + 3 * std::sin(double(t - begin) / (600'000.0 + 9'700 * c)));
                if (c == 9 && ago <= 40 * minute && ago > 35 * minute)
                    value = NAN; // failed readings
                if (c == 20 && (t0 / second) % 600 == 0)
                    value = NAN; // a failed reading every 10 minutes
                if (c == 0 && ago == 6 * hour)
                    value = 140; // a spike of one reading
                history.append(c, t, value);
            }
        }
    }
}

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const QStringList args = app.arguments();
    const int pngAt = args.indexOf(QStringLiteral("--png"));
    const QString pngDir = pngAt > 0 ? args.value(pngAt + 1) : QString();

    const long rssBefore = rssKiB();
    TrendHistory history(channelCount);
    const qint64 end = QDateTime::currentMSecsSinceEpoch();
    QElapsedTimer timer;
    timer.start();
    fill(history, end);
    const double fillMs = timer.nsecsElapsed() / 1e6;
    const long rssAfter = rssKiB();
    std::printf("fill 24 h x 1 s x %d channels (%.1f M readings): %.0f ms, %.0f ns per reading\n", channelCount,
                channelCount * 86400 / 1e6, fillMs, fillMs * 1e6 / (channelCount * 86400.0));
    std::printf("memoryBytes(): %.1f MB; RSS %.1f MB before the fill, %.1f MB after (+%.1f MB)\n",
                history.memoryBytes() / 1e6, rssBefore / 1024.0, rssAfter / 1024.0, (rssAfter - rssBefore) / 1024.0);

    const int runs = 21;
    std::printf("\n%-8s %-7s %14s %16s %16s %12s\n", "curves", "span", "decimate ms", "refresh+grab ms",
                "render img ms", "points");
    for (int curves : {16, 64}) {
        TrendPlot plot(history);
        plot.resize(1200, 600);
        plot.show();
        QVector<int> channels;
        QStringList names;
        for (int c = 0; c < curves; ++c) {
            channels << c;
            names << QStringLiteral("M%1 ch%2").arg(c / 4 + 1).arg(c % 4 + 1);
        }
        plot.setChannels(channels, names);
        QApplication::processEvents();
        const int columns = plot.canvas()->contentsRect().width();
        for (int span : {60, 3600, 86400}) {
            plot.setSpanSeconds(span);
            QApplication::processEvents();
            const auto range = plot.visibleRangeMs();
            int points = 0;
            const double decimate = medianMs(runs, [&] {
                points = 0;
                for (int c = 0; c < curves; ++c)
                    points += history.decimated(c, range.first, range.second, columns).size();
            });
            const double drawn = medianMs(runs, [&] {
                plot.refresh();
                const QPixmap image = plot.grab();
                Q_UNUSED(image);
            });
            QImage image(plot.size(), QImage::Format_ARGB32_Premultiplied);
            QwtPlotRenderer renderer;
            const double rendered = medianMs(runs, [&] {
                image.fill(Qt::white);
                renderer.renderTo(&plot, image);
            });
            std::printf("%-8d %-7s %14.2f %16.2f %16.2f %12d\n", curves,
                        span == 60 ? "1 min" : span == 3600 ? "1 h" : "24 h", decimate, drawn, rendered, points);
            if (!pngDir.isEmpty() && curves == 64)
                plot.grab().save(QDir(pngDir).filePath(QStringLiteral("trend-64-%1s.png").arg(span)));
        }
        std::printf("canvas %d px wide\n", columns);
    }

    const double stats = medianMs(runs, [&] {
        for (int c = 0; c < channelCount; ++c)
            history.statistics(c, end - day, end);
    });
    const TrendHistory::Statistics s = history.statistics(9, end - day, end);
    std::printf("\nstatistics over 24 h of %d channels: %.2f ms (channel 10: %d readings, mean %.3f, sd %.3f, "
                "%.4f degC/min)\n",
                channelCount, stats, s.count, s.mean, s.standardDeviation, s.ratePerMinute);
    std::printf("RSS at the end: %.1f MB\n", rssKiB() / 1024.0);
    return 0;
}
