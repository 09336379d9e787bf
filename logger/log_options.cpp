#include "log_options.h"

#include <QCommandLineParser>

#include <cmath>

const char logUsage[] = R"(Usage: korun-log --port PATH [--address X[,Y...]] [--period SECONDS] [--count N] [--output FILE]

Records the live values of Korun modules on one line as CSV, one row per module and
refresh, without the window. Each refresh of a module makes the same nine requests as the
window's auto update and computes the same temperatures (cold-junction compensated for
thermocouples).

  --port PATH        serial port of the RS-485 adapter (/dev/ttyUSB0, COM3, ...)
  --address X,Y,...  the modules' address switches, 0..F (bus address 176 + X), as a list
                     or repeated; default 0. Each period refreshes every module in turn.
  --period SECONDS   time between refreshes, more than 0 and at most 86400; default 1
  --count N          stop after N periods; default: run until Ctrl-C or SIGTERM
  --output FILE      append to FILE (the header is written to a new or empty file only;
                     a file with another header is refused); default: standard output
  --help             this text
  --version          the program's version

Options take their value as the next argument or after '=' (--port=/dev/ttyUSB0).
The link runs at 115200 baud, 8N1, 200 ms response timeout, 3 retries. A refresh that fails
still writes its row: what it could not read stays empty and the last column gives the
failure; a lost line is retried on every refresh. A module that failed 3 refreshes in a
row is asked only every 10th period until it answers again (its rows say so), so that
the live modules keep their period. Ctrl-C or SIGTERM lets the current refresh finish,
closes the file and prints a summary, overall and per module, on standard error.

Exit status: 0 when at least one complete row was recorded, 1 when none was (module
silent, wrong address) or the output could not be written, 2 for bad arguments.
)";

bool parseLogOptions(const QStringList &arguments, LogOptions &options, QString &error)
{
    QCommandLineParser parser;
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    const QCommandLineOption help(QStringLiteral("help"));
    const QCommandLineOption version(QStringLiteral("version"));
    const QCommandLineOption port(QStringLiteral("port"), QString(), QStringLiteral("PATH"));
    const QCommandLineOption address(QStringLiteral("address"), QString(), QStringLiteral("X"), QStringLiteral("0"));
    const QCommandLineOption period(QStringLiteral("period"), QString(), QStringLiteral("SECONDS"), QStringLiteral("1"));
    const QCommandLineOption count(QStringLiteral("count"), QString(), QStringLiteral("N"));
    const QCommandLineOption output(QStringLiteral("output"), QString(), QStringLiteral("FILE"));
    parser.addOptions({help, version, port, address, period, count, output});
    if (!parser.parse(arguments)) {
        error = parser.errorText() + QStringLiteral(" (see --help)");
        return false;
    }
    if (parser.isSet(help)) {
        options.help = true;
        return true;
    }
    if (parser.isSet(version)) {
        options.version = true;
        return true;
    }
    if (!parser.positionalArguments().isEmpty()) {
        error = QStringLiteral("unexpected argument '%1' (see --help)").arg(parser.positionalArguments().first());
        return false;
    }

    options.port = parser.value(port);
    if (options.port.isEmpty()) {
        error = QStringLiteral("--port is required (see --help)");
        return false;
    }
    bool ok = false;
    options.selectors.clear();
    for (const QString &list : parser.values(address)) {
        for (const QString &digit : list.split(QLatin1Char(','))) {
            const int selector = digit.toInt(&ok, 16);
            if (digit.size() != 1 || !ok) {
                error = QStringLiteral("--address takes hex digits 0..F, not '%1'").arg(digit);
                return false;
            }
            if (options.selectors.contains(selector)) {
                error = QStringLiteral("--address names module %1 twice").arg(digit.toUpper());
                return false;
            }
            options.selectors << selector;
        }
    }
    if (options.selectors.isEmpty())
        options.selectors << 0;
    options.periodSeconds = parser.value(period).toDouble(&ok);
    if (!ok || !std::isfinite(options.periodSeconds) || options.periodSeconds <= 0
        || options.periodSeconds > maxPeriodSeconds) {
        error = QStringLiteral("--period must be a number of seconds above 0 and at most %1, not '%2'")
                    .arg(maxPeriodSeconds)
                    .arg(parser.value(period));
        return false;
    }
    if (parser.isSet(count)) {
        options.count = parser.value(count).toLongLong(&ok);
        if (!ok || options.count <= 0) {
            error = QStringLiteral("--count must be a positive whole number, not '%1'").arg(parser.value(count));
            return false;
        }
    }
    options.output = parser.value(output);
    return true;
}
