#include "live_table_model.h"

#include "limit_text.h"
#include "link_settings.h"
#include "module_line.h"
#include "sensor_catalogue.h"

#include <QBrush>
#include <QColor>

#include <algorithm>

namespace {

QString sensorText(const std::optional<unsigned> &sensor)
{
    if (!sensor)
        return QString();
    return *sensor < sensorTypeCount ? QString::fromLatin1(sensorTypeNames[*sensor]) : QString::number(*sensor);
}

} // namespace

LiveTableModel::LiveTableModel(QObject *parent) : QAbstractItemModel(parent) {}

void LiveTableModel::setChannelFile(const ChannelFile &file)
{
    settings = file;
    for (int m = 0; m < modules.size(); ++m) {
        for (int c = 0; c < 4; ++c) {
            ChannelRow &row = modules[m].channels[c];
            row.settings = settings.value(modules[m].selector, c);
            row.alarm.low = row.settings.low;
            row.alarm.high = row.settings.high;
        }
    }
    if (!modules.isEmpty())
        emit dataChanged(index(0, 0), index(modules.size() - 1, ColumnCount - 1));
}

void LiveTableModel::setModules(const QVector<int> &selectors)
{
    beginResetModel();
    QVector<ModuleRow> rows(selectors.size());
    for (int m = 0; m < selectors.size(); ++m) {
        const auto kept = std::find_if(modules.cbegin(), modules.cend(),
                                       [&](const ModuleRow &module) { return module.selector == selectors[m]; });
        if (kept != modules.cend()) {
            rows[m] = *kept;
            continue;
        }
        rows[m].selector = selectors[m];
        for (int c = 0; c < 4; ++c) {
            ChannelRow &row = rows[m].channels[c];
            row.settings = settings.value(selectors[m], c);
            row.alarm.low = row.settings.low;
            row.alarm.high = row.settings.high;
        }
    }
    modules = rows;
    endResetModel();
    emit plottedChannelsChanged();
}

void LiveTableModel::update(int m, const SweepRow &sweep, const ModuleHealth &health)
{
    ModuleRow &module = modules[m];
    const ModuleSnapshot &snapshot = sweep.snapshot;
    module.failing = health.failing() || !sweep.asked;
    module.health = sweep.asked ? healthText(health, busAddress(module.selector))
                                : QStringLiteral("Not asked: no answer in %1 refreshes").arg(ModuleLine::backoffAfter);
    if (sweep.asked && sweep.responseMs >= 0)
        module.health += QStringLiteral(" · response median %1 ms").arg(sweep.responseMs, 0, 'f', 1);
    if (snapshot.records) {
        module.readAt = snapshot.time;
        for (int c = 0; c < 4; ++c) {
            ChannelRow &row = module.channels[c];
            const MeasurementRecord &record = (*snapshot.records)[c];
            row.sensor = record.sensorCode();
            row.value.emplace(record.physicValue());
            row.temperature = snapshot.temperatures[c];
            row.nonReading = nonReadingOfChannel(snapshot, c);
            const ChannelAlarm::Kind was = row.alarm.kind();
            if (row.alarm.update(snapshot, c))
                emit alarmChanged(m * 4 + c, was, row.alarm.kind());
        }
    } else {
        // Readings of a refresh that failed are not current: nothing is shown as read now.
        for (ChannelRow &row : module.channels) {
            row.value.reset();
            row.temperature.reset();
            row.nonReading.clear();
        }
    }
    if (module.alarm.update(sweep))
        emit moduleAlarmChanged(m, module.alarm.raised(), snapshot.failure.reason);
    const QModelIndex group = index(m, 0);
    emit dataChanged(group, index(m, ColumnCount - 1));
    emit dataChanged(index(0, 0, group), index(3, ColumnCount - 1, group));
}

