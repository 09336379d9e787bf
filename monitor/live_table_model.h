#pragma once

#include "channel_alarms.h"
#include "channel_file.h"
#include "module_health.h"

#include <QAbstractItemModel>
#include <QDateTime>
#include <QVector>

#include <optional>

struct SweepRow;

// One group per module (its address, its health sentence, the age of its readings) with
// its four channels beneath: tag, sensor, value, temperature, the alarm limits (edited in
// place, checked as typed), the alarm, whether the channel is hidden and whether the trend
// shows it. A channel is numbered module * 4 + channel throughout the window. Follows each
// channel's alarm and each module's "no answer" alarm by the shared rule.
class LiveTableModel : public QAbstractItemModel
{
    Q_OBJECT

public:
    enum Column { Name, Tag, Sensor, Value, Temperature, LowLimit, HighLimit, Alarm, Hide, Trend, ColumnCount };
    // Column Name, "1" for a channel kept out of the way (hidden, or without a sensor).
    static constexpr int OutOfWayRole = Qt::UserRole + 1;

    explicit LiveTableModel(QObject *parent = nullptr);

    // Tags, limits and hidden marks, for these modules and any polled later.
    void setChannelFile(const ChannelFile &file);
    // What the user set, for every channel ever shown and the file's others.
    ChannelFile channelFile() const { return settings; }
    // The modules by address switch, in the order they are polled; a module that stays keeps
    // its row (readings, health, alarm states), a new one starts without readings.
    void setModules(const QVector<int> &selectors);
    int moduleCount() const { return modules.size(); }
    void update(int module, const SweepRow &row, const ModuleHealth &health);
    void refreshAges();
    // Nothing current is known of the module any more: grey, `why` as its health, no readings.
    void setSilent(int module, const QString &why);

    QModelIndex channelIndex(int channel, int column) const;
    QVector<int> plottedChannels() const;
    void setPlottedChannels(const QVector<int> &channels);
    int selectorOf(int channel) const { return modules[channel / 4].selector; }
    // "0xB3 ch1 Furnace zone 1"
    QString channelName(int channel) const;
    QString tagOf(int channel) const;
    // The sensor the module last reported on the channel; none before a reading.
    std::optional<unsigned> sensorOf(int channel) const { return modules[channel / 4].channels[channel % 4].sensor; }
    QString moduleName(int module) const;
    QString readingText(int channel) const;
    const ChannelAlarm &alarmOf(int channel) const { return modules[channel / 4].channels[channel % 4].alarm; }
    // Why `text` cannot be the low or high limit of the channel; empty when it can.
    QString limitProblem(const QModelIndex &index, const QString &text) const;

    QModelIndex index(int row, int column, const QModelIndex &parent = {}) const override;
    QModelIndex parent(const QModelIndex &child) const override;
    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;
    bool setData(const QModelIndex &index, const QVariant &value, int role) override;

signals:
    // A channel's alarm changed: `was` the kind before (None when raised from nothing).
    void alarmChanged(int channel, ChannelAlarm::Kind was, ChannelAlarm::Kind now);
    void moduleAlarmChanged(int module, bool raised, const QString &failure);
    void plottedChannelsChanged();
    // A tag, limit or hidden mark was changed by the user.
    void channelSettingsChanged();
    // A value typed into a cell was refused, and why.
    void refused(const QString &why);

private:
    struct ChannelRow {
        std::optional<unsigned> sensor;
        std::optional<float> value;
        std::optional<float> temperature;
        QString nonReading; // what the module sent instead of a number, when it did
        ChannelAlarm alarm;
        ChannelSettings settings;
        bool plotted = false;
    };
    struct ModuleRow {
        int selector = 0;
        QDateTime readAt;
        QString health;
        bool failing = false;
        ModuleAlarm alarm;
        ChannelRow channels[4];
    };

    QVariant channelData(const ModuleRow &module, const ChannelRow &row, int column, int role) const;
    QVariant moduleData(const ModuleRow &module, int column, int role) const;
    QString temperatureText(const ChannelRow &row) const;
    void storeSettings(int channel);

    QVector<ModuleRow> modules;
    ChannelFile settings;
};
