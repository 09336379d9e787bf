#include "channel_check.h"

#include "check_text.h"
#include "module_line.h"

bool ChannelCheck::begin(const CheckPoint &point, int samples, unsigned sensorCode, QString &refusal)
{
    if (check) {
        refusal = QStringLiteral("a check is under way");
        return false;
    }
    refusal = pointProblem(point);
    if (!refusal.isEmpty())
        return false;
    auto started = std::make_unique<PointCheck>(point, samples);
    if (!started->start(sensorCode, refusal))
        return false;
    selector = point.selector;
    check = std::move(started);
    if (check->done()) // a channel without a temperature sensor: nothing to sample
        take({});
    return true;
}

void ChannelCheck::take(const QVector<SweepRow> &rows)
{
    if (!check)
        return;
    for (const SweepRow &row : rows) {
        // A module not asked in this sweep gave nothing, and is no refresh of it.
        if (row.selector == selector && row.asked)
            check->add(row.snapshot);
    }
    if (!check->done())
        return;
    const std::unique_ptr<PointCheck> ended = std::move(check);
    emit finished(pointLines(ended->result()), ended->result().verdict);
}
