#pragma once

#include <QMap>
#include <QPair>
#include <QString>

#include <cmath>

// What an engineer says about one channel: its tag, its alarm limits (degC, NaN for none)
// and whether it is kept out of the way in the monitor.
struct ChannelSettings {
    QString tag;
    double low = NAN;
    double high = NAN;
    bool hidden = false;

    bool operator==(const ChannelSettings &o) const
    {
        const auto same = [](double a, double b) { return a == b || (std::isnan(a) && std::isnan(b)); };
        return tag == o.tag && same(low, o.low) && same(high, o.high) && hidden == o.hidden;
    }
};

// The channel file shared by korun-monitor and korun-log (--channels FILE):
// {"format": "korun-channels/1", "channels": [{"module": "A", "channel": 1, "tag": "Furnace",
//  "low_C": 20.0, "high_C": 40.0, "hidden": false}]}, module the address-switch digit,
// channel 1..4; every key but module and channel may be left out.
class ChannelFile
{
public:
    // (address-switch digit, channel 0..3)
    using Key = QPair<int, int>;
    QMap<Key, ChannelSettings> channels;

    ChannelSettings value(int selector, int channel) const { return channels.value({selector, channel}); }
    // Refuses, naming the entry, anything that cannot be right: low >= high, a module that is
    // not one hex digit, a channel outside 1..4, another format, an entry given twice.
    bool parse(const QByteArray &json, QString &error);
    bool read(const QString &path, QString &error);
    QByteArray toJson() const;
    bool write(const QString &path, QString &error) const;
};

// "" when the limits can stand together, else why not.
QString limitsProblem(double low, double high);
