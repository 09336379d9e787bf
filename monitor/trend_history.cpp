#include "trend_history.h"

#include <cstring>

namespace {

// Fine buckets: a day across 4000 pixel columns still gets two of them per column.
constexpr qint64 fineMs = 10 * 1000;
// Coarse buckets carry the sums of the statistics; few enough to add up a day at once.
constexpr qint64 coarseMs = 5 * 60 * 1000;
// Readings further apart than this many usual intervals are not joined by the line.
constexpr double gapFactor = 4;
// How far back a reading may look for its module's row of the same time.
constexpr qint64 searchDepth = 256;

// Two NaN patterns: a failed reading, and a row of the module without a reading of this
// channel (another channel of the module was read at that time), which is skipped.
constexpr quint32 missingBits = 0x7fc0'0001u;
const float failedValue = NAN;

float fromBits(quint32 bits)
{
    float value;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}
const float missingValue = fromBits(missingBits);

bool isMissing(float value)
{
    quint32 bits;
    std::memcpy(&bits, &value, sizeof bits);
    return bits == missingBits;
}

qint64 floorDiv(qint64 a, qint64 b)
{
    return a / b - (a % b < 0 ? 1 : 0);
}

template <class Keys>
int firstFrom(const Keys &keys, qint64 key)
{
    return int(std::lower_bound(keys.begin(), keys.end(), key) - keys.begin());
}

// Grows to exactly the capacity, so that a young history holds only what it has.
template <class T>
void put(std::vector<T> &ring, std::size_t slot, std::size_t capacity, T value)
{
    if (slot < ring.size()) {
        ring[slot] = value;
        return;
    }
    if (ring.size() == ring.capacity())
        ring.reserve(std::min(capacity, std::max<std::size_t>(4096, ring.size() * 2)));
    ring.push_back(value);
}

} // namespace

void TrendHistory::noteReading(Extent &extent, quint8 &flags, float value)
{
    const bool empty = extent.minimum > extent.maximum;
    if (std::isnan(value)) {
        flags |= empty ? NanFirst : NanAfter;
        return;
    }
    if (flags & NanAfter)
        flags = quint8((flags & ~NanAfter) | NanBetween);
    if (empty)
        extent.minimum = extent.maximum = value;
    if (value < extent.minimum)
        flags |= MinAfterMax;
    if (value > extent.maximum || empty)
        flags &= quint8(~MinAfterMax);
    extent.minimum = std::min(extent.minimum, value);
    extent.maximum = std::max(extent.maximum, value);
}

TrendHistory::TrendHistory(int channelCount, int capacity, int channelsPerModule)
    : rowCapacity(std::max(1, capacity)), perLane(std::max(1, channelsPerModule)),
      channels(std::size_t(std::max(0, channelCount)))
{
    for (int first = 0; first < channelCount; first += perLane) {
        lanes.emplace_back();
        lanes.back().firstChannel = first;
        lanes.back().size = std::min(perLane, channelCount - first);
    }
}

void TrendHistory::moveModules(const QVector<int> &from)
{
    std::vector<Lane> oldLanes = std::move(lanes);
    std::vector<Channel> oldChannels = std::move(channels);
    channels = std::vector<Channel>(oldChannels.size());
    lanes = std::vector<Lane>(oldLanes.size());
    for (std::size_t module = 0; module < lanes.size(); ++module) {
        const int source = int(module) < from.size() ? from[int(module)] : -1;
        Lane &lane = lanes[module];
        if (source >= 0 && source < int(oldLanes.size())) {
            const int oldFirst = oldLanes[std::size_t(source)].firstChannel;
            lane = std::move(oldLanes[std::size_t(source)]);
            for (int c = 0; c < lane.size; ++c)
                channels[std::size_t(int(module) * perLane + c)] = std::move(oldChannels[std::size_t(oldFirst + c)]);
        }
        lane.firstChannel = int(module) * perLane;
        lane.size = std::min(perLane, channelCount() - lane.firstChannel);
    }
    ++generation;
}

