// korun-log: records the Korun module's live values as CSV, without the window.
#include "log_options.h"
#include "measurement_logger.h"
#include "stop_signals.h"

#include <QCoreApplication>
#include <QFile>
#include <QLoggingCategory>

#include <cstdio>

int main(int argc, char *argv[])
{
    QCoreApplication application(argc, argv);
    // The proxy's debug lines and the serial library's warnings belong to the status column.
    QLoggingCategory::setFilterRules(QStringLiteral("default.debug=false\nqt.modbus*=false"));

    LogOptions options;
    QString error;
    if (!parseLogOptions(application.arguments(), options, error)) {
        std::fprintf(stderr, "korun-log: %s\n", qPrintable(error));
        return 2;
    }
    if (options.help) {
        std::fputs(logUsage, stdout);
        return 0;
    }

    QFile output;
    const bool toFile = !options.output.isEmpty();
    if (toFile) {
        output.setFileName(options.output);
        // Appending never loses an earlier recording.
        if (!output.open(QIODevice::WriteOnly | QIODevice::Append)) {
            std::fprintf(stderr, "korun-log: cannot write %s: %s\n", qPrintable(options.output),
                         qPrintable(output.errorString()));
            return 2;
        }
    } else if (!output.open(stdout, QIODevice::WriteOnly)) {
        std::fputs("korun-log: cannot write standard output\n", stderr);
        return 2;
    }

    MeasurementLogger logger(output);
    if (!logger.open(options.port, options.selector, error)) {
        std::fprintf(stderr, "korun-log: %s\n", qPrintable(error));
        return 1;
    }
    StopSignals signals_;
    QObject::connect(&signals_, &StopSignals::stopRequested, &logger, &MeasurementLogger::stop);
    QObject::connect(&logger, &MeasurementLogger::finished, &application, &QCoreApplication::quit,
                     Qt::QueuedConnection);
    logger.start(options.periodSeconds, options.count, !toFile || output.size() == 0);
    application.exec();
    output.close();
    std::fprintf(stderr, "%s\n", qPrintable(logger.summary()));
    return 0;
}
