#include "log_options.h"

#include "refresh_period.h"

#include <QCommandLineParser>

#include <cmath>

const char logUsage[] = R"(Usage: korun-log --port PATH [--address X[,Y...]] [--period SECONDS] [--count N] [--output FILE]
                 [--mqtt HOST[:PORT] [--topic PREFIX] [--line NAME] [MQTT options]]

Records the live values of Korun modules on one line as CSV, one row per module and
refresh, without the window. Each refresh of a module makes the same nine requests as the
window's auto update and computes the same temperatures (cold-junction compensated for
thermocouples).

Options:
  --port PATH        serial port of the RS-485 adapter (/dev/ttyUSB0, COM3, ...)
  --address X,Y,...  the modules' address switches, 0..F (bus address 176 + X), as a list
                     or repeated; default 0. Each period refreshes every module in turn.
  --period SECONDS   time between refreshes, 0.01 (as fast as the line answers) to
                     86400 (a day); default 1
  --count N          stop after N periods; default: run until Ctrl-C or SIGTERM
  --output FILE      append to FILE (the header is written to a new or empty file only;
                     a file with another header is refused); default, or -: standard output.
                     %Y, %m and %d in FILE give one file per UTC day, each with its
                     header: --output /var/lib/korun/line1-%Y-%m-%d.csv
)";

const char logUsageEnd[] = R"(  --mqtt HOST[:PORT] also publish every module's refresh to this MQTT broker (port 1883
                     by default), QoS 1, as JSON on PREFIX/LINE/MODULE/state (what is not
                     known is null, its "status" says why), with a retained
                     PREFIX/LINE/MODULE/online "true" while the module answers and a
                     retained PREFIX/LINE/status "online" while running; on stopping every
                     module's online becomes "false", then the status "offline" (also the
                     last will)
  --topic PREFIX     first level of the topics; default korun
  --line NAME        the line's level of the topics; default the port's base name
  --client-id ID     MQTT client id, also the broker's session; default korun-log-LINE
  --mqtt-user NAME   user name for the broker
  --mqtt-password-file FILE
                     the broker password, from the first line of FILE
  --mqtt-cafile FILE TLS, trusting the certificate authorities in FILE
  --mqtt-queue N     messages kept while the broker is away; beyond, the oldest
                     measurements are dropped and counted; default 100000
  --channels FILE    the channel file shared with korun-monitor: each channel's "tag" and
                     "alarm" (null, "low", "high", "over_range", "under_range") go into
                     the state message, every alarm change (and a sensor break: NaN or
                     infinity from the module) to standard error with UTC time, module,
                     channel and tag; a file that cannot be right is refused (status 2)
  -h, --help         this text
  --version          the program's version

Options take their value as the next argument or after '=' (--port=/dev/ttyUSB0).
The link runs at 115200 baud, 8N1. A refresh that fails
still writes its row: what it could not read stays empty and the last column gives the
failure; a lost line is retried on every refresh. A module that failed 3 refreshes in a
row is asked only every 10th period until it answers again (its rows say so), so that
the live modules keep their period. Ctrl-C or SIGTERM lets the current refresh finish,
closes the file and prints a summary, overall and per module (with its response times:
request written to reply complete), on standard error. A module whose refreshes take more
than half the period is named on standard error, as is a USB adapter whose latency timer
slows every request.

A broker that refuses the connection or fails TLS is named on standard error as soon as
it answers, one that does not answer after 5 s; korun-log goes on recording and trying.

Exit status: 0 when at least one complete row was recorded, 1 when none was (module
silent, wrong address), the output could not be written or the MQTT broker never accepted
a message, 2 for bad arguments or an MQTT password or CA file that cannot be read.
)";