void LiveTableModel::setSilent(int m, const QString &why)
{
    ModuleRow &module = modules[m];
    module.failing = true;
    module.health = why;
    for (ChannelRow &row : module.channels) {
        row.value.reset();
        row.temperature.reset();
        row.nonReading.clear();
    }
    const QModelIndex group = index(m, 0);
    emit dataChanged(group, index(m, ColumnCount - 1));
    emit dataChanged(index(0, 0, group), index(3, ColumnCount - 1, group));
}

void LiveTableModel::refreshAges()
{
    if (!modules.isEmpty())
        emit dataChanged(index(0, 0), index(modules.size() - 1, 0), {Qt::DisplayRole});
}

QModelIndex LiveTableModel::channelIndex(int channel, int column) const
{
    return index(channel % 4, column, index(channel / 4, 0));
}

QVector<int> LiveTableModel::plottedChannels() const
{
    QVector<int> plotted;
    for (int m = 0; m < modules.size(); ++m)
        for (int c = 0; c < 4; ++c)
            if (modules[m].channels[c].plotted)
                plotted << m * 4 + c;
    return plotted;
}

void LiveTableModel::setPlottedChannels(const QVector<int> &channels)
{
    for (int m = 0; m < modules.size(); ++m)
        for (int c = 0; c < 4; ++c)
            modules[m].channels[c].plotted = channels.contains(m * 4 + c);
    for (int m = 0; m < modules.size(); ++m)
        emit dataChanged(channelIndex(m * 4, Trend), channelIndex(m * 4 + 3, Trend));
    emit plottedChannelsChanged();
}

QString LiveTableModel::tagOf(int channel) const
{
    return modules[channel / 4].channels[channel % 4].settings.tag;
}

QString LiveTableModel::channelName(int channel) const
{
    const QString name = QStringLiteral("%1 ch%2").arg(moduleName(channel / 4)).arg(channel % 4 + 1);
    return tagOf(channel).isEmpty() ? name : name + QLatin1Char(' ') + tagOf(channel);
}

QString LiveTableModel::moduleName(int module) const
{
    return busAddressText(busAddress(modules[module].selector));
}

QString LiveTableModel::readingText(int channel) const
{
    const ChannelRow &row = modules[channel / 4].channels[channel % 4];
    const QString text = temperatureText(row);
    if (text.isEmpty())
        return QStringLiteral("no temperature");
    return row.temperature && isReading(*row.temperature) ? text + QStringLiteral(" °C") : text;
}

QString LiveTableModel::temperatureText(const ChannelRow &row) const
{
    if (row.temperature && isReading(*row.temperature))
        return QString::number(double(*row.temperature), 'f', 2);
    if (!row.nonReading.isEmpty())
        return row.nonReading;
    return row.value ? QStringLiteral("no temperature") : QString();
}

QString LiveTableModel::limitProblem(const QModelIndex &index, const QString &text) const
{
    double limit = NAN;
    if (!parseLimit(text, limit))
        return QStringLiteral("'%1' is not a temperature: a number like 41.5 or 41,5, or nothing for no limit").arg(text);
    if (limit < -273.15)
        return QStringLiteral("%1 °C is below absolute zero").arg(limit);
    const ChannelSettings &s = modules[int(index.internalId()) - 1].channels[index.row()].settings;
    const QString problem = index.column() == LowLimit ? limitsProblem(limit, s.high) : limitsProblem(s.low, limit);
    return problem.isEmpty() ? QString() : QStringLiteral("Refused: ") + problem;
}

// Groups have internal id 0; a channel carries its module's index + 1.
QModelIndex LiveTableModel::index(int row, int column, const QModelIndex &parent) const
{
    if (column < 0 || column >= ColumnCount || row < 0)
        return {};
    if (!parent.isValid())
        return row < modules.size() ? createIndex(row, column, quintptr(0)) : QModelIndex();
    if (parent.internalId() != 0 || row >= 4)
        return {};
    return createIndex(row, column, quintptr(parent.row() + 1));
}

