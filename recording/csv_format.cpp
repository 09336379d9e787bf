#include "csv_format.h"

#include "module_line.h"
#include "module_snapshot.h"
#include "sensor_catalogue.h"

#include <QStringList>

namespace {

// Point as decimal separator whatever the locale; a value that is not a reading leaves
// its cell empty, and the row's status names it.
QString number(float value)
{
    return isReading(value) ? QString::number(double(value), 'f', 6) : QString();
}

QString quoted(const QString &text)
{
    if (!text.contains(QLatin1Char(',')) && !text.contains(QLatin1Char('"')) && !text.contains(QLatin1Char('\n')))
        return text;
    return QLatin1Char('"') + QString(text).replace(QLatin1String("\""), QLatin1String("\"\"")) + QLatin1Char('"');
}

QString sensorName(unsigned code)
{
    return code < sensorTypeCount ? QString::fromLatin1(sensorTypeNames[code]) : QString::number(code);
}

} // namespace

QString rowStatus(const SweepRow &row)
{
    if (!row.status.isEmpty())
        return row.status;
    const QString backoff = QStringLiteral("no answer in %1 refreshes in a row; asked every %2th period")
                                .arg(ModuleLine::backoffAfter)
                                .arg(ModuleLine::backoffPeriod);
    if (!row.asked)
        return QStringLiteral("not asked: ") + backoff;
    const QStringList nonReadingTexts = nonReadings(row.snapshot);
    if (row.snapshot.complete())
        return nonReadingTexts.isEmpty() ? QStringLiteral("ok") : nonReadingTexts.join(QLatin1String("; "));
    QStringList parts = row.snapshot.failures;
    if (parts.isEmpty())
        parts << QStringLiteral("failed");
    parts << nonReadingTexts;
    if (row.backedOff)
        parts << backoff;
    return parts.join(QLatin1String("; "));
}

QString csvHeader()
{
    QStringList columns = {"time_utc", "module", "xt1xt2_temperature_C", "xt3xt4_temperature_C"};
    for (int n = 1; n <= 4; ++n) {
        columns << QStringLiteral("ch%1_sensor").arg(n) << QStringLiteral("ch%1_physic_value_mV_or_ohm").arg(n)
                << QStringLiteral("ch%1_adc_code").arg(n) << QStringLiteral("ch%1_gain").arg(n)
                << QStringLiteral("ch%1_temperature_C").arg(n);
    }
    columns << QStringLiteral("status");
    return columns.join(QLatin1Char(','));
}

QString csvRow(const ModuleSnapshot &result, const QString &status)
{
    // The module by its address-switch digit, as on the module and in --address.
    QStringList cells = {result.time.toString(Qt::ISODateWithMs),
                         QString::number(result.busAddress - 0xB0, 16).toUpper()};
    if (result.reference)
        cells << number(result.reference->xt1xt2Temperature()) << number(result.reference->xt3xt4Temperature());
    else
        cells << QString() << QString();
    for (int channel = 0; channel < 4; ++channel) {
        if (!result.records) {
            cells << QString() << QString() << QString() << QString() << QString();
            continue;
        }
        const MeasurementRecord &record = (*result.records)[channel];
        cells << sensorName(record.sensorCode()) << number(record.physicValue());
        // Which ADC code is meaningful, and the gain, come from the ADC state.
        if (result.states) {
            const AdcState &state = (*result.states)[channel];
            cells << QString::number(state.adcCode(record)) << QString::number(state.gain());
        } else {
            cells << QString() << QString();
        }
        const std::optional<float> temperature = result.temperatures[channel];
        cells << (temperature ? number(*temperature) : QString());
    }
    cells << quoted(status);
    return cells.join(QLatin1Char(','));
}
