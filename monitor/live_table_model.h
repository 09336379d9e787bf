#pragma once

#include "channel_alarm.h"
#include "module_health.h"

#include <QAbstractTableModel>
#include <QDateTime>
#include <QVector>

#include <optional>

struct SweepRow;

// One row per module and channel: what the channel last read, how old that is, the
// module's health, the alarm limits (edited in place) and whether the trend shows it.
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
    std::optional<float> temperature(int row) const { return rows.value(row).temperature; }

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;
    bool setData(const QModelIndex &index, const QVariant &value, int role) override;

signals:
    // A channel's alarm was raised or cleared (kind None).
    void alarmChanged(int row, ChannelAlarm::Kind kind, double temperature);
    void plottedRowsChanged();

private:
    struct ChannelRow {
        int selector = 0;
        int channel = 0;
        std::optional<unsigned> sensor;
        std::optional<float> value;
        std::optional<float> temperature;
        QDateTime readAt;
        QString health;
        bool failing = false;
        ChannelAlarm alarm;
        bool plotted = false;
    };

    QString displayText(const ChannelRow &row, int column) const;

    QVector<ChannelRow> rows;
};