void TrendHistory::append(int channel, qint64 msecs, float value)
{
    if (channel < 0 || channel >= channelCount())
        return;
    Lane &lane = lanes[channel / perLane];
    Channel &ch = channels[channel];
    if (std::isnan(value))
        value = failedValue;
    qint64 row;
    if (lane.nextRow == 0 || msecs > lane.newestMs) {
        if (lane.nextRow > 0) {
            // The whole module went quiet: a failed row at the start of the silence.
            const double interval = double(msecs - lane.newestMs), usual = lane.intervalMs;
            if (usual > 0 && interval > gapFactor * usual && interval >= 2)
                addRow(lane, lane.newestMs + 1, true);
            lane.intervalMs = usual > 0 ? usual + (std::min(interval, gapFactor * usual) - usual) / 4 : interval;
        }
        addRow(lane, msecs, false);
        row = lane.nextRow - 1;
    } else if ((row = findRow(lane, ch, msecs)) < 0) {
        ++dropped;
        return;
    }
    if (!isMissing(ch.values[slot(row)]))
        return;
    // This channel was left out of its module's readings for as long: its row before this
    // one becomes a failed reading.
    if (ch.lastRow >= oldestRow(lane) && ch.lastRow < row - 1 && msecs - ch.lastMs > gapFactor * lane.intervalMs
        && isMissing(ch.values[slot(row - 1)]))
        store(lane, channel, row - 1, msecs, failedValue);
    store(lane, channel, row, msecs, value);
    if (row > ch.lastRow)
        ch.lastRow = row, ch.lastMs = msecs;
}

void TrendHistory::addRow(Lane &lane, qint64 msecs, bool gap)
{
    const qint64 row = lane.nextRow++;
    const qint64 fineKey = floorDiv(msecs, fineMs), coarseKey = floorDiv(msecs, coarseMs);
    const int end = lane.firstChannel + lane.size;
    if (lane.fine.keys.empty() || lane.fine.keys.back() != fineKey) {
        lane.fine.keys.push_back(qint32(fineKey));
        lane.fine.firstRows.push_back(row);
        for (int c = lane.firstChannel; c < end; ++c) {
            channels[c].fine.emplace_back();
            channels[c].fineFlags.push_back(0);
        }
    }
    if (lane.coarse.keys.empty() || lane.coarse.keys.back() != coarseKey) {
        lane.coarse.keys.push_back(qint32(coarseKey));
        lane.coarse.firstRows.push_back(row);
        for (int c = lane.firstChannel; c < end; ++c)
            channels[c].coarse.emplace_back();
    }
    const std::size_t capacity = std::size_t(rowCapacity);
    put(lane.offsets, slot(row), capacity, quint16(msecs - fineKey * fineMs));
    for (int c = lane.firstChannel; c < end; ++c)
        put(channels[c].values, slot(row), capacity, missingValue);
    lane.newestMs = msecs;
    if (row >= rowCapacity)
        dropEvictedBuckets(lane);
    for (int c = lane.firstChannel; gap && c < end; ++c) {
        store(lane, c, row, msecs, failedValue);
        channels[c].lastRow = row;
        channels[c].lastMs = msecs;
    }
}

void TrendHistory::store(Lane &lane, int channel, qint64 row, qint64 msecs, float value)
{
    Channel &ch = channels[channel];
    ch.values[slot(row)] = value;
    const int f = bucketIndex(lane.fine, row), k = bucketIndex(lane.coarse, row);
    noteReading(ch.fine[f], ch.fineFlags[f], value);
    Summary &sums = ch.coarse[k];
    noteReading(sums.extent, sums.flags, value);
    if (std::isnan(value))
        return;
    addSums(sums, Summary::of(value), (msecs - qint64(lane.coarse.keys[k]) * coarseMs) / 1000.0);
}

// Sums with t counted from a start `shiftSeconds` before the start of `from`.
void TrendHistory::addSums(Summary &into, const Summary &from, double shiftSeconds)
{
    const double shift = shiftSeconds, n = from.count;
    into.count += from.count;
    into.sum += from.sum;
    into.sumSquares += from.sumSquares;
    into.sumT += from.sumT + n * shift;
    into.sumTT += from.sumTT + 2 * shift * from.sumT + n * shift * shift;
    into.sumTV += from.sumTV + shift * from.sum;
}

void TrendHistory::dropEvictedBuckets(Lane &lane)
{
    const qint64 oldest = oldestRow(lane);
    const int end = lane.firstChannel + lane.size;
    for (Level *level : {&lane.fine, &lane.coarse}) {
        while (level->firstRows.size() > 1 && level->firstRows[1] <= oldest) {
            level->keys.pop_front();
            level->firstRows.pop_front();
            for (int c = lane.firstChannel; c < end; ++c) {
                if (level == &lane.coarse) {
                    channels[c].coarse.pop_front();
                } else {
                    channels[c].fine.pop_front();
                    channels[c].fineFlags.pop_front();
                }
            }
        }
    }
}

