// korun-log: records the Korun module's live values as CSV, without the window.
#include "channel_alarm_log.h"
#include "csv_recorder.h"
#include "log_options.h"
#include "measurement_logger.h"
#include "mqtt_files.h"
#include "mqtt_message.h"
#include "mqtt_publisher.h"
#include "stop_signals.h"

#include <QCoreApplication>
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
        std::fputs(qPrintable(LinkTimingOptions(defaultLinkTiming).helpText(21)), stdout);
        std::fputs(logUsageEnd, stdout);
        return 0;
    }
    if (options.version) {
        std::printf("korun-log %s\n", KORUN_VERSION);
        return 0;
    }

    // A file the MQTT options name that cannot be used is refused before the port or the
    // output is opened.
    if (options.publish && !readMqttFiles(options, error)) {
        std::fprintf(stderr, "korun-log: %s\n", qPrintable(error));
        return 2;
    }

    if (options.hasChannels)
        setChannelFile(options.channels);
    CsvRecorder recorder;
    if (!recorder.open(options.output, error)) {
        std::fprintf(stderr, "korun-log: %s\n", qPrintable(error));
        return 2;
    }

    MeasurementLogger logger(recorder, options.selectors);
    QObject::connect(&logger, &MeasurementLogger::warning,
                     [](const QString &text) { std::fprintf(stderr, "korun-log: %s\n", qPrintable(text)); });
    if (!logger.open(options.port, options.timing, error)) {
        std::fprintf(stderr, "korun-log: %s\n", qPrintable(error));
        return 1;
    }
    MqttPublisher publisher(options.mqtt);
    if (options.publish) {
        if (!publisher.start(error)) {
            std::fprintf(stderr, "korun-log: %s\n", qPrintable(error));
            return 2;
        }
        publisher.setModules(options.selectors);
        publisher.publishInfo(infoMessage(publisher.line(), options.selectors, options.periodSeconds));
        logger.setPublisher(&publisher);
    }
    StopSignals signals_;
    QObject::connect(&signals_, &StopSignals::stopRequested, &logger, &MeasurementLogger::stop);
    QObject::connect(&logger, &MeasurementLogger::finished, &application, &QCoreApplication::quit,
                     Qt::QueuedConnection);
    logger.start(options.periodSeconds, options.count);
    application.exec();
    recorder.close();
    bool published = true;
    if (options.publish) {
        // What is still queued gets a few seconds to reach the broker.
        publisher.finish(5000);
        published = publisher.acknowledged() > 0;
        const QString verdict = published ? QString()
                                          : QStringLiteral("; the broker %1 never accepted a message").arg(publisher.brokerName());
        std::fprintf(stderr, "korun-log: MQTT %lld messages acknowledged, %lld dropped, %d not delivered%s\n",
                     publisher.acknowledged(), publisher.dropped(), publisher.waiting(), qPrintable(verdict));
    }
    if (logger.writeFailed()) {
        std::fprintf(stderr, "korun-log: cannot write the recording: %s\n", qPrintable(recorder.error()));
        std::fprintf(stderr, "%s\n", qPrintable(logger.summary()));
        return 1;
    }
    std::fprintf(stderr, "%s\n", qPrintable(logger.summary()));
    if (logger.completeRows() == 0) {
        std::fputs("korun-log: no complete row was recorded: is the module there, at this address?\n", stderr);
        return 1;
    }
    return published ? 0 : 1;
}
