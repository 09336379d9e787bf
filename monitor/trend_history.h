#pragma once

#include <QPair>
#include <QPointF>
#include <QVector>
#include <QtGlobal>

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <deque>
#include <vector>

// The line's readings of the last hours, kept so that any span of them, up to the whole
// day, can be drawn and summed without walking the raw readings of that span.
//
// The four channels of a module come from one request and carry one reading time, so each
// module keeps a single ring of reading times beside one ring of floats per channel. Next
// to the rings, summaries are kept as the readings arrive: extremes per fine bucket
// (fine enough for a day in a wide window), extremes and sums per coarse bucket (for
// statistics and narrow windows). Buckets are aligned on the clock, so that every channel
// of a module shares its bucket boundaries.
//
// A gap in the trend is where a reading failed (NaN) and where a channel or its whole module
// went without readings for longer than a few times its usual interval; both are kept as a
// failed reading in the ring, so that drawing and statistics treat them alike.
class TrendHistory
{
public:
    // `capacity` reading times per module; a module's channels share them.
    explicit TrendHistory(int channelCount, int capacity = 24 * 3600, int channelsPerModule = 4);
    TrendHistory(const TrendHistory &) = delete;
    TrendHistory &operator=(const TrendHistory &) = delete;

    int channelCount() const { return int(channels.size()); }
    int capacity() const { return rowCapacity; }

    // One reading of a channel at msecs since the epoch (UTC), in time order per channel;
    // NaN for a failed or missing reading. A reading older than its module's newest time
    // must carry one of the module's recent times (channels of one request); else it is
    // dropped and counted. A second reading of a channel at the same time is ignored.
    void append(int channel, qint64 msecs, float value);

    // Module m (channels m * perModule ...) takes what module from[m] had, or starts empty
    // for -1 or past the end of `from`: a module keeps its trend when others join or leave,
    // and no module is ever shown another's. Changes layoutGeneration().
    void moveModules(const QVector<int> &from);
    int layoutGeneration() const { return generation; }

    // For drawing [fromMs, toMs] over `columns` pixel columns: first/min/max/last of each
    // column, x in seconds since the epoch; a point with NaN y splits the line where a gap is.
    // `gaps`, when given, says whether a failed reading comes before the first valid one
    // and after the last one: the breaks that part this span from its neighbours.
    struct SpanGaps {
        bool before = false, after = false;
    };
    QVector<QPointF> decimated(int channel, qint64 fromMs, qint64 toMs, int columns, SpanGaps *gaps = nullptr) const;

    struct Statistics
    {
        int count = 0;
        double minimum = NAN, maximum = NAN, mean = NAN, standardDeviation = NAN, ratePerMinute = NAN;
    };
    // Over the readings (not NaN) in [fromMs, toMs]: the standard deviation of a sample
    // (n - 1), ratePerMinute the slope of the least-squares line in degC/min.
    Statistics statistics(int channel, qint64 fromMs, qint64 toMs) const;
    // Every reading of the channel in [fromMs, toMs], NaN for a failed one, in time order.
    QVector<QPair<qint64, float>> readings(int channel, qint64 fromMs, qint64 toMs) const;

    std::size_t memoryBytes() const;
    qint64 droppedReadings() const { return dropped; }

private:
    struct Level
    {
        std::deque<qint32> keys;      // start of the bucket / bucket length
        std::deque<qint64> firstRows; // first row of the bucket (rows count from 0 for ever)
    };
    struct Lane // the channels of one module
    {
        int firstChannel = 0;
        int size = 0;
        qint64 nextRow = 0;
        qint64 newestMs = 0;
        double intervalMs = 0;        // the usual time between two reading times
        std::vector<quint16> offsets; // per row: ms since the start of its fine bucket
        Level fine, coarse;
    };
    struct Extent
    {
        float minimum = INFINITY, maximum = -INFINITY;
    };
    struct Summary
    {
        Extent extent;
        quint8 flags = 0;
        qint32 count = 0;
        // t in seconds since the start of the bucket, v in degC
        double sum = 0, sumSquares = 0, sumT = 0, sumTT = 0, sumTV = 0;

        // The sums of a single reading at t = 0.
        static Summary of(float value)
        {
            Summary one;
            one.count = 1;
            one.sum = value;
            one.sumSquares = double(value) * value;
            return one;
        }
    };
    struct Channel
    {
        std::vector<float> values; // per row of its lane
        std::deque<Extent> fine;
        std::deque<quint8> fineFlags;
        std::deque<Summary> coarse;
        qint64 lastRow = -1;
        qint64 lastMs = 0;
    };
    struct Piece;
    class Decimator;
    // Where failed readings lie against the valid ones of a bucket, and in which order its
    // extremes came: enough to draw the gaps and the extremes in place without the readings.
    enum Flag : quint8 { NanFirst = 1, NanBetween = 2, NanAfter = 4, MinAfterMax = 8 };
    static void noteReading(Extent &extent, quint8 &flags, float value);

