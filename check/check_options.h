#pragma once

#include "check_point.h"
#include "link_timing_options.h"

#include <QString>
#include <QStringList>
#include <QVector>

struct CheckOptions {
    QString port;
    QVector<CheckPoint> points; // from --plan, or the one point of --channel/--expect
    bool fromPlan = false;
    int samples = 10;
    int intervalMs = 500;
    LinkTiming timing = defaultLinkTiming;
    bool yes = false;
    QString label; // "as-found", "as-left" or empty
    QString engineer;
    QString reportPath;
    QString resultsPath;
    bool help = false;
    bool version = false;
};

// Parses the command line and reads the plan; on failure returns false with a one-line
// message in error. Nothing is opened but the plan file.
bool parseCheckOptions(const QStringList &arguments, CheckOptions &options, QString &error);

// The text of --help.
QString checkUsage();
