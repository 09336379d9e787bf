#include "check_results.h"

#include "link_settings.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSaveFile>

namespace {

QJsonValue textOrNull(const QString &text)
{
    return text.isEmpty() ? QJsonValue() : QJsonValue(text);
}

QJsonObject moduleJson(const ModuleFacts &facts)
{
    QJsonArray channels;
    for (int channel = 0; channel < 4; ++channel) {
        QJsonObject entry{{"channel", channel + 1}};
        if (facts.records) {
            const unsigned code = (*facts.records)[std::size_t(channel)].sensorCode();
            entry.insert("reported_sensor", sensorText(code));
        }
        if (facts.configuration) {
            entry.insert("sensor", sensorText(facts.configuration->sensorCode(channel)));
            entry.insert("sensor_code", facts.configuration->sensorCode(channel));
            entry.insert("connection", connectionText(facts.configuration->connectionCode(channel)));
            entry.insert("connection_code", facts.configuration->connectionCode(channel));
        }
        channels.append(entry);
    }
    return {{"address_switch", QString::number(facts.selector, 16).toUpper()},
            {"bus_address", busAddressText(facts.busAddress)},
            {"channels", channels},
            {"error", textOrNull(facts.records ? facts.configurationFailure : facts.recordsFailure)}};
}

QJsonObject pointJson(const PointResult &result)
{
    const CheckPoint &point = result.point;
    QJsonObject entry{{"point", point.entry},
                      {"module", QString::number(point.selector, 16).toUpper()},
                      {"channel", point.channel},
                      {"note", textOrNull(point.note)},
                      {"expected_C", point.expected},
                      {"class", textOrNull(point.className)},
                      {"sensor", result.sensorKnown ? QJsonValue(sensorText(result.sensorCode)) : QJsonValue()},
                      {"samples_asked", result.samplesAsked},
                      {"verdict", verdictKey(result.verdict)},
                      {"reason", textOrNull(result.reason)}};
    const bool resolved = !result.toleranceBasis.isEmpty();
    entry.insert("tolerance_C", resolved ? QJsonValue(result.tolerance) : QJsonValue());
    entry.insert("tolerance_basis", textOrNull(result.toleranceBasis));
    const SampleStatistics &s = result.statistics;
    entry.insert("samples", s.count);
    const auto measured = [&](double value) { return s.count > 0 ? QJsonValue(value) : QJsonValue(); };
    entry.insert("mean_C", measured(s.mean));
    entry.insert("deviation_C", measured(result.deviation()));
    entry.insert("standard_deviation_C", measured(s.standardDeviation));
    entry.insert("min_C", measured(s.minimum));
    entry.insert("max_C", measured(s.maximum));
    return entry;
}

} // namespace

QByteArray resultsJson(const CheckRun &run)
{
    QJsonArray modules, points;
    for (const ModuleFacts &facts : run.modules)
        modules.append(moduleJson(facts));
    for (const PointResult &result : run.results)
        points.append(pointJson(result));
    const QJsonObject root{{"format", "korun-check-results/1"},
                           {"time_utc", run.startedUtc.toString(Qt::ISODateWithMs)},
                           {"engineer", textOrNull(run.engineer)},
                           {"program", QStringLiteral("korun-check " KORUN_VERSION)},
                           {"run", textOrNull(run.label)},
                           {"port", run.port},
                           {"modules", modules},
                           {"points", points},
                           {"verdict", verdictKey(overallVerdict(run.results), true)}};
    return QJsonDocument(root).toJson();
}

bool writeResults(const CheckRun &run, const QString &path, QString &error)
{
    QSaveFile file(path);
    const QByteArray text = resultsJson(run);
    if (file.open(QIODevice::WriteOnly) && file.write(text) == text.size() && file.commit())
        return true;
    error = QStringLiteral("cannot write %1: %2").arg(path, file.errorString());
    return false;
}