QModelIndex LiveTableModel::parent(const QModelIndex &child) const
{
    if (!child.isValid() || child.internalId() == 0)
        return {};
    return createIndex(int(child.internalId()) - 1, 0, quintptr(0));
}

int LiveTableModel::rowCount(const QModelIndex &parent) const
{
    if (!parent.isValid())
        return modules.size();
    return parent.internalId() == 0 && parent.column() == 0 ? 4 : 0;
}

int LiveTableModel::columnCount(const QModelIndex &) const
{
    return ColumnCount;
}

QVariant LiveTableModel::moduleData(const ModuleRow &module, int column, int role) const
{
    if (role == OutOfWayRole)
        return QStringLiteral("0");
    if (role == Qt::BackgroundRole && module.alarm.raised())
        return QBrush(QColor(255, 160, 160));
    if (role == Qt::ForegroundRole && module.failing)
        return QBrush(Qt::darkGray);
    if (role != Qt::DisplayRole || column != Name)
        return {};
    // One line across the row: the address, the health sentence once, the age.
    QString text = QStringLiteral("%1 (switch %2)").arg(busAddressText(busAddress(module.selector)))
                       .arg(QString::number(module.selector, 16).toUpper());
    if (module.alarm.raised())
        text += QStringLiteral(" · ") + QLatin1String(noAnswerText);
    if (module.readAt.isValid())
        text += QStringLiteral(" · read %1 s ago")
                    .arg(module.readAt.msecsTo(QDateTime::currentDateTimeUtc()) / 1000.0, 0, 'f', 1);
    if (!module.health.isEmpty())
        text += QStringLiteral(" · ") + module.health;
    return text;
}

QVariant LiveTableModel::channelData(const ModuleRow &module, const ChannelRow &row, int column, int role) const
{
    const bool noSensor = row.sensor && *row.sensor == NO_SENSOR;
    switch (role) {
    case OutOfWayRole:
        return QString::fromLatin1(row.settings.hidden || noSensor ? "1" : "0");
    case Qt::EditRole:
        if (column == Tag)
            return row.settings.tag;
        if (column == LowLimit || column == HighLimit)
            return limitText(column == LowLimit ? row.settings.low : row.settings.high);
        return {};
    case Qt::CheckStateRole:
        if (column == Trend)
            return row.plotted ? Qt::Checked : Qt::Unchecked;
        if (column == Hide)
            return row.settings.hidden ? Qt::Checked : Qt::Unchecked;
        return {};
    case Qt::BackgroundRole:
        if (column == Alarm && row.alarm.kind() != ChannelAlarm::None)
            return QBrush(row.alarm.kind() == ChannelAlarm::Low || row.alarm.kind() == ChannelAlarm::High
                              ? QColor(255, 160, 160) : QColor(255, 205, 130));
        return {};
    case Qt::ForegroundRole:
        return module.failing ? QVariant(QBrush(Qt::gray)) : QVariant();
    case Qt::TextAlignmentRole:
        return column == Value || column == Temperature ? QVariant(int(Qt::AlignRight | Qt::AlignVCenter)) : QVariant();
    case Qt::DisplayRole:
        break;
    default:
        return {};
    }
    switch (column) {
    case Name: return QStringLiteral("ch%1").arg(&row - module.channels + 1);
    case Tag: return row.settings.tag;
    case Sensor: return noSensor ? QString::fromLatin1(noSensorText) : sensorText(row.sensor);
    case Value:
        if (!row.value || !row.sensor || noSensor)
            return QString();
        if (!isReading(*row.value))
            return nonReadingName(*row.value);
        if (isResistiveSensor(*row.sensor))
            return QString::number(double(*row.value), 'f', 3) + QStringLiteral(" Ω");
        if (isVoltageInputSensor(*row.sensor))
            return QString::number(double(*row.value), 'f', 4) + QStringLiteral(" mV");
        return QString::number(double(*row.value), 'f', 4);
    case Temperature: return noSensor ? QString() : temperatureText(row);
    case LowLimit: return limitText(row.settings.low);
    case HighLimit: return limitText(row.settings.high);
    case Alarm:
        // The module's silence stands over whatever its channels last said.
        if (module.alarm.raised())
            return QString::fromLatin1(noAnswerText);
        return noSensor ? QString::fromLatin1(noSensorText) : QString::fromLatin1(alarmText(row.alarm.kind()));
    }
    return QString();
}

