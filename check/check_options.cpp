#include "check_options.h"

#include "check_plan.h"

#include <QCommandLineParser>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cmath>

namespace {

const char usageStart[] = R"(Usage: korun-check --port PATH [--address X] --channel N --expect T (--tolerance DT | --class C) [options]
  or:  korun-check --port PATH --plan FILE [--yes] [options]

Loop check of Korun module channels against a calibrator: reads a channel's
cold-junction compensated temperature several times and compares the mean with the
temperature the calibrator is set to. Prints, for each point, the expected temperature,
the mean, its deviation, the standard deviation, minimum and maximum of the readings,
the tolerance and the verdict.

Options:
  --port PATH        serial port of the RS-485 adapter (/dev/ttyUSB0, COM3, ...)
  --address X        the module's address switch, 0..F (bus address 176 + X); default 0
  --channel N        the channel, 1..4
  --expect T         the temperature the calibrator is set to, degC
  --tolerance DT     the deviation allowed, degC
  --class C          or the tolerance class of the channel's sensor, as the module
                     reports it: 1, 2, 3 for thermocouples of type K, N, J, T, E, R, S, B
                     (IEC 60584-1, where the type has the class), AA, A, B, C for
                     platinum resistance thermometers TR_50Pt..TR_1000Pt (IEC 60751,
                     wire-wound), each within its temperature range
  --samples K        readings per point, 1..1000; default 10
  --interval S       seconds between readings, 0..60; default 0.5
  --plan FILE        the points from a JSON file, checked in order:
                     {"points": [{"module": "0", "channel": 1, "expected": 300,
                                  "class": "2", "note": "TI-101"}, ...]}
                     each with "tolerance" (degC) or "class"; "note" is optional. On a
                     terminal korun-check asks to set the calibrator before each point
                     and waits for Enter (q and Enter stops the run); elsewhere it
                     needs --yes
  --yes              read each point at once, without asking (for scripts)
  --as-found         label the run as the check before any adjustment
  --as-left          label the run as the check after adjustment
  --engineer NAME    who ran the check, for the report
  --report FILE      write a PDF report: date and time (UTC), engineer, program
                     version, each module's address and channel configuration as read
                     from it, the results and the overall verdict
  --results FILE     write the same as JSON
)";

const char usageEnd[] = R"(  -h, --help         this text
  --version          the program's version

A point passes when all K readings were usable and their mean is within the tolerance
of the expected temperature. A refresh that failed or was incomplete, a channel without
a temperature sensor and a value that is not a number (NaN, Inf) give no reading; the
reason is printed. Sampling a point gives up after 3 unusable refreshes in a row or K in
all. A plan that cannot be right is refused, naming the entry, before the port is opened;
a class the channel's sensor does not have, or an expected temperature outside its
range, is refused before anything is measured.

The link runs at 115200 baud, 8N1, like korun-log's.

Exit status: 0 every point passed, 1 a point failed, 2 bad arguments, plan, class or
output file, 3 a point has no usable reading or was not run and none failed, or the
port cannot be opened.
)";

const LinkTimingOptions timingOptions(defaultLinkTiming);

// Whether the file can be written without opening the port first: its folder exists and
// the file is new or writable.
bool writable(const QString &path, QString &error)
{
    const QFileInfo info(path);
    if (info.exists() ? info.isWritable() && info.isFile() : QFileInfo(info.absolutePath()).isWritable())
        return true;
    error = QStringLiteral("cannot write %1").arg(path);
    return false;
}

bool singlePoint(const QCommandLineParser &parser, CheckPoint &point, QString &error)
{
    bool ok = false;
    const QString address = parser.value(QStringLiteral("address"));
    point.selector = address.toInt(&ok, 16);
    if (address.size() != 1 || !ok) {
        error = QStringLiteral("--address takes a hex digit 0..F, not '%1'").arg(address);
        return false;
    }
    if (!parser.isSet(QStringLiteral("channel")) || !parser.isSet(QStringLiteral("expect"))) {
        error = QStringLiteral("--channel N and --expect T are required, or --plan FILE (see --help)");
        return false;
    }
    point.channel = parser.value(QStringLiteral("channel")).toInt(&ok);
    if (!ok) {
        error = QStringLiteral("--channel takes 1..4, not '%1'").arg(parser.value(QStringLiteral("channel")));
        return false;
    }
    point.expected = parser.value(QStringLiteral("expect")).toDouble(&ok);
    if (!ok) {
        error = QStringLiteral("--expect takes a temperature in degC, not '%1'").arg(parser.value(QStringLiteral("expect")));
        return false;
    }
    if (parser.isSet(QStringLiteral("tolerance"))) {
        point.tolerance = parser.value(QStringLiteral("tolerance")).toDouble(&ok);
        if (!ok) {
            error = QStringLiteral("--tolerance takes degC, not '%1'").arg(parser.value(QStringLiteral("tolerance")));
            return false;
        }
    }
    point.className = parser.value(QStringLiteral("class"));
    if (point.tolerance && parser.isSet(QStringLiteral("class"))) {
        error = QStringLiteral("give --tolerance or --class, not both");
        return false;
    }
    error = pointProblem(point);
    return error.isEmpty();
}

