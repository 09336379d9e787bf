#pragma once

#include "channel_alarm.h"
#include "module_alarm.h"
#include "module_health.h"

#include <QAbstractTableModel>
#include <QDateTime>
#include <QVector>

#include <optional>

struct SweepRow;

// One row per module and channel: what the channel last read, how old that is, the
// module's health, the alarm limits (edited in place) and whether the trend shows it.
// Follows each channel's alarm and each module's "no answer" alarm.
class LiveTableModel : public QAbstractTableModel
{
    Q_OBJECT

public:
    enum Column { Module, Channel, Sensor, Value, Temperature, Age, Health, LowLimit, HighLimit, Alarm, Trend,
                  ColumnCount };

    explicit LiveTableModel(QObject *parent = nullptr);

    // The modules by address switch, in the order they are polled; clears everything.
    void setModules(const QVector<int> &selectors);
    // A module's row of a sweep, with its health after it; `module` is its index.
    void update(int module, const SweepRow &row, const ModuleHealth &health);
    // The age column moves with the clock.
    void refreshAges();
    // Rows ticked for the trend; a row's index is module * 4 + channel.
    QVector<int> plottedRows() const;
    QString rowName(int row) const;
    // The module's name in the table: "0xB3".
    QString moduleName(int module) const;
    // The row's temperature for an alarm entry: "25.00 °C", or why there is none.
    QString readingText(int row) const;
    std::optional<float> temperature(int row) const { return rows.value(row).temperature; }

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;
    bool setData(const QModelIndex &index, const QVariant &value, int role) override;

signals:
    // A channel's alarm was raised or cleared (kind None).
    void alarmChanged(int row, ChannelAlarm::Kind kind);
    // A module stopped answering (with the failure) or answers again.
    void moduleAlarmChanged(int module, bool raised, const QString &failure);
    void plottedRowsChanged();

private:
    struct ChannelRow {
        int module = 0; // index in the polling order
        int selector = 0;
        int channel = 0;
        std::optional<unsigned> sensor;
        std::optional<float> value;
        std::optional<float> temperature;
        QString nonReading; // what the module sent instead of a number, when it did
        QDateTime readAt;
        QString health;
        bool failing = false;
        ChannelAlarm alarm;
        bool plotted = false;
    };

    QString displayText(const ChannelRow &row, int column) const;
    QString temperatureText(const ChannelRow &row) const;

    QVector<ChannelRow> rows;
    QVector<ModuleAlarm> moduleAlarms;
};
