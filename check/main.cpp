// korun-check: loop checks of Korun module channels against a calibrator.
#include "check_options.h"
#include "check_report.h"
#include "check_results.h"
#include "check_run.h"
#include "check_text.h"
#include "korun_mbproxy.h"
#include "link_settings.h"

#include <QGuiApplication>
#include <QLoggingCategory>

#include <cstdio>
#include <memory>
#include <unistd.h>

namespace {

void say(const QString &line)
{
    std::fputs((line + QLatin1Char('\n')).toUtf8().constData(), stdout);
    std::fflush(stdout);
}

void complain(const QString &message)
{
    std::fprintf(stderr, "korun-check: %s\n", message.toUtf8().constData());
}

int fail(const QString &message, int status)
{
    complain(message);
    return status;
}

// True when the engineer pressed Enter; false for q or the end of input.
bool calibratorSet(const PointResult &result, int count)
{
    const CheckPoint &point = result.point;
    const QString prompt = QStringLiteral("Point %1 of %2, %3 channel %4%5: set the calibrator to %6 °C and press Enter "
                                          "(q and Enter stops) ")
                               .arg(point.entry)
                               .arg(count)
                               .arg(moduleText(point.selector))
                               .arg(point.channel)
                               .arg(point.note.isEmpty() ? QString() : QStringLiteral(", ") + point.note)
                               .arg(expectedText(point.expected));
    std::fputs(prompt.toUtf8().constData(), stdout);
    std::fflush(stdout);
    char answer[256];
    if (!std::fgets(answer, sizeof answer, stdin))
        return false;
    return QString::fromUtf8(answer).trimmed().compare(QLatin1String("q"), Qt::CaseInsensitive) != 0;
}

void measureAll(Korun_MBProxy &proxy, CheckRun &run, std::vector<PointCheck> &checks, const CheckOptions &options)
{
    bool stopped = false;
    for (PointCheck &check : checks) {
        // One point from the command line: the engineer has set the calibrator already.
        if (!check.done() && !stopped && options.fromPlan && !options.yes)
            stopped = !calibratorSet(check.result(), int(checks.size()));
        if (!check.done() && !stopped)
            measurePoint(proxy, check, options.intervalMs);
        if (!check.done())
            check.finishWithout(Verdict::NotRun, QStringLiteral("the run was stopped before this point"));
        run.results << check.result();
        for (const QString &line : pointLines(check.result()))
            say(line);
    }
}

int exitStatus(Verdict overall)
{
    return overall == Verdict::Pass ? 0 : overall == Verdict::Fail ? 1 : 3;
}

} // namespace

int main(int argc, char *argv[])
{
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    CheckOptions options;
    QString error;
    const bool parsed = parseCheckOptions(arguments, options, error);
    // Only the report needs a GUI application, for its fonts; nothing is ever shown.
    std::unique_ptr<QCoreApplication> application;
    if (parsed && !options.reportPath.isEmpty()) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        application = std::make_unique<QGuiApplication>(argc, argv);
    } else {
        application = std::make_unique<QCoreApplication>(argc, argv);
    }
    QLoggingCategory::setFilterRules(QStringLiteral("default.debug=false\nqt.modbus*=false"));
    if (!parsed)
        return fail(error, 2);
    if (options.help) {
        std::fputs(checkUsage().toUtf8().constData(), stdout);
        return 0;
    }
    if (options.version) {
        std::printf("korun-check %s\n", KORUN_VERSION);
        return 0;
    }
    if (options.fromPlan && !options.yes && !isatty(STDIN_FILENO))
        return fail(QStringLiteral("--plan asks before each point, on a terminal; --yes reads each point at once"), 2);

    CheckRun run;
    run.startedUtc = QDateTime::currentDateTimeUtc();
    run.engineer = options.engineer;
    run.label = options.label;
    run.port = options.port;
    Korun_MBProxy proxy;
    configureLink(proxy, options.port, options.points.first().selector);
    proxy.setTimeout(options.timing.timeoutMs);
    proxy.setNumberOfRetries(options.timing.retries);
    if (!proxy.connectDevice() || !proxy.isConnected()) {
        const QString reason = QStringLiteral("cannot open %1: %2").arg(options.port, proxy.errorString());
        complain(reason);
        for (const CheckPoint &point : options.points) {
            PointCheck check(point, options.samples);
            check.finishWithout(Verdict::NoReading, reason);
            run.results << check.result();
            for (const QString &line : pointLines(check.result()))
                say(line);
        }
    } else {
        std::vector<PointCheck> checks;
        const QStringList refusals = preparePoints(proxy, run, options.points, options.samples, checks);
        for (const ModuleFacts &module : run.modules) {
            say(moduleText(module.selector));
            for (const QString &line : channelLines(module))
                say(QStringLiteral("  ") + line);
        }
        if (!refusals.isEmpty()) {
            for (const QString &refusal : refusals)
                complain(refusal);
            return fail(QStringLiteral("nothing was measured"), 2);
        }
        measureAll(proxy, run, checks, options);
    }
    say(QStringLiteral("overall: ") + overallLine(run));

    if (!options.resultsPath.isEmpty() && !writeResults(run, options.resultsPath, error))
        return fail(error, 2);
    if (!options.reportPath.isEmpty() && !writeReport(run, options.reportPath, error))
        return fail(error, 2);
    return exitStatus(overallVerdict(run.results));
}