QVariant LiveTableModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid())
        return {};
    if (index.internalId() == 0)
        return moduleData(modules[index.row()], index.column(), role);
    const ModuleRow &module = modules[int(index.internalId()) - 1];
    return channelData(module, module.channels[index.row()], index.column(), role);
}

QVariant LiveTableModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    static const char *const titles[ColumnCount] = {"Module / channel", "Tag", "Sensor", "Value", "Temperature °C",
                                                    "Low °C", "High °C", "Alarm", "Hide", "Trend"};
    if (orientation == Qt::Horizontal && role == Qt::DisplayRole && section >= 0 && section < ColumnCount)
        return QString::fromUtf8(titles[section]);
    return QAbstractItemModel::headerData(section, orientation, role);
}

Qt::ItemFlags LiveTableModel::flags(const QModelIndex &index) const
{
    Qt::ItemFlags flags = QAbstractItemModel::flags(index);
    if (!index.isValid() || index.internalId() == 0)
        return flags;
    if (index.column() == Tag || index.column() == LowLimit || index.column() == HighLimit)
        flags |= Qt::ItemIsEditable;
    if (index.column() == Trend || index.column() == Hide)
        flags |= Qt::ItemIsUserCheckable;
    return flags;
}

void LiveTableModel::storeSettings(int channel)
{
    ChannelRow &row = modules[channel / 4].channels[channel % 4];
    const ChannelFile::Key key(selectorOf(channel), channel % 4);
    if (row.settings == ChannelSettings())
        settings.channels.remove(key);
    else
        settings.channels.insert(key, row.settings);
    emit channelSettingsChanged();
}

bool LiveTableModel::setData(const QModelIndex &index, const QVariant &value, int role)
{
    if (!index.isValid() || index.internalId() == 0)
        return false;
    const int m = int(index.internalId()) - 1, channel = m * 4 + index.row();
    ChannelRow &row = modules[m].channels[index.row()];
    const QModelIndex first = this->index(index.row(), 0, index.parent()),
                      last = this->index(index.row(), ColumnCount - 1, index.parent());
    if (role == Qt::CheckStateRole && (index.column() == Trend || index.column() == Hide)) {
        const bool on = value.toInt() == Qt::Checked;
        if (index.column() == Trend) {
            row.plotted = on;
            emit plottedChannelsChanged();
        } else {
            row.settings.hidden = on;
            storeSettings(channel);
        }
        emit dataChanged(first, last);
        return true;
    }
    if (role != Qt::EditRole)
        return false;
    if (index.column() == Tag) {
        row.settings.tag = value.toString().trimmed();
        storeSettings(channel);
        emit dataChanged(first, last);
        emit plottedChannelsChanged(); // the names in the trend
        return true;
    }
    if (index.column() != LowLimit && index.column() != HighLimit)
        return false;
    const QString problem = limitProblem(index, value.toString());
    if (!problem.isEmpty()) {
        emit refused(problem);
        return false;
    }
    double limit = NAN;
    parseLimit(value.toString(), limit);
    (index.column() == LowLimit ? row.settings.low : row.settings.high) = limit;
    row.alarm.low = row.settings.low;
    row.alarm.high = row.settings.high;
    storeSettings(channel);
    // A new limit is judged at the next reading: the one shown may be old.
    emit dataChanged(first, last);
    emit plottedChannelsChanged(); // the limit lines
    return true;
}