namespace {

bool takeMqttOptions(const QCommandLineParser &parser, LogOptions &options, QString &error)
{
    options.publish = parser.isSet(QStringLiteral("mqtt"));
    MqttSettings &mqtt = options.mqtt;
    const QString broker = parser.value(QStringLiteral("mqtt"));
    const int colon = broker.lastIndexOf(QLatin1Char(':'));
    mqtt.host = colon < 0 ? broker : broker.left(colon);
    bool ok = true;
    if (colon >= 0)
        mqtt.port = broker.mid(colon + 1).toInt(&ok);
    if (options.publish && (mqtt.host.isEmpty() || !ok || mqtt.port < 1 || mqtt.port > 65535)) {
        error = QStringLiteral("--mqtt takes HOST or HOST:PORT, not '%1'").arg(broker);
        return false;
    }
    mqtt.prefix = parser.value(QStringLiteral("topic"));
    mqtt.line = parser.isSet(QStringLiteral("line")) ? parser.value(QStringLiteral("line"))
                                                     : options.port.section(QLatin1Char('/'), -1);
    for (const QString &level : {mqtt.prefix, mqtt.line}) {
        if (level.isEmpty() || level.contains(QLatin1Char('/')) || level.contains(QLatin1Char('+'))
            || level.contains(QLatin1Char('#'))) {
            error = QStringLiteral("--topic and --line must be one topic level without / + #, not '%1'").arg(level);
            return false;
        }
    }
    mqtt.clientId = parser.isSet(QStringLiteral("client-id")) ? parser.value(QStringLiteral("client-id"))
                                                              : QStringLiteral("korun-log-") + mqtt.line;
    mqtt.user = parser.value(QStringLiteral("mqtt-user"));
    options.mqttPasswordFile = parser.value(QStringLiteral("mqtt-password-file"));
    mqtt.caFile = parser.value(QStringLiteral("mqtt-cafile"));
    mqtt.queueLimit = parser.value(QStringLiteral("mqtt-queue")).toInt(&ok);
    if (!ok || mqtt.queueLimit < 1) {
        error = QStringLiteral("--mqtt-queue must be a positive whole number, not '%1'")
                    .arg(parser.value(QStringLiteral("mqtt-queue")));
        return false;
    }
    return true;
}

} // namespace

bool parseLogOptions(const QStringList &arguments, LogOptions &options, QString &error)
{
    QCommandLineParser parser;
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    const QCommandLineOption help(QStringList{QStringLiteral("h"), QStringLiteral("help")});
    const QCommandLineOption version(QStringLiteral("version"));
    const QCommandLineOption port(QStringLiteral("port"), QString(), QStringLiteral("PATH"));
    const QCommandLineOption address(QStringLiteral("address"), QString(), QStringLiteral("X"), QStringLiteral("0"));
    const QCommandLineOption period(QStringLiteral("period"), QString(), QStringLiteral("SECONDS"), QStringLiteral("1"));
    const QCommandLineOption count(QStringLiteral("count"), QString(), QStringLiteral("N"));
    const QCommandLineOption output(QStringLiteral("output"), QString(), QStringLiteral("FILE"));
    const QCommandLineOption mqtt(QStringLiteral("mqtt"), QString(), QStringLiteral("HOST[:PORT]"));
    const QCommandLineOption topic(QStringLiteral("topic"), QString(), QStringLiteral("PREFIX"), QStringLiteral("korun"));
    const QCommandLineOption lineName(QStringLiteral("line"), QString(), QStringLiteral("NAME"));
    const QCommandLineOption clientId(QStringLiteral("client-id"), QString(), QStringLiteral("ID"));
    const QCommandLineOption user(QStringLiteral("mqtt-user"), QString(), QStringLiteral("NAME"));
    const QCommandLineOption passwordFile(QStringLiteral("mqtt-password-file"), QString(), QStringLiteral("FILE"));
    const QCommandLineOption caFile(QStringLiteral("mqtt-cafile"), QString(), QStringLiteral("FILE"));
    const QCommandLineOption queue(QStringLiteral("mqtt-queue"), QString(), QStringLiteral("N"), QStringLiteral("100000"));
    const QCommandLineOption channels(QStringLiteral("channels"), QString(), QStringLiteral("FILE"));
    parser.addOptions({help, version, port, address, period, count, output, mqtt, topic, lineName, clientId, user,
                       passwordFile, caFile, queue, channels});
    const LinkTimingOptions timingOptions(defaultLinkTiming);
    timingOptions.addTo(parser);
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
    if (!ok || !(options.periodSeconds >= RefreshPeriod::minSeconds && options.periodSeconds <= RefreshPeriod::maxSeconds)) {
        error = QStringLiteral("--period must be a number of seconds from %1 to %2, not '%3'")
                    .arg(RefreshPeriod::minSeconds)
                    .arg(RefreshPeriod::maxSeconds)
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
    if (!timingOptions.read(parser, options.timing, error)) {
        error += QStringLiteral(" (see --help)");
        return false;
    }
    options.hasChannels = parser.isSet(channels);
    if (options.hasChannels && !options.channels.read(parser.value(channels), error))
        return false;
    return takeMqttOptions(parser, options, error);
}
