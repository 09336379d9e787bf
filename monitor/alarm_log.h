#pragma once

#include <QAbstractTableModel>
#include <QDateTime>
#include <QVector>

// The alarms of the run, active ones first (newest first), then the cleared ones (latest
// cleared first): raised and cleared times, module, channel, tag, kind, the value that
// raised it and the limit crossed, and when it was acknowledged. An alarm is known by its
// source (a channel, or a module for "no answer"): one source has at most one active alarm.
class AlarmLog : public QAbstractTableModel
{
    Q_OBJECT

public:
    enum Column { Raised, Cleared, Module, Channel, Tag, Kind, Value, Limit, Acknowledged, ColumnCount };

    struct Entry {
        int source = 0;
        QDateTime raised, cleared, acknowledged;
        QString module, channel, tag, kind, value, limit;
    };

    explicit AlarmLog(QObject *parent = nullptr);

    void raise(const Entry &entry);
    // Clears the source's active alarm; false when it had none.
    bool clear(int source, const QDateTime &at);
    void acknowledge(const QList<int> &rows, const QDateTime &at);
    // Forgets the alarms that are over.
    void removeCleared();
    int activeCount() const;
    const Entry &entry(int row) const { return entries[row]; }
    bool saveCsv(const QString &path, QString &error) const;

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

signals:
    void activeCountChanged(int count);

private:
    QString cell(const Entry &entry, int column) const;
    void reorder();

    QVector<Entry> entries;
};
