// korun-monitor: the modules of a line at a glance, with trends, alarms and recording.
#include "link_timing_options.h"
#include "refresh_period.h"
#include "monitor_window.h"
#include "stop_signals.h"
#include "traffic_view.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QFile>
#include <QRegularExpression>
#include <QLoggingCategory>

#include <cstdio>
#include <cstring>

namespace {

const char usage[] = R"(Usage: korun-monitor [--port PATH] [--address X[,Y...] | --scan] [--period SECONDS] [--record FILE]
       korun-monitor --mqtt HOST[:PORT] [--line NAME] [--topic PREFIX] [MQTT options] [--record FILE]

A window on a line of Korun modules: a live table of every channel (sensor, value, temperature,
age of the reading, the module's health, alarm limits), a trend of the chosen channels with
statistics over the visible span, an alarm list, recording to CSV in korun-log's format and
the line's Modbus traffic. Everything on the command line can also be set in the window.

Options:
  --port PATH        serial port of the RS-485 adapter; polling starts at once when given
  --address X,Y,...  the modules' address switches, 0..F; default 0
  --scan             find the modules on the line first (instead of --address)
  --period SECONDS   time between refreshes of the line, 0.01 (as fast as the line answers)
                     to 86400 (a day); default 1
  --record FILE      record to FILE from the start (appended to, in korun-log's format)
  --channels FILE    tags, alarm limits and hidden channels from this channel file (shared
                     with korun-log), saved back to it with "Save channels"; without it
                     they are kept between runs in the monitor's own settings
  --mqtt HOST[:PORT] view a line that korun-log publishes to this MQTT broker (port 1883 by
                     default) instead of polling one: nothing is sent to any module
  --line NAME        the line's level of the topics, as korun-log's --line; without it,
                     the window lists the lines the broker knows to choose from
  --topic PREFIX     first level of the topics; default korun
  --mqtt-user NAME   user name for the broker
  --mqtt-password-file FILE
                     the broker password, from the first line of FILE
  --mqtt-cafile FILE TLS, trusting the certificate authorities in FILE
)";

const char usageEnd[] = R"(  -h, --help, --version

Every entry of the alarm list also goes to standard error. SIGTERM, Ctrl-C or closing
the window lets the refresh under way finish, closes the recording and exits with status
0, or 1 when a recording stopped because a row could not be written (disk full...).
)";

// --mqtt and its companions, checked as korun-log checks them.
bool readBrokerOptions(const QCommandLineParser &parser, BrokerLineSettings &broker, QString &error)
{
    const QString address = parser.value(QStringLiteral("mqtt"));
    const int colon = address.lastIndexOf(QLatin1Char(':'));
    broker.host = colon < 0 ? address : address.left(colon);
    bool ok = true;
    if (colon >= 0)
        broker.port = address.mid(colon + 1).toInt(&ok);
    if (broker.host.isEmpty() || !ok || broker.port < 1 || broker.port > 65535) {
        error = QStringLiteral("--mqtt takes HOST or HOST:PORT, not '%1'").arg(address);
        return false;
    }
    broker.prefix = parser.value(QStringLiteral("topic"));
    broker.line = parser.value(QStringLiteral("line"));
    // Without --line the window offers the lines the broker knows.
    const QStringList levels = parser.isSet(QStringLiteral("line")) ? QStringList{broker.prefix, broker.line}
                                                                    : QStringList{broker.prefix};
    for (const QString &level : levels) {
        if (level.isEmpty() || level.contains(QRegularExpression(QStringLiteral("[/+#]")))) {
            error = QStringLiteral("--topic and --line take one topic level without / + #, not '%1'").arg(level);
            return false;
        }
    }
    broker.user = parser.value(QStringLiteral("mqtt-user"));
    broker.caFile = parser.value(QStringLiteral("mqtt-cafile"));
    if (parser.isSet(QStringLiteral("mqtt-password-file"))) {
        QFile file(parser.value(QStringLiteral("mqtt-password-file")));
        if (!file.open(QIODevice::ReadOnly)) {
            error = QStringLiteral("cannot read the MQTT password from %1: %2").arg(file.fileName(), file.errorString());
            return false;
        }
        broker.password = QString::fromUtf8(file.readLine()).trimmed();
    }
    return true;
}

} // namespace

