#include "link_timing_options.h"

#include <QCommandLineParser>

namespace {

bool readWhole(const QString &text, int minimum, int maximum, int &value)
{
    bool ok = false;
    const int parsed = text.toInt(&ok);
    if (!ok || parsed < minimum || parsed > maximum)
        return false;
    value = parsed;
    return true;
}

} // namespace

LinkTimingOptions::LinkTimingOptions(LinkTiming defaults)
    : defaults(defaults)
    , timeout(QStringLiteral("timeout"), QString(), QStringLiteral("MS"))
    , retries(QStringLiteral("retries"), QString(), QStringLiteral("N"))
{
}

void LinkTimingOptions::addTo(QCommandLineParser &parser) const
{
    parser.addOption(timeout);
    parser.addOption(retries);
}

bool LinkTimingOptions::read(const QCommandLineParser &parser, LinkTiming &timing, QString &error) const
{
    timing = defaults;
    if (parser.isSet(timeout)
        && !readWhole(parser.value(timeout), minimumTimeoutMs, maximumTimeoutMs, timing.timeoutMs)) {
        error = QStringLiteral("--timeout needs whole ms from %1 to %2, not '%3'")
                    .arg(minimumTimeoutMs)
                    .arg(maximumTimeoutMs)
                    .arg(parser.value(timeout));
        return false;
    }
    if (parser.isSet(retries) && !readWhole(parser.value(retries), 0, maximumRetries, timing.retries)) {
        error = QStringLiteral("--retries needs a whole number from 0 to %1, not '%2'")
                    .arg(maximumRetries)
                    .arg(parser.value(retries));
        return false;
    }
    return true;
}

QString LinkTimingOptions::helpText(int column) const
{
    const auto option = [column](const char *name) { return QStringLiteral("  %1").arg(QLatin1String(name), -(column - 2)); };
    const QString indent(column, QLatin1Char(' '));
    return option("--timeout MS") + QStringLiteral("how long to wait for each reply (%1..%2, default %3);\n")
                                        .arg(minimumTimeoutMs)
                                        .arg(maximumTimeoutMs)
                                        .arg(defaults.timeoutMs)
        + indent + QStringLiteral("a module slower than this cannot be read\n") + option("--retries N")
        + QStringLiteral("attempts after the first when no reply comes (0..%1, default %2)\n")
              .arg(maximumRetries)
              .arg(defaults.retries);
}