int TrendHistory::bucketIndex(const Level &level, qint64 row)
{
    const auto &rows = level.firstRows;
    if (row >= rows.back())
        return int(rows.size()) - 1;
    return int(std::upper_bound(rows.begin(), rows.end(), row) - rows.begin()) - 1;
}

qint64 TrendHistory::bucketEnd(const Lane &lane, const Level &level, int index)
{
    return std::size_t(index + 1) < level.firstRows.size() ? level.firstRows[index + 1] : lane.nextRow;
}

qint64 TrendHistory::rowTime(const Lane &lane, qint64 row) const
{
    return qint64(lane.fine.keys[bucketIndex(lane.fine, row)]) * fineMs + lane.offsets[slot(row)];
}

qint64 TrendHistory::findRow(const Lane &lane, const Channel &channel, qint64 msecs) const
{
    const qint64 lowest = std::max({oldestRow(lane), channel.lastRow + 1, lane.nextRow - searchDepth});
    for (qint64 row = lane.nextRow - 1; row >= lowest; --row) {
        const qint64 t = rowTime(lane, row);
        if (t <= msecs)
            return t == msecs ? row : -1;
    }
    return -1;
}

template <class Visit>
void TrendHistory::visitReadings(const Lane &lane, const Channel &channel, qint64 fromMs, qint64 toMs,
                                 Visit visit) const
{
    const qint64 oldest = oldestRow(lane);
    for (int i = firstFrom(lane.fine.keys, floorDiv(fromMs, fineMs)); i < int(lane.fine.keys.size()); ++i) {
        const qint64 start = qint64(lane.fine.keys[i]) * fineMs;
        if (start > toMs)
            return;
        const qint64 first = std::max(lane.fine.firstRows[i], oldest), end = bucketEnd(lane, lane.fine, i);
        std::size_t s = slot(first);
        for (qint64 row = first; row < end; ++row, s = s + 1 == std::size_t(rowCapacity) ? 0 : s + 1) {
            const qint64 t = start + lane.offsets[s];
            if (t > toMs)
                return;
            if (t >= fromMs && !isMissing(channel.values[s]))
                visit(t, channel.values[s]);
        }
    }
}

// Buckets wholly inside the span and wholly kept go to `whole`; the readings of the others
// that lie in the span go to `visit`.
template <class Whole, class Visit>
void TrendHistory::visitSpan(const Lane &lane, const Channel &channel, bool coarse, qint64 fromMs, qint64 toMs,
                             Whole whole, Visit visit) const
{
    const Level &level = coarse ? lane.coarse : lane.fine;
    const qint64 length = coarse ? coarseMs : fineMs, oldest = oldestRow(lane);
    for (int i = firstFrom(level.keys, floorDiv(fromMs, length)); i < int(level.keys.size()); ++i) {
        const qint64 start = qint64(level.keys[i]) * length, last = start + length - 1;
        if (start > toMs)
            return;
        if (start >= fromMs && last <= toMs && level.firstRows[i] >= oldest)
            whole(i, start);
        else
            visitReadings(lane, channel, std::max(fromMs, start), std::min(toMs, last), visit);
    }
}

TrendHistory::Piece TrendHistory::piece(const Lane &lane, const Channel &channel, bool coarse, int index) const
{
    const Level &level = coarse ? lane.coarse : lane.fine;
    const qint64 length = coarse ? coarseMs : fineMs, start = qint64(level.keys[index]) * length;
    Piece p;
    p.extent = coarse ? channel.coarse[index].extent : channel.fine[index];
    p.flags = coarse ? channel.coarse[index].flags : channel.fineFlags[index];
    p.middleMs = start + length / 2.0;
    if (!p.valid())
        return p;
    // First and last valid reading: the bucket has one, so both searches end inside it.
    const qint64 begin = level.firstRows[index], end = bucketEnd(lane, level, index);
    const std::size_t ring = std::size_t(rowCapacity);
    auto timeOf = [&](qint64 row) { return coarse ? rowTime(lane, row) : start + lane.offsets[slot(row)]; };
    std::size_t s = slot(begin), row = 0;
    for (; std::isnan(channel.values[s]); ++row)
        s = s + 1 == ring ? 0 : s + 1;
    p.first = channel.values[s];
    p.firstMs = timeOf(begin + qint64(row));
    s = slot(end - 1);
    for (row = 0; std::isnan(channel.values[s]); ++row)
        s = s == 0 ? ring - 1 : s - 1;
    p.last = channel.values[s];
    p.lastMs = timeOf(end - 1 - qint64(row));
    return p;
}

