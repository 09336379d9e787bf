// The trend's history: extremes and gaps survive decimation at every span, statistics match
// the readings summed directly, a full ring keeps the newest readings, and a module keeps
// its own readings whatever modules join or leave.
#include "trend_history.h"
#include "trend_points.h"

#include <QTest>

#include <cmath>

namespace {

const qint64 start = 1'700'000'123'456; // off every bucket boundary
const qint64 second = 1000, minute = 60 * second, day = 24 * 60 * minute;

// A point without value between two points with values, near [fromMs, toMs].
bool gapNear(const QVector<QPointF> &points, qint64 fromMs, qint64 toMs, double slackMs)
{
    for (int i = 1; i + 1 < points.size(); ++i)
        if (std::isnan(points[i].y()) && !std::isnan(points[i - 1].y()) && !std::isnan(points[i + 1].y())
            && points[i - 1].x() * 1000 <= toMs + slackMs && points[i + 1].x() * 1000 >= fromMs - slackMs)
            return true;
    return false;
}

} // namespace

class TestTrendHistory : public QObject
{
    Q_OBJECT

private slots:
    // A failed reading on either side of the newest column's boundary still breaks the line
    // when the older columns are kept from the refresh before.
    void keptColumnsKeepTheirGaps_data()
    {
        QTest::addColumn<qint64>("failedAt"); // seconds before the boundary
        QTest::newRow("before the boundary") << qint64(1);
        QTest::newRow("the newest column's first reading") << qint64(0);
    }
    void keptColumnsKeepTheirGaps()
    {
        QFETCH(qint64, failedAt);
        const int columns = 100;
        const qint64 columnMs = 6 * second, from = start / columnMs * columnMs, to = from + columns * columnMs - 1;
        const qint64 boundary = to + 1 - columnMs, gapMs = boundary - failedAt * second;
        TrendHistory history(4);
        TrendPoints points(history);
        for (qint64 t = from; t <= to; t += second) {
            history.append(0, t, t == gapMs ? NAN : 20.0f);
            if (t == boundary) // now in the newest column: the older ones are kept from here
                points.points(0, from, to, columns);
        }
        QVector<QPointF> drawn = points.points(0, from, to, columns);
        for (QPointF &p : drawn)
            p.rx() /= 1000; // as decimated() gives them
        QVERIFY(gapNear(history.decimated(0, from, to, columns), gapMs, gapMs, columnMs));
        QVERIFY(gapNear(drawn, gapMs, gapMs, columnMs));
        QCOMPARE(std::count_if(drawn.begin(), drawn.end(), [](const QPointF &p) { return std::isnan(p.y()); }), 1);
    }
    void extremesAndGapsSurvive_data()
    {
        QTest::addColumn<int>("gap"); // 0 failed reading, 1 module silent, 2 channel left out
        QTest::addColumn<qint64>("span");
        const char *gaps[] = {"failed reading", "module silent", "channel left out"};
        for (int gap = 0; gap < 3; ++gap)
            for (qint64 span : {minute, 10 * minute, 60 * minute, day})
                QTest::addRow("%s, %llds", gaps[gap], span / second) << gap << span;
    }
    void extremesAndGapsSurvive()
    {
        QFETCH(int, gap);
        QFETCH(qint64, span);
        TrendHistory history(2);
        const qint64 end = start + day, gapFrom = end - 50 * second, gapTo = end - (gap ? 20 : 49) * second;
        for (qint64 t = start; t < end; t += second) {
            const bool inGap = t >= gapFrom && t < gapTo;
            if (!(inGap && gap == 1))
                history.append(0, t, 20);
            float value = t == end - 10 * second ? 100 : t == end - 5 * second ? -50 : 20 + std::sin(t / 1e5);
            if (inGap && gap == 0)
                value = NAN;
            if (!inGap || gap == 0)
                history.append(1, t, value);
        }
        const int columns = 1200;
        const QVector<QPointF> points = history.decimated(1, end - span, end, columns);
        QVERIFY(points.size() <= 6 * columns);
        double low = INFINITY, high = -INFINITY;
        for (const QPointF &p : points) {
            low = std::min(low, p.y());
            high = std::max(high, p.y());
        }
        QCOMPARE(high, 100.0);
        QCOMPARE(low, -50.0);
        QVERIFY(gapNear(points, gapFrom, gapTo, 2.0 * span / columns + second));
        QVERIFY(!gapNear(history.decimated(0, end - span, end, columns), start, gapFrom - 2 * minute, 0));
    }

