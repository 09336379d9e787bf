#include "check_report.h"

#include "check_text.h"
#include "link_settings.h"

#include <QAbstractTextDocumentLayout>
#include <QFont>
#include <QPageLayout>
#include <QPageSize>
#include <QPdfWriter>
#include <QSaveFile>
#include <QTextDocument>

namespace {

QString cell(const QString &text, const char *align = "left")
{
    return QStringLiteral("<td align=\"%1\" style=\"white-space: nowrap\">%2</td>").arg(QLatin1String(align), text.toHtmlEscaped());
}

QString headerRow(const QStringList &names)
{
    QString row = QStringLiteral("<tr>");
    for (const QString &name : names)
        row += QStringLiteral("<th bgcolor=\"#e8e8e8\" style=\"white-space: nowrap\">%1</th>").arg(name.toHtmlEscaped());
    return row + QStringLiteral("</tr>");
}

const char tableStart[] = "<table border=\"1\" cellspacing=\"0\" cellpadding=\"4\" width=\"100%\">";

QString runLabel(const QString &label)
{
    return label == QLatin1String("as-found") ? QStringLiteral("as found")
         : label == QLatin1String("as-left")  ? QStringLiteral("as left")
                                              : QStringLiteral("not labelled");
}

QString facts(const CheckRun &run)
{
    const QList<QPair<QString, QString>> rows = {
        {QStringLiteral("Date and time (UTC)"), run.startedUtc.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"))},
        {QStringLiteral("Engineer"), run.engineer.isEmpty() ? QStringLiteral("not given") : run.engineer},
        {QStringLiteral("Program"), QStringLiteral("korun-check " KORUN_VERSION)},
        {QStringLiteral("Port"), run.port},
        {QStringLiteral("Run"), runLabel(run.label)},
    };
    QString html = QStringLiteral("<table cellpadding=\"2\">");
    for (const auto &row : rows)
        html += QStringLiteral("<tr><td><b>%1</b></td><td>%2</td></tr>").arg(row.first.toHtmlEscaped(), row.second.toHtmlEscaped());
    return html + QStringLiteral("</table>");
}

QString moduleSection(const ModuleFacts &module)
{
    QString html = QStringLiteral("<h3>Module %1 (%2): channels as read from it</h3>")
                       .arg(QString::number(module.selector, 16).toUpper(), busAddressText(module.busAddress));
    if (!module.records) {
        return html + QStringLiteral("<p>Not read: %1</p>").arg(module.recordsFailure.toHtmlEscaped());
    }
    html += QLatin1String(tableStart) + headerRow({"Channel", "Sensor", "Connection"});
    for (int channel = 0; channel < 4; ++channel) {
        const unsigned reported = (*module.records)[std::size_t(channel)].sensorCode();
        html += QStringLiteral("<tr>") + cell(QString::number(channel + 1), "center")
              + cell(module.configuration ? sensorText(module.configuration->sensorCode(channel)) : sensorText(reported))
              + cell(module.configuration ? connectionText(module.configuration->connectionCode(channel))
                                          : QStringLiteral("unknown"))
              + QStringLiteral("</tr>");
    }
    html += QStringLiteral("</table>");
    if (!module.configuration)
        html += QStringLiteral("<p>Sensors as the channels report them; the configuration was not read: %1</p>")
                    .arg(module.configurationFailure.toHtmlEscaped());
    return html;
}

QString resultRow(const PointResult &result)
{
    const CheckPoint &point = result.point;
    const bool judged = result.judged();
    const QString none = QStringLiteral("—");
    const QString colour = result.verdict == Verdict::Pass ? QStringLiteral("#1b7a1b") : QStringLiteral("#b00000");
    return QStringLiteral("<tr>") + cell(QString::number(point.entry), "center")
         + cell(QString::number(point.selector, 16).toUpper(), "center") + cell(QString::number(point.channel), "center")
         + cell(result.sensorKnown ? sensorText(result.sensorCode) : none) + cell(expectedText(point.expected), "right")
         + cell(judged ? readingText(result.statistics.mean) : none, "right")
         + cell(judged ? deviationText(result.deviation()) : none, "right")
         + cell(result.toleranceBasis.isEmpty() ? none : QStringLiteral("±") + readingText(result.tolerance), "right")
         + QStringLiteral("<td align=\"center\" style=\"white-space: nowrap\"><b><font color=\"%1\">%2</font></b></td></tr>")
               .arg(colour, verdictText(result.verdict));
}

// What the table has no room for: note, tolerance basis, spread of the readings, reasons.
QString remark(const PointResult &result)
{
    QStringList parts;
    if (!result.point.note.isEmpty())
        parts << result.point.note;
    if (!result.toleranceBasis.isEmpty())
        parts << QStringLiteral("tolerance %1").arg(result.toleranceBasis);
    if (result.judged()) {
        const SampleStatistics &s = result.statistics;
        parts << QStringLiteral("%1 readings, standard deviation %2 °C, min %3 °C, max %4 °C")
                     .arg(s.count)
                     .arg(readingText(s.standardDeviation), readingText(s.minimum), readingText(s.maximum));
    } else {
        parts << result.reason;
    }
    return QStringLiteral("<li>Point %1: %2</li>").arg(result.point.entry).arg(parts.join(QStringLiteral("; ")).toHtmlEscaped());
}

} // namespace

QString reportHtml(const CheckRun &run)
{
    const QString title = run.label.isEmpty() ? QStringLiteral("Korun loop check")
                                              : QStringLiteral("Korun loop check, %1").arg(runLabel(run.label));
    QString html = QStringLiteral("<html><body><h2>%1</h2>").arg(title) + facts(run);
    for (const ModuleFacts &module : run.modules)
        html += moduleSection(module);
    html += QStringLiteral("<h3>Results</h3>") + QLatin1String(tableStart)
          + headerRow({"Point", "Module", "Channel", "Sensor", "Expected °C", "Mean °C", "Deviation °C", "Tolerance °C",
                       "Verdict"});
    for (const PointResult &result : run.results)
        html += resultRow(result);
    html += QStringLiteral("</table><ul>");
    for (const PointResult &result : run.results)
        html += remark(result);
    html += QStringLiteral("</ul><h3>Overall verdict: %1</h3>").arg(overallLine(run).toHtmlEscaped());
    html += QStringLiteral("<p><br>Signature: ______________________________</p>");
    return html + QStringLiteral("</body></html>");
}

bool writeReport(const CheckRun &run, const QString &path, QString &error)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        error = QStringLiteral("cannot write %1: %2").arg(path, file.errorString());
        return false;
    }
    {
        QPdfWriter writer(&file);
        writer.setPageSize(QPageSize(QPageSize::A4));
        writer.setPageMargins(QMarginsF(15, 15, 15, 15), QPageLayout::Millimeter);
        writer.setResolution(300);
        writer.setTitle(QStringLiteral("Korun loop check"));
        writer.setCreator(QStringLiteral("korun-check " KORUN_VERSION));
        // Laid out on the writer itself, so that point sizes are the page's, not a screen's.
        QTextDocument document;
        document.documentLayout()->setPaintDevice(&writer);
        document.setDefaultFont(QFont(QStringLiteral("DejaVu Sans"), 9));
        document.setPageSize(writer.pageLayout().paintRectPixels(writer.resolution()).size());
        document.setHtml(reportHtml(run));
        document.print(&writer);
    }
    if (file.commit())
        return true;
    error = QStringLiteral("cannot write %1: %2").arg(path, file.errorString());
    return false;
}
