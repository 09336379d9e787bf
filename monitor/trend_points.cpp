#include "trend_points.h"

#include "trend_history.h"

#include <cmath>

namespace {

QVector<QPointF> inMsecs(QVector<QPointF> points)
{
    for (QPointF &p : points)
        p.rx() *= 1000; // the date scales count msecs
    return points;
}

} // namespace

QVector<QPointF> TrendPoints::points(int channel, qint64 fromMs, qint64 toMs, int columns)
{
    const qint64 width = toMs - fromMs + 1;
    if (columns < 2 || width % columns != 0)
        return inMsecs(history.decimated(channel, fromMs, toMs, columns));
    const qint64 newest = toMs + 1 - width / columns;
    if (channel != keptChannel || history.layoutGeneration() != keptGeneration || fromMs != keptFrom
        || newest - 1 != keptTo || columns != keptColumns) {
        TrendHistory::SpanGaps gaps;
        kept = inMsecs(history.decimated(channel, fromMs, newest - 1, columns - 1, &gaps));
        gapAfterKept = gaps.after;
        keptChannel = channel;
        keptGeneration = history.layoutGeneration();
        keptFrom = fromMs;
        keptTo = newest - 1;
        keptColumns = columns;
    }
    TrendHistory::SpanGaps gaps;
    const QVector<QPointF> last = inMsecs(history.decimated(channel, newest, toMs, 1, &gaps));
    QVector<QPointF> all = kept;
    // A failed reading on either side of the column boundary is a break in the line there.
    if (!last.isEmpty() && !all.isEmpty() && !std::isnan(all.last().y()) && (gapAfterKept || gaps.before))
        all.append(QPointF(last.first().x(), NAN));
    all += last;
    return all;
}