    void statisticsMatchTheReadings_data()
    {
        QTest::addColumn<qint64>("from");
        QTest::addColumn<qint64>("to");
        QTest::newRow("all") << start - minute << start + 2 * 3600 * second;
        QTest::newRow("unaligned part") << start + 123'400 << start + 4'321'000;
        QTest::newRow("within one bucket") << start + 61'000 << start + 62'500;
    }
    void statisticsMatchTheReadings()
    {
        QFETCH(qint64, from);
        QFETCH(qint64, to);
        TrendHistory history(1);
        double n = 0, sum = 0, squares = 0, low = INFINITY, high = -INFINITY;
        for (qint64 t = start; t < start + 3600 * second; t += 500) {
            const bool failed = (t - start) % 3700 == 0;
            const float value = 10 + float(t - start) / minute; // a ramp of 1 degC/min
            history.append(0, t, failed ? NAN : value);
            if (failed || t < from || t > to)
                continue;
            ++n;
            sum += value;
            squares += double(value) * value;
            low = std::min(low, double(value));
            high = std::max(high, double(value));
        }
        const TrendHistory::Statistics s = history.statistics(0, from, to);
        QCOMPARE(s.count, int(n));
        QCOMPARE(s.minimum, low);
        QCOMPARE(s.maximum, high);
        QVERIFY(std::abs(s.mean - sum / n) < 1e-9);
        QVERIFY(std::abs(s.standardDeviation - std::sqrt((squares - sum * sum / n) / (n - 1))) < 1e-6);
        QVERIFY(std::abs(s.ratePerMinute - 1) < 1e-3); // float readings
    }

    void fullRingKeepsTheNewest()
    {
        TrendHistory history(1, 100);
        for (int i = 0; i < 250; ++i)
            history.append(0, start + i * second, float(i));
        const TrendHistory::Statistics s = history.statistics(0, start, start + day);
        QCOMPARE(s.count, 100);
        QCOMPARE(s.minimum, 150.0);
        QCOMPARE(s.maximum, 249.0);
        for (int columns : {10, 1000}) {
            const QVector<QPointF> points = history.decimated(0, start - day, start + day, columns);
            QVERIFY(!points.isEmpty());
            QCOMPARE(points.first(), QPointF((start + 150 * second) / 1000.0, 150));
            QCOMPARE(points.last().y(), 249.0);
        }
    }

    // Modules A, B polled, then C, B: B keeps its readings and goes on from them, C starts
    // empty (never A's), and the curves drawn before are not reused for the new layout.
    void modulesKeepTheirOwnHistory()
    {
        TrendHistory history(8, 100);
        TrendPoints curve(history);
        for (int i = 0; i < 10; ++i)
            for (int channel = 0; channel < 8; ++channel)
                history.append(channel, start + i * second, float(100 * (channel / 4) + i));
        QCOMPARE(curve.points(0, start, start + 9 * second + 9, 10).first().y(), 0.0);
        history.moveModules({-1, 1});
        QVERIFY(history.readings(0, start - day, start + day).isEmpty());
        QCOMPARE(curve.points(0, start, start + 9 * second + 9, 10), QVector<QPointF>());
        history.append(5, start + 10 * second, 110);
        const auto kept = history.readings(5, start - day, start + day);
        QCOMPARE(kept.size(), 11);
        QCOMPARE(kept.first().second, 100.f);
        QCOMPARE(history.statistics(5, start, start + day).maximum, 110.0);
        history.append(0, start + 11 * second, 7);
        QCOMPARE(history.readings(0, start - day, start + day).size(), 1);
    }
};

QTEST_GUILESS_MAIN(TestTrendHistory)
#include "tst_trend_history.moc"
