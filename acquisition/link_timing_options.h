#pragma once

// --timeout MS and --retries N, the same in every line program.

#include "link_settings.h"

#include <QCommandLineOption>
#include <QString>

class QCommandLineParser;

struct LinkTiming {
    int timeoutMs;
    int retries;
};

// The link's own: 200 ms, 3 retries.
constexpr LinkTiming defaultLinkTiming = {LinkSettings::responseTimeoutMs, LinkSettings::numberOfRetries};

class LinkTimingOptions
{
public:
    static constexpr int minimumTimeoutMs = 10;
    static constexpr int maximumTimeoutMs = 10000;
    static constexpr int maximumRetries = 10;

    // `defaults` are the program's own when the options are not given.
    explicit LinkTimingOptions(LinkTiming defaults);

    void addTo(QCommandLineParser &parser) const;
    // The values given, or the defaults; false with `error` for a value out of range.
    bool read(const QCommandLineParser &parser, LinkTiming &timing, QString &error) const;
    // Lines for a program's --help, its option names padded to `column` characters.
    QString helpText(int column = 16) const;

private:
    LinkTiming defaults;
    QCommandLineOption timeout;
    QCommandLineOption retries;
};