bool planPoints(const QCommandLineParser &parser, CheckOptions &options, QString &error)
{
    for (const char *single : {"address", "channel", "expect", "tolerance", "class"}) {
        if (parser.isSet(QLatin1String(single))) {
            error = QStringLiteral("--%1 belongs in the plan, not beside --plan").arg(QLatin1String(single));
            return false;
        }
    }
    const QString path = parser.value(QStringLiteral("plan"));
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        error = QStringLiteral("cannot read %1: %2").arg(path, file.errorString());
        return false;
    }
    if (!parsePlan(file.readAll(), options.points, error)) {
        error = path + QStringLiteral(": ") + error;
        return false;
    }
    options.fromPlan = true;
    return true;
}

} // namespace

QString checkUsage()
{
    return QLatin1String(usageStart) + timingOptions.helpText(21) + QLatin1String(usageEnd);
}

bool parseCheckOptions(const QStringList &arguments, CheckOptions &options, QString &error)
{
    QCommandLineParser parser;
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    const auto valued = [](const char *name, const char *value, const QString &fallback = QString()) {
        return QCommandLineOption(QLatin1String(name), QString(), QLatin1String(value), fallback);
    };
    const QCommandLineOption samples = valued("samples", "K", QStringLiteral("10"));
    const QCommandLineOption interval = valued("interval", "S", QStringLiteral("0.5"));
    parser.addOptions({QCommandLineOption(QStringList{QStringLiteral("h"), QStringLiteral("help")}),
                       QCommandLineOption(QStringLiteral("version")),
                       valued("port", "PATH"), valued("address", "X", QStringLiteral("0")), valued("channel", "N"),
                       valued("expect", "T"), valued("tolerance", "DT"), valued("class", "C"), samples, interval,
                       valued("plan", "FILE"), QCommandLineOption(QStringLiteral("yes")),
                       QCommandLineOption(QStringLiteral("as-found")), QCommandLineOption(QStringLiteral("as-left")),
                       valued("engineer", "NAME"), valued("report", "FILE"), valued("results", "FILE")});
    timingOptions.addTo(parser);
    if (!parser.parse(arguments)) {
        error = parser.errorText() + QStringLiteral(" (see --help)");
        return false;
    }
    options.help = parser.isSet(QStringLiteral("help"));
    options.version = parser.isSet(QStringLiteral("version"));
    if (options.help || options.version)
        return true;
    if (!parser.positionalArguments().isEmpty()) {
        error = QStringLiteral("unexpected argument '%1' (see --help)").arg(parser.positionalArguments().first());
        return false;
    }
    options.port = parser.value(QStringLiteral("port"));
    if (options.port.isEmpty()) {
        error = QStringLiteral("--port is required (see --help)");
        return false;
    }
    if (!timingOptions.read(parser, options.timing, error)) {
        error += QStringLiteral(" (see --help)");
        return false;
    }
    bool ok = false;
    options.samples = parser.value(samples).toInt(&ok);
    if (!ok || options.samples < 1 || options.samples > 1000) {
        error = QStringLiteral("--samples must be a whole number 1..1000, not '%1'").arg(parser.value(samples));
        return false;
    }
    const double seconds = parser.value(interval).toDouble(&ok);
    if (!ok || !std::isfinite(seconds) || seconds < 0 || seconds > 60) {
        error = QStringLiteral("--interval must be 0..60 seconds, not '%1'").arg(parser.value(interval));
        return false;
    }
    options.intervalMs = int(std::lround(seconds * 1000));
    if (parser.isSet(QStringLiteral("as-found")) && parser.isSet(QStringLiteral("as-left"))) {
        error = QStringLiteral("a run is --as-found or --as-left, not both");
        return false;
    }
    options.label = parser.isSet(QStringLiteral("as-found")) ? QStringLiteral("as-found")
                  : parser.isSet(QStringLiteral("as-left"))  ? QStringLiteral("as-left")
                                                             : QString();
    options.yes = parser.isSet(QStringLiteral("yes"));
    options.engineer = parser.value(QStringLiteral("engineer"));
    options.reportPath = parser.value(QStringLiteral("report"));
    options.resultsPath = parser.value(QStringLiteral("results"));
    for (const QString &path : {options.reportPath, options.resultsPath}) {
        if (!path.isEmpty() && !writable(path, error))
            return false;
    }
    if (parser.isSet(QStringLiteral("plan")))
        return planPoints(parser, options, error);
    options.points = {CheckPoint()};
    return singlePoint(parser, options.points.first(), error);
}
