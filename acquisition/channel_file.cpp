#include "channel_file.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSaveFile>

namespace {

const char formatName[] = "korun-channels/1";

// A limit is a number or null (none); NaN when absent.
bool limitOf(const QJsonObject &entry, const char *key, double &limit)
{
    const QJsonValue value = entry.value(QLatin1String(key));
    if (value.isUndefined() || value.isNull())
        return true;
    limit = value.toDouble();
    return value.isDouble() && std::isfinite(limit);
}

} // namespace

QString limitsProblem(double low, double high)
{
    if (low >= high)
        return QStringLiteral("the low limit %1 must be below the high limit %2").arg(low).arg(high);
    return QString();
}

bool ChannelFile::parse(const QByteArray &json, QString &error)
{
    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson(json, &parseError);
    if (!document.isObject()) {
        error = parseError.error != QJsonParseError::NoError ? parseError.errorString() + QStringLiteral(" at byte %1").arg(parseError.offset)
                                                             : QStringLiteral("not a JSON object");
        return false;
    }
    const QJsonObject root = document.object();
    if (root.value(QLatin1String("format")).toString() != QLatin1String(formatName)) {
        error = QStringLiteral("\"format\" must be \"%1\"").arg(QLatin1String(formatName));
        return false;
    }
    if (!root.value(QLatin1String("channels")).isArray()) {
        error = QStringLiteral("\"channels\" must be a list");
        return false;
    }
    channels.clear();
    const QJsonArray list = root.value(QLatin1String("channels")).toArray();
    for (int i = 0; i < list.size(); ++i) {
        const QJsonObject entry = list[i].toObject();
        const QString module = entry.value(QLatin1String("module")).toString();
        const QJsonValue channelValue = entry.value(QLatin1String("channel"));
        const int channel = channelValue.toInt(0);
        const QString name = QStringLiteral("entry %1 (module %2, channel %3)")
                                 .arg(i + 1)
                                 .arg(module.isEmpty() ? QStringLiteral("?") : module)
                                 .arg(channelValue.isDouble() ? QString::number(channelValue.toDouble()) : QStringLiteral("?"));
        bool ok = false;
        const int selector = module.toInt(&ok, 16);
        if (!list[i].isObject() || module.size() != 1 || !ok) {
            error = name + QStringLiteral(": \"module\" must be the address-switch digit 0..F");
            return false;
        }
        if (!channelValue.isDouble() || channelValue.toDouble() != channel || channel < 1 || channel > 4) {
            error = name + QStringLiteral(": \"channel\" must be 1, 2, 3 or 4");
            return false;
        }
        ChannelSettings settings;
        const QJsonValue tag = entry.value(QLatin1String("tag")), hidden = entry.value(QLatin1String("hidden"));
        if (!(tag.isUndefined() || tag.isNull() || tag.isString()) || !(hidden.isUndefined() || hidden.isBool())) {
            error = name + QStringLiteral(": \"tag\" must be text and \"hidden\" true or false");
            return false;
        }
        settings.tag = tag.toString();
        settings.hidden = hidden.toBool(false);
        if (!limitOf(entry, "low_C", settings.low) || !limitOf(entry, "high_C", settings.high)) {
            error = name + QStringLiteral(": \"low_C\" and \"high_C\" must be numbers of degC");
            return false;
        }
        const QString problem = limitsProblem(settings.low, settings.high);
        if (!problem.isEmpty()) {
            error = name + QStringLiteral(": ") + problem;
            return false;
        }
        const Key key(selector, channel - 1);
        if (channels.contains(key)) {
            error = name + QStringLiteral(": the channel is named twice");
            return false;
        }
        channels.insert(key, settings);
    }
    return true;
}

bool ChannelFile::read(const QString &path, QString &error)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        error = QStringLiteral("cannot read the channel file %1: %2").arg(path, file.errorString());
        return false;
    }
    if (!parse(file.readAll(), error)) {
        error = QStringLiteral("channel file %1: %2").arg(path, error);
        return false;
    }
    return true;
}

QByteArray ChannelFile::toJson() const
{
    QJsonArray list;
    for (auto it = channels.cbegin(); it != channels.cend(); ++it) {
        const ChannelSettings &s = it.value();
        QJsonObject entry{{"module", QString::number(it.key().first, 16).toUpper()}, {"channel", it.key().second + 1}};
        if (!s.tag.isEmpty())
            entry["tag"] = s.tag;
        if (!std::isnan(s.low))
            entry["low_C"] = s.low;
        if (!std::isnan(s.high))
            entry["high_C"] = s.high;
        if (s.hidden)
            entry["hidden"] = true;
        list.append(entry);
    }
    return QJsonDocument(QJsonObject{{"format", QLatin1String(formatName)}, {"channels", list}}).toJson();
}

// Written whole or not at all: a crash never leaves half a file.
bool ChannelFile::write(const QString &path, QString &error) const
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(toJson()) < 0 || !file.commit()) {
        error = QStringLiteral("cannot write %1: %2").arg(path, file.errorString());
        return false;
    }
    return true;
}
