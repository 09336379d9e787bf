#include "alarm_log.h"

#include <QBrush>
#include <QColor>
#include <QSaveFile>

#include <algorithm>

namespace {

QString timeText(const QDateTime &time)
{
    return time.isValid() ? time.toLocalTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")) : QString();
}

QString csvCell(QString text)
{
    if (!text.contains(QLatin1Char(',')) && !text.contains(QLatin1Char('"')))
        return text;
    return QLatin1Char('"') + text.replace(QLatin1String("\""), QLatin1String("\"\"")) + QLatin1Char('"');
}

} // namespace

AlarmLog::AlarmLog(QObject *parent) : QAbstractTableModel(parent) {}

void AlarmLog::raise(const Entry &entry)
{
    beginResetModel();
    entries.append(entry);
    reorder();
    endResetModel();
    emit activeCountChanged(activeCount());
}

bool AlarmLog::clear(int source, const QDateTime &at)
{
    for (Entry &e : entries) {
        if (e.source == source && !e.cleared.isValid()) {
            beginResetModel();
            e.cleared = at;
            reorder();
            endResetModel();
            emit activeCountChanged(activeCount());
            return true;
        }
    }
    return false;
}

void AlarmLog::acknowledge(const QList<int> &rows, const QDateTime &at)
{
    for (int row : rows) {
        if (row >= 0 && row < entries.size() && !entries[row].acknowledged.isValid()) {
            entries[row].acknowledged = at;
            emit dataChanged(index(row, 0), index(row, ColumnCount - 1));
        }
    }
}

void AlarmLog::removeCleared()
{
    beginResetModel();
    entries.erase(std::remove_if(entries.begin(), entries.end(), [](const Entry &e) { return e.cleared.isValid(); }),
                  entries.end());
    endResetModel();
}

int AlarmLog::activeCount() const
{
    return int(std::count_if(entries.begin(), entries.end(), [](const Entry &e) { return !e.cleared.isValid(); }));
}

void AlarmLog::reorder()
{
    std::stable_sort(entries.begin(), entries.end(), [](const Entry &a, const Entry &b) {
        if (a.cleared.isValid() != b.cleared.isValid())
            return !a.cleared.isValid();
        return a.cleared.isValid() ? a.cleared > b.cleared : a.raised > b.raised;
    });
}

bool AlarmLog::saveCsv(const QString &path, QString &error) const
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        error = file.errorString();
        return false;
    }
    QByteArray text = "raised_utc,cleared_utc,module,channel,tag,kind,value,limit_C,acknowledged_utc\n";
    const auto utc = [](const QDateTime &t) { return t.isValid() ? t.toUTC().toString(Qt::ISODate) : QString(); };
    for (const Entry &e : entries) {
        const QStringList cells = {utc(e.raised), utc(e.cleared), e.module,  e.channel, csvCell(e.tag),
                                   e.kind,        csvCell(e.value), e.limit, utc(e.acknowledged)};
        text += cells.join(QLatin1Char(',')).toUtf8() + '\n';
    }
    if (file.write(text) < 0 || !file.commit()) {
        error = file.errorString();
        return false;
    }
    return true;
}

int AlarmLog::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : entries.size();
}

int AlarmLog::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QString AlarmLog::cell(const Entry &e, int column) const
{
    switch (column) {
    case Raised: return timeText(e.raised);
    case Cleared: return timeText(e.cleared);
    case Module: return e.module;
    case Channel: return e.channel;
    case Tag: return e.tag;
    case Kind: return e.kind;
    case Value: return e.value;
    case Limit: return e.limit;
    case Acknowledged: return timeText(e.acknowledged);
    }
    return QString();
}

QVariant AlarmLog::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= entries.size())
        return {};
    const Entry &e = entries[index.row()];
    if (role == Qt::DisplayRole)
        return cell(e, index.column());
    if (role == Qt::BackgroundRole && !e.cleared.isValid())
        return QBrush(e.acknowledged.isValid() ? QColor(255, 220, 200) : QColor(255, 160, 160));
    return {};
}

QVariant AlarmLog::headerData(int section, Qt::Orientation orientation, int role) const
{
    static const char *const titles[ColumnCount] = {"Raised", "Cleared", "Module", "Ch", "Tag",
                                                    "Kind", "Value", "Limit °C", "Acknowledged"};
    if (orientation == Qt::Horizontal && role == Qt::DisplayRole && section >= 0 && section < ColumnCount)
        return QString::fromUtf8(titles[section]);
    return QAbstractTableModel::headerData(section, orientation, role);
}