    std::size_t slot(qint64 row) const { return std::size_t(row % rowCapacity); }
    qint64 oldestRow(const Lane &lane) const { return std::max<qint64>(0, lane.nextRow - rowCapacity); }
    static int bucketIndex(const Level &level, qint64 row);
    static qint64 bucketEnd(const Lane &lane, const Level &level, int index);
    qint64 rowTime(const Lane &lane, qint64 row) const;
    qint64 findRow(const Lane &lane, const Channel &channel, qint64 msecs) const;
    void addRow(Lane &lane, qint64 msecs, bool gap);
    void store(Lane &lane, int channel, qint64 row, qint64 msecs, float value);
    void dropEvictedBuckets(Lane &lane);
    static void addSums(Summary &into, const Summary &from, double shiftSeconds);
    Piece piece(const Lane &lane, const Channel &channel, bool coarse, int index) const;
    template <class Visit>
    void visitReadings(const Lane &lane, const Channel &channel, qint64 fromMs, qint64 toMs, Visit visit) const;
    template <class Whole, class Visit>
    void visitSpan(const Lane &lane, const Channel &channel, bool coarse, qint64 fromMs, qint64 toMs, Whole whole,
                   Visit visit) const;

    int rowCapacity;
    int perLane;
    std::vector<Lane> lanes;
    std::vector<Channel> channels;
    qint64 dropped = 0;
    int generation = 0;
};

// Below: how a span is cut into pixel columns; of no concern to the users of the class.

struct TrendHistory::Piece // a reading, or a bucket of them
{
    qint64 firstMs = 0, lastMs = 0; // of its first and last valid reading
    double middleMs = 0;
    float first = NAN, last = NAN;
    Extent extent;
    quint8 flags = 0;
    bool valid() const { return extent.minimum <= extent.maximum; }
};

// Gathers readings and buckets per pixel column and hands out the first, the extremes in
// time order and the last of each column: the line then looks as if every reading were drawn.
class TrendHistory::Decimator
{
public:
    Decimator(qint64 fromMs, qint64 toMs, int columns, QVector<QPointF> &out)
        : from(fromMs), columnMs(double(toMs - fromMs + 1) / columns), perMs(1 / columnMs), columns(columns), out(out)
    {
        out.reserve(4 * columns);
    }

    void reading(qint64 t, float value)
    {
        Piece p;
        p.firstMs = p.lastMs = t;
        p.middleMs = double(t);
        p.first = p.last = value;
        noteReading(p.extent, p.flags, value);
        add(p);
    }

    void add(const Piece &p)
    {
        if (p.flags & NanFirst)
            pending = true;
        if (!p.valid())
            return;
        const int k = qBound(0, int((p.middleMs - from) * perMs), columns - 1);
        if (any && k != index)
            flush();
        index = k;
        if (pending)
            (any ? breakInside : breakBefore) = true;
        pending = false;
        if (!any) {
            any = true;
            firstMs = p.firstMs;
            first = p.first;
            minimum = p.extent.minimum;
            maximum = p.extent.maximum;
        }
        // twice the time, odd for the later of the pair, so that a bucket's extremes keep their order
        const double order = 2 * p.middleMs, maxFirst = (p.flags & MinAfterMax) ? 1 : 0;
        if (p.extent.minimum <= minimum)
            minimum = p.extent.minimum, minimumOrder = order + maxFirst;
        if (p.extent.maximum >= maximum)
            maximum = p.extent.maximum, maximumOrder = order + 1 - maxFirst;
        if (p.flags & NanBetween)
            breakInside = true;
        lastMs = p.lastMs;
        last = p.last;
        if (p.flags & NanAfter)
            pending = true;
    }

    void finish(SpanGaps *gaps)
    {
        if (any)
            flush();
        if (gaps) {
            gaps->before = leadingGap;
            gaps->after = pending;
        }
    }

private:
    void flush()
    {
        const double start = from + index * columnMs;
        left = std::max(left, start);
        right = start + columnMs;
        if (breakBefore)
            point(double(firstMs), NAN);
        point(double(firstMs), first);
        const bool minimumFirst = minimumOrder <= maximumOrder;
        point((minimumFirst ? minimumOrder : maximumOrder) / 2, minimumFirst ? minimum : maximum);
        point((minimumFirst ? maximumOrder : minimumOrder) / 2, minimumFirst ? maximum : minimum);
        if (breakInside)
            point(double(lastMs), NAN);
        point(double(lastMs), last);
        any = breakBefore = breakInside = false;
    }

    // x kept inside the column and never going back, so that the line stays a function of time
    void point(double ms, float value)
    {
        left = qBound(left, ms, right);
        const QPointF p(left / 1000.0, double(value));
        if (std::isnan(value) ? !out.isEmpty() && !std::isnan(out.last().y()) : out.isEmpty() || out.last() != p)
            out.append(p);
        leadingGap = leadingGap || (std::isnan(value) && out.isEmpty());
    }

    const double from, columnMs, perMs;
    const int columns;
    QVector<QPointF> &out;
    double left = -INFINITY, right = INFINITY;
    bool pending = false; // a failed reading since the last valid one
    bool leadingGap = false; // a failed reading before the first valid one
    bool any = false, breakBefore = false, breakInside = false;
    int index = 0;
    qint64 firstMs = 0, lastMs = 0;
    float first = 0, last = 0, minimum = 0, maximum = 0;
    double minimumOrder = 0, maximumOrder = 0;
};
