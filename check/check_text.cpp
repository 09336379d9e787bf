#include "check_text.h"

QString expectedText(double celsius)
{
    return QString::number(celsius, 'f', 2);
}

QString readingText(double celsius)
{
    return QString::number(celsius, 'f', 3);
}

QString deviationText(double celsius)
{
    return (celsius >= 0 ? QStringLiteral("+") : QString()) + readingText(celsius);
}

QStringList channelLines(const ModuleFacts &facts)
{
    QStringList lines;
    for (int channel = 0; channel < 4; ++channel) {
        if (facts.configuration)
            lines << QStringLiteral("channel %1: %2 on %3")
                         .arg(channel + 1)
                         .arg(sensorText(facts.configuration->sensorCode(channel)),
                              connectionText(facts.configuration->connectionCode(channel)));
        else if (facts.records)
            lines << QStringLiteral("channel %1: %2").arg(channel + 1).arg(sensorText((*facts.records)[std::size_t(channel)].sensorCode()));
    }
    if (!facts.records)
        lines << facts.recordsFailure;
    else if (!facts.configuration)
        lines << QStringLiteral("connections unknown: ") + facts.configurationFailure;
    return lines;
}

QStringList pointLines(const PointResult &result)
{
    const CheckPoint &point = result.point;
    QString title = QStringLiteral("point %1: %2 channel %3").arg(point.entry).arg(moduleText(point.selector)).arg(point.channel);
    if (result.sensorKnown)
        title += QStringLiteral(", ") + sensorText(result.sensorCode);
    if (!point.note.isEmpty())
        title += QStringLiteral(", ") + point.note;
    QStringList lines = {title, QStringLiteral("  expected   %1 °C").arg(expectedText(point.expected))};
    if (!result.judged()) {
        lines << QStringLiteral("  verdict    %1: %2").arg(verdictText(result.verdict), result.reason);
        return lines;
    }
    const SampleStatistics &s = result.statistics;
    lines << QStringLiteral("  mean       %1 °C (%2 readings)").arg(readingText(s.mean)).arg(s.count)
          << QStringLiteral("  deviation  %1 °C, tolerance ±%2 °C (%3)")
                 .arg(deviationText(result.deviation()), readingText(result.tolerance), result.toleranceBasis)
          << QStringLiteral("  std dev    %1 °C").arg(readingText(s.standardDeviation))
          << QStringLiteral("  min / max  %1 / %2 °C").arg(readingText(s.minimum), readingText(s.maximum))
          << QStringLiteral("  verdict    %1").arg(verdictText(result.verdict));
    return lines;
}

QString overallLine(const CheckRun &run)
{
    int passed = 0, failed = 0, other = 0;
    for (const PointResult &result : run.results)
        (result.verdict == Verdict::Pass ? passed : result.verdict == Verdict::Fail ? failed : other)++;
    return QStringLiteral("%1 (%2 passed, %3 failed, %4 without a verdict)")
        .arg(overallText(overallVerdict(run.results)))
        .arg(passed)
        .arg(failed)
        .arg(other);
}
