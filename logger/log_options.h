#pragma once

#include "channel_file.h"
#include "link_timing_options.h"
#include "mqtt_publisher.h"

#include <QString>
#include <QStringList>
#include <QVector>

struct LogOptions {
    QString port;
    QVector<int> selectors = {0}; // address switches 0..15, in the order given; bus address 176 + selector
    double periodSeconds = 1.0;
    LinkTiming timing = defaultLinkTiming;
    long long count = 0;     // refreshes to log; 0 = until stopped
    QString output;          // empty = standard output
    bool help = false;
    bool version = false;
    bool publish = false;    // --mqtt given
    MqttSettings mqtt;       // password still to be read from mqttPasswordFile
    QString mqttPasswordFile;
    bool hasChannels = false; // --channels given
    ChannelFile channels;     // tags and alarm limits from --channels
};

// A period a timer can hold, with room to spare.
constexpr double maxPeriodSeconds = 86400;

// Parses the command line; on failure returns false with a one-line message in error.
bool parseLogOptions(const QStringList &arguments, LogOptions &options, QString &error);

// --help: the first part, the timing options, the rest.
extern const char logUsage[];
extern const char logUsageEnd[];
