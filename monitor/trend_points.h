#pragma once

#include <QPointF>
#include <QVector>

class TrendHistory;

// The points of one curve for a span cut into pixel columns, x in msecs. When the span is
// whole columns of whole msecs, as it is while the trend follows now, all but the newest
// column are kept for the next call with the same span: readings only ever arrive in the
// newest column, so a refresh decimates one column instead of the day.
class TrendPoints
{
public:
    explicit TrendPoints(const TrendHistory &history) : history(history) {}

    QVector<QPointF> points(int channel, qint64 fromMs, qint64 toMs, int columns);

private:
    const TrendHistory &history;
    int keptChannel = -1;
    int keptGeneration = -1;
    qint64 keptFrom = 0, keptTo = 0;
    int keptColumns = 0;
    QVector<QPointF> kept;
    bool gapAfterKept = false;
};
