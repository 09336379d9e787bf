#include "check_plan.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <cmath>

namespace {

// "A", "a" or a whole number 0..15; -1 for anything else.
int moduleSelector(const QJsonValue &value)
{
    if (value.isString()) {
        bool ok = false;
        const int digit = value.toString().toInt(&ok, 16);
        return value.toString().size() == 1 && ok ? digit : -1;
    }
    const double number = value.toDouble(-1);
    return value.isDouble() && number >= 0 && number <= 15 && std::floor(number) == number ? int(number) : -1;
}

bool readPoint(const QJsonValue &value, CheckPoint &point, QString &error)
{
    if (!value.isObject()) {
        error = QStringLiteral("is not an object");
        return false;
    }
    const QJsonObject entry = value.toObject();
    static const QStringList known = {"module", "channel", "expected", "tolerance", "class", "note"};
    for (const QString &key : entry.keys()) {
        if (!known.contains(key)) {
            error = QStringLiteral("unknown key '%1' (known: %2)").arg(key, known.join(QStringLiteral(", ")));
            return false;
        }
    }
    for (const char *key : {"module", "channel", "expected"}) {
        if (!entry.contains(QLatin1String(key))) {
            error = QStringLiteral("'%1' is missing").arg(QLatin1String(key));
            return false;
        }
    }
    point.selector = moduleSelector(entry.value(QStringLiteral("module")));
    if (point.selector < 0) {
        error = QStringLiteral("module must be an address switch \"0\"..\"F\" or 0..15");
        return false;
    }
    const QJsonValue channel = entry.value(QStringLiteral("channel"));
    point.channel = channel.isDouble() && std::floor(channel.toDouble()) == channel.toDouble() ? channel.toInt(-1) : -1;
    if (point.channel < 1 || point.channel > 4) {
        error = QStringLiteral("channel must be a whole number 1..4");
        return false;
    }
    if (!entry.value(QStringLiteral("expected")).isDouble()) {
        error = QStringLiteral("expected must be a number of °C");
        return false;
    }
    point.expected = entry.value(QStringLiteral("expected")).toDouble();
    if (entry.contains(QStringLiteral("tolerance"))) {
        if (!entry.value(QStringLiteral("tolerance")).isDouble()) {
            error = QStringLiteral("tolerance must be a number of °C");
            return false;
        }
        point.tolerance = entry.value(QStringLiteral("tolerance")).toDouble();
    }
    if (entry.contains(QStringLiteral("class"))) {
        const QJsonValue name = entry.value(QStringLiteral("class"));
        point.className = name.isDouble() ? QString::number(name.toDouble()) : name.toString();
        if (point.className.isEmpty()) {
            error = QStringLiteral("class must be a class name such as \"2\" or \"A\"");
            return false;
        }
    }
    const QJsonValue note = entry.value(QStringLiteral("note"));
    if (!note.isUndefined() && !note.isString()) {
        error = QStringLiteral("note must be text");
        return false;
    }
    point.note = note.toString();
    error = pointProblem(point);
    return error.isEmpty();
}

} // namespace

bool parsePlan(const QByteArray &text, QVector<CheckPoint> &points, QString &error)
{
    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson(text, &parseError);
    if (document.isNull()) {
        error = QStringLiteral("not JSON: %1 at byte %2").arg(parseError.errorString()).arg(parseError.offset);
        return false;
    }
    const QJsonValue list = document.object().value(QStringLiteral("points"));
    if (!document.isObject() || !list.isArray() || list.toArray().isEmpty()) {
        error = QStringLiteral("expected an object with a non-empty list \"points\"");
        return false;
    }
    if (document.object().size() != 1) {
        error = QStringLiteral("only \"points\" belongs at the top level");
        return false;
    }
    points.clear();
    const QJsonArray entries = list.toArray();
    for (int i = 0; i < entries.size(); ++i) {
        CheckPoint point;
        point.entry = i + 1;
        QString problem;
        if (!readPoint(entries[i], point, problem)) {
            error = QStringLiteral("point %1: %2").arg(i + 1).arg(problem);
            return false;
        }
        points << point;
    }
    return true;
}