QVector<QPointF> TrendHistory::decimated(int channel, qint64 fromMs, qint64 toMs, int columns, SpanGaps *gaps) const
{
    QVector<QPointF> out;
    if (channel < 0 || channel >= channelCount() || columns <= 0 || toMs < fromMs)
        return out;
    const Lane &lane = lanes[channel / perLane];
    const Channel &ch = channels[channel];
    if (lane.nextRow == 0)
        return out;
    Decimator decimator(fromMs, toMs, columns, out);
    auto reading = [&](qint64 t, float value) { decimator.reading(t, value); };
    // The coarsest buckets that still give two per pixel column, else the readings.
    const double columnMs = double(toMs - fromMs + 1) / columns;
    const bool coarse = columnMs >= 2 * coarseMs;
    if (columnMs >= 2 * fineMs)
        visitSpan(lane, ch, coarse, fromMs, toMs, [&](int i, qint64) { decimator.add(piece(lane, ch, coarse, i)); },
                  reading);
    else
        visitReadings(lane, ch, fromMs, toMs, reading);
    decimator.finish(gaps);
    return out;
}

QVector<QPair<qint64, float>> TrendHistory::readings(int channel, qint64 fromMs, qint64 toMs) const
{
    QVector<QPair<qint64, float>> out;
    if (channel < 0 || channel >= channelCount() || toMs < fromMs || lanes[channel / perLane].nextRow == 0)
        return out;
    visitReadings(lanes[channel / perLane], channels[channel], fromMs, toMs,
                  [&](qint64 t, float value) { out.append({t, value}); });
    return out;
}

TrendHistory::Statistics TrendHistory::statistics(int channel, qint64 fromMs, qint64 toMs) const
{
    Statistics r;
    if (channel < 0 || channel >= channelCount() || toMs < fromMs || lanes[channel / perLane].nextRow == 0)
        return r;
    const Lane &lane = lanes[channel / perLane];
    const Channel &ch = channels[channel];
    // t counted from fromMs, so that a day of buckets adds up without losing the digits that matter
    Summary total;
    auto extend = [&](float low, float high) {
        total.extent.minimum = std::min(total.extent.minimum, low);
        total.extent.maximum = std::max(total.extent.maximum, high);
    };
    auto whole = [&](int i, qint64 start) {
        addSums(total, ch.coarse[i], (start - fromMs) / 1000.0);
        extend(ch.coarse[i].extent.minimum, ch.coarse[i].extent.maximum);
    };
    auto reading = [&](qint64 t, float value) {
        if (std::isnan(value))
            return;
        addSums(total, Summary::of(value), (t - fromMs) / 1000.0);
        extend(value, value);
    };
    visitSpan(lane, ch, true, fromMs, toMs, whole, reading);
    const double n = total.count;
    r.count = total.count;
    if (n == 0)
        return r;
    r.minimum = total.extent.minimum;
    r.maximum = total.extent.maximum;
    r.mean = total.sum / n;
    if (n < 2)
        return r;
    r.standardDeviation = std::sqrt(std::max(0.0, (total.sumSquares - total.sum * total.sum / n) / (n - 1)));
    const double sxx = total.sumTT - total.sumT * total.sumT / n;
    if (sxx > 0)
        r.ratePerMinute = (total.sumTV - total.sumT * total.sum / n) / sxx * 60;
    return r;
}

std::size_t TrendHistory::memoryBytes() const
{
    std::size_t bytes = sizeof *this + lanes.capacity() * sizeof(Lane) + channels.capacity() * sizeof(Channel);
    for (const Lane &lane : lanes)
        bytes += lane.offsets.capacity() * sizeof(quint16)
            + (lane.fine.keys.size() + lane.coarse.keys.size()) * (sizeof(qint32) + sizeof(qint64));
    for (const Channel &ch : channels)
        bytes += ch.values.capacity() * sizeof(float) + ch.fine.size() * (sizeof(Extent) + sizeof(quint8))
            + ch.coarse.size() * sizeof(Summary);
    return bytes;
}
