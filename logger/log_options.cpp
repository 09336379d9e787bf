#include "log_options.h"

#include <cmath>

const char logUsage[] = R"(Usage: korun-log --port PATH [--address X] [--period SECONDS] [--count N] [--output FILE]

Records the Korun module's live values as CSV, one row per refresh, without the window.
Each refresh makes the same nine requests as the window's auto update and computes the
same temperatures (cold-junction compensated for thermocouples).

  --port PATH        serial port of the RS-485 adapter (/dev/ttyUSB0, COM3, ...)
  --address X        the module's address switch, 0..F (bus address 176 + X); default 0
  --period SECONDS   time between refreshes, a positive number; default 1
  --count N          stop after N refreshes; default: run until Ctrl-C or SIGTERM
  --output FILE      append to FILE (the header is written to a new or empty file only);
                     default: standard output
  --help             this text

The link runs at 115200 baud, 8N1, 200 ms response timeout, 3 retries. A refresh that fails
still writes its row: what it could not read stays empty and the last column gives the
failure; a lost line is retried on every refresh. Ctrl-C or SIGTERM lets the current
refresh finish, closes the file and prints a summary on standard error.
)";

namespace {

bool takeValue(const QStringList &arguments, int &i, QString &value, QString &error)
{
    if (i + 1 >= arguments.size()) {
        error = QStringLiteral("%1 needs a value").arg(arguments[i]);
        return false;
    }
    value = arguments[++i];
    return true;
}

} // namespace

bool parseLogOptions(const QStringList &arguments, LogOptions &options, QString &error)
{
    bool portGiven = false;
    for (int i = 1; i < arguments.size(); ++i) {
        const QString &name = arguments[i];
        QString value;
        if (name == QLatin1String("--help")) {
            options.help = true;
            return true;
        } else if (name == QLatin1String("--port")) {
            if (!takeValue(arguments, i, options.port, error))
                return false;
            portGiven = true;
        } else if (name == QLatin1String("--address")) {
            if (!takeValue(arguments, i, value, error))
                return false;
            bool ok = false;
            options.selector = value.toInt(&ok, 16);
            if (value.size() != 1 || !ok) {
                error = QStringLiteral("--address must be one hex digit 0..F, not '%1'").arg(value);
                return false;
            }
        } else if (name == QLatin1String("--period")) {
            if (!takeValue(arguments, i, value, error))
                return false;
            bool ok = false;
            options.periodSeconds = value.toDouble(&ok);
            if (!ok || !std::isfinite(options.periodSeconds) || options.periodSeconds <= 0) {
                error = QStringLiteral("--period must be a positive number of seconds, not '%1'").arg(value);
                return false;
            }
        } else if (name == QLatin1String("--count")) {
            if (!takeValue(arguments, i, value, error))
                return false;
            bool ok = false;
            options.count = value.toLongLong(&ok);
            if (!ok || options.count <= 0) {
                error = QStringLiteral("--count must be a positive whole number, not '%1'").arg(value);
                return false;
            }
        } else if (name == QLatin1String("--output")) {
            if (!takeValue(arguments, i, options.output, error))
                return false;
        } else {
            error = QStringLiteral("unknown option '%1' (see --help)").arg(name);
            return false;
        }
    }
    if (!portGiven || options.port.isEmpty()) {
        error = QStringLiteral("--port is required (see --help)");
        return false;
    }
    return true;
}