int main(int argc, char *argv[])
{
    const LinkTimingOptions timingOptions(MonitorSettings().timing);
    // Before QApplication, which needs a display.
    if (argc > 1 && (!std::strcmp(argv[1], "--help") || !std::strcmp(argv[1], "-h") || !std::strcmp(argv[1], "--version"))) {
        if (std::strcmp(argv[1], "--version")) {
            std::fputs(usage, stdout);
            std::fputs(qPrintable(timingOptions.helpText(21)), stdout);
            std::fputs(usageEnd, stdout);
        } else
            std::printf("korun-monitor %s\n", KORUN_VERSION);
        return 0;
    }
    QCommandLineParser parser;
    const QCommandLineOption port(QStringLiteral("port"), QString(), QStringLiteral("PATH"));
    const QCommandLineOption address(QStringLiteral("address"), QString(), QStringLiteral("X"));
    const QCommandLineOption scan(QStringLiteral("scan"));
    const QCommandLineOption period(QStringLiteral("period"), QString(), QStringLiteral("SECONDS"), QStringLiteral("1"));
    const QCommandLineOption record(QStringLiteral("record"), QString(), QStringLiteral("FILE"));
    const QCommandLineOption channels(QStringLiteral("channels"), QString(), QStringLiteral("FILE"));
    const QCommandLineOption mqtt(QStringLiteral("mqtt"), QString(), QStringLiteral("HOST[:PORT]"));
    const QCommandLineOption line(QStringLiteral("line"), QString(), QStringLiteral("NAME"));
    const QCommandLineOption topic(QStringLiteral("topic"), QString(), QStringLiteral("PREFIX"), QStringLiteral("korun"));
    const QCommandLineOption user(QStringLiteral("mqtt-user"), QString(), QStringLiteral("NAME"));
    const QCommandLineOption passwordFile(QStringLiteral("mqtt-password-file"), QString(), QStringLiteral("FILE"));
    const QCommandLineOption caFile(QStringLiteral("mqtt-cafile"), QString(), QStringLiteral("FILE"));
    parser.addOptions({port, address, scan, period, record, channels, mqtt, line, topic, user, passwordFile, caFile});
    timingOptions.addTo(parser);
    // Every option is checked before QApplication, which aborts without a display.
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    if (!parser.parse(arguments)) {
        std::fprintf(stderr, "korun-monitor: %s (see --help)\n", qPrintable(parser.errorText()));
        return 2;
    }
    MonitorSettings settings;
    QString error;
    if (!timingOptions.read(parser, settings.timing, error)) {
        std::fprintf(stderr, "korun-monitor: %s (see --help)\n", qPrintable(error));
        return 2;
    }
    settings.port = parser.value(port);
    bool ok = true;
    settings.periodSeconds = parser.value(period).toDouble(&ok);
    if (!ok || !(settings.periodSeconds >= RefreshPeriod::minSeconds && settings.periodSeconds <= RefreshPeriod::maxSeconds)) {
        std::fprintf(stderr, "korun-monitor: --period must be a number of seconds from %g to %g, not '%s'\n",
                     RefreshPeriod::minSeconds, RefreshPeriod::maxSeconds, qPrintable(parser.value(period)));
        return 2;
    }
    if (parser.isSet(address)) {
        settings.selectors.clear();
        for (const QString &digit : parser.value(address).split(QLatin1Char(','))) {
            const int selector = digit.toInt(&ok, 16);
            if (!ok || digit.size() != 1 || settings.selectors.contains(selector)) {
                std::fprintf(stderr, "korun-monitor: --address takes hex digits 0..F, not '%s'\n", qPrintable(digit));
                return 2;
            }
            settings.selectors << selector;
        }
    }

    if (parser.isSet(mqtt) && !readBrokerOptions(parser, settings.broker, error)) {
        std::fprintf(stderr, "korun-monitor: %s (see --help)\n", qPrintable(error));
        return 2;
    }

    // A channel file that cannot be right is refused before the port is opened.
    if (parser.isSet(channels)) {
        settings.channelsPath = parser.value(channels);
        if (!settings.channels.read(settings.channelsPath, error)) {
            std::fprintf(stderr, "korun-monitor: %s\n", qPrintable(error));
            return 2;
        }
    }

    QApplication application(argc, argv);
    QCoreApplication::setOrganizationName(QStringLiteral("Korun"));
    QCoreApplication::setApplicationName(QStringLiteral("korun-monitor"));
    QLoggingCategory::setFilterRules(QStringLiteral("default.debug=false"));
    TrafficView::installMessageHandler();

    MonitorWindow window(settings);
    QObject::connect(&window, &MonitorWindow::reported,
                     [](const QString &text) { std::fprintf(stderr, "korun-monitor: %s\n", qPrintable(text)); });
    window.show();
    StopSignals stopSignals;
    QObject::connect(&stopSignals, &StopSignals::stopRequested, &window, &MonitorWindow::finishAndQuit);
    if (parser.isSet(record) && !window.startRecording(parser.value(record))) {
        std::fprintf(stderr, "korun-monitor: cannot record to %s\n", qPrintable(parser.value(record)));
        return 1;
    }
    if (window.isViewer())
        window.startViewing();
    else if (!settings.port.isEmpty()) {
        if (parser.isSet(scan))
            window.scanLine();
        if (!window.startPolling())
            std::fprintf(stderr, "korun-monitor: cannot poll %s (see the window's status bar)\n",
                         qPrintable(settings.port));
    }
    const int status = application.exec();
    return window.recordingFailed() ? 1 : status;
}
