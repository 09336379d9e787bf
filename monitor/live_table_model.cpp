#include "live_table_model.h"

#include "link_settings.h"
#include "module_line.h"
#include "sensor_catalogue.h"

#include <QBrush>
#include <QColor>

namespace {

QString limitText(double limit)
{
    return std::isnan(limit) ? QString() : QString::number(limit, 'f', 1);
}

} // namespace

LiveTableModel::LiveTableModel(QObject *parent)
    : QAbstractTableModel(parent)
{
}

void LiveTableModel::setModules(const QVector<int> &selectors)
{
    beginResetModel();
    rows.clear();
    moduleAlarms = QVector<ModuleAlarm>(selectors.size());
    for (int module = 0; module < selectors.size(); ++module) {
        for (int channel = 0; channel < 4; ++channel) {
            ChannelRow row;
            row.module = module;
            row.selector = selectors[module];
            row.channel = channel;
            row.plotted = channel == 0; // every module's first channel, to start with
            rows << row;
        }
    }
    endResetModel();
    emit plottedRowsChanged();
}

void LiveTableModel::update(int module, const SweepRow &sweep, const ModuleHealth &health)
{
    const ModuleSnapshot &snapshot = sweep.snapshot;
    for (int channel = 0; channel < 4; ++channel) {
        const int index = module * 4 + channel;
        ChannelRow &row = rows[index];
        row.failing = health.failing() || !sweep.asked;
        row.health = sweep.asked ? healthText(health, busAddress(row.selector))
                                 : QStringLiteral("Not asked: no answer in %1 refreshes").arg(ModuleLine::backoffAfter);
        if (sweep.asked && sweep.responseMs >= 0)
            row.health += QStringLiteral(" · response median %1 ms").arg(sweep.responseMs, 0, 'f', 1);
        if (snapshot.records) {
            const MeasurementRecord &record = (*snapshot.records)[channel];
            row.sensor = record.sensorCode();
            row.value.emplace(record.physicValue());
            row.temperature = snapshot.temperatures[channel];
            row.nonReading = nonReadingOfChannel(snapshot, channel);
            row.readAt = snapshot.time;
            if (row.alarm.update(record.sensorCode(), row.temperature))
                emit alarmChanged(index, row.alarm.kind());
        }
    }
    if (moduleAlarms[module].update(sweep))
        emit moduleAlarmChanged(module, moduleAlarms[module].raised(), snapshot.failure.reason);
    emit dataChanged(this->index(module * 4, 0), this->index(module * 4 + 3, ColumnCount - 1));
}

void LiveTableModel::refreshAges()
{
    if (!rows.isEmpty())
        emit dataChanged(index(0, Age), index(rows.size() - 1, Age), {Qt::DisplayRole});
}

QVector<int> LiveTableModel::plottedRows() const
{
    QVector<int> plotted;
    for (int i = 0; i < rows.size(); ++i) {
        if (rows[i].plotted)
            plotted << i;
    }
    return plotted;
}

QString LiveTableModel::rowName(int row) const
{
    return QStringLiteral("%1 ch%2").arg(busAddressText(busAddress(rows[row].selector))).arg(rows[row].channel + 1);
}

QString LiveTableModel::moduleName(int module) const
{
    return busAddressText(busAddress(rows[module * 4].selector));
}

QString LiveTableModel::readingText(int row) const
{
    const QString text = temperatureText(rows[row]);
    if (text.isEmpty())
        return QStringLiteral("no temperature");
    return rows[row].temperature && isReading(*rows[row].temperature) ? text + QStringLiteral(" °C") : text;
}

// A number, or a word for a temperature that the module's values do not give.
QString LiveTableModel::temperatureText(const ChannelRow &row) const
{
    if (row.temperature && isReading(*row.temperature))
        return QString::number(double(*row.temperature), 'f', 2);
    if (!row.nonReading.isEmpty())
        return row.nonReading;
    return row.temperature ? QStringLiteral("no temperature") : QString();
}

int LiveTableModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : rows.size();
}

int LiveTableModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QString LiveTableModel::displayText(const ChannelRow &row, int column) const
{
    switch (column) {
    case Module: return busAddressText(busAddress(row.selector));
    case Channel: return QString::number(row.channel + 1);
    case Sensor:
        if (!row.sensor)
            return QString();
        return *row.sensor < sensorTypeCount ? QString::fromLatin1(sensorTypeNames[*row.sensor])
                                             : QString::number(*row.sensor);
    case Value:
        if (!row.value || !row.sensor)
            return QString();
        if (!isReading(*row.value))
            return nonReadingName(*row.value);
        if (isResistiveSensor(*row.sensor))
            return QString::number(double(*row.value), 'f', 3) + QStringLiteral(" Ω");
        if (isVoltageInputSensor(*row.sensor))
            return QString::number(double(*row.value), 'f', 4) + QStringLiteral(" mV");
        return QString::number(double(*row.value), 'f', 4);
    case Temperature:
        return temperatureText(row);
    case Age:
        return row.readAt.isValid()
            ? QString::number(row.readAt.msecsTo(QDateTime::currentDateTimeUtc()) / 1000.0, 'f', 1) + QStringLiteral(" s")
            : QString();
    case Health: return row.health;
    case LowLimit: return limitText(row.alarm.low);
    case HighLimit: return limitText(row.alarm.high);
    case Alarm:
        if (row.alarm.kind() == ChannelAlarm::None && moduleAlarms[row.module].raised())
            return QString::fromLatin1(noAnswerText);
        return QString::fromLatin1(alarmText(row.alarm.kind()));
    }
    return QString();
}

QVariant LiveTableModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= rows.size())
        return {};
    const ChannelRow &row = rows[index.row()];
    switch (role) {
    case Qt::DisplayRole:
        return index.column() == Trend ? QVariant() : QVariant(displayText(row, index.column()));
    case Qt::EditRole:
        if (index.column() == LowLimit || index.column() == HighLimit)
            return displayText(row, index.column());
        return {};
    case Qt::CheckStateRole:
        return index.column() == Trend ? QVariant(row.plotted ? Qt::Checked : Qt::Unchecked) : QVariant();
    case Qt::BackgroundRole:
        if (row.alarm.kind() == ChannelAlarm::SensorBreak)
            return QBrush(QColor(255, 205, 130));
        if (row.alarm.kind() != ChannelAlarm::None)
            return QBrush(QColor(255, 160, 160));
        return {};
    case Qt::ForegroundRole:
        return row.failing ? QVariant(QBrush(Qt::gray)) : QVariant();
    case Qt::TextAlignmentRole:
        return index.column() == Value || index.column() == Temperature || index.column() == Age
            ? QVariant(int(Qt::AlignRight | Qt::AlignVCenter))
            : QVariant();
    }
    return {};
}

QVariant LiveTableModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    static const char *const titles[ColumnCount] = {"Module", "Ch", "Sensor", "Value", "Temperature °C", "Age",
                                                    "Health", "Low limit °C", "High limit °C", "Alarm", "Trend"};
    if (orientation == Qt::Horizontal && role == Qt::DisplayRole && section >= 0 && section < ColumnCount)
        return QString::fromUtf8(titles[section]);
    return QAbstractTableModel::headerData(section, orientation, role);
}

Qt::ItemFlags LiveTableModel::flags(const QModelIndex &index) const
{
    Qt::ItemFlags flags = QAbstractTableModel::flags(index);
    if (index.column() == LowLimit || index.column() == HighLimit)
        flags |= Qt::ItemIsEditable;
    if (index.column() == Trend)
        flags |= Qt::ItemIsUserCheckable;
    return flags;
}

// Limits last for the run; an empty text removes one.
bool LiveTableModel::setData(const QModelIndex &index, const QVariant &value, int role)
{
    if (!index.isValid())
        return false;
    ChannelRow &row = rows[index.row()];
    if (index.column() == Trend && role == Qt::CheckStateRole) {
        row.plotted = value.toInt() == Qt::Checked;
        emit dataChanged(index, index);
        emit plottedRowsChanged();
        return true;
    }
    if ((index.column() != LowLimit && index.column() != HighLimit) || role != Qt::EditRole)
        return false;
    bool ok = true;
    const QString text = value.toString().trimmed();
    const double limit = text.isEmpty() ? NAN : text.toDouble(&ok);
    if (!ok)
        return false;
    (index.column() == LowLimit ? row.alarm.low : row.alarm.high) = limit;
    if (row.sensor && row.alarm.update(*row.sensor, row.temperature))
        emit alarmChanged(index.row(), row.alarm.kind());
    emit dataChanged(this->index(index.row(), 0), this->index(index.row(), ColumnCount - 1));
    return true;
}
