#include "dated_path.h"

namespace {

// The text for the conversion `c`, or a null string for one that is not a date.
QString field(QChar c, const QDate &day)
{
    switch (c.unicode()) {
    case 'Y':
        return QStringLiteral("%1").arg(day.year(), 4, 10, QLatin1Char('0'));
    case 'm':
        return QStringLiteral("%1").arg(day.month(), 2, 10, QLatin1Char('0'));
    case 'd':
        return QStringLiteral("%1").arg(day.day(), 2, 10, QLatin1Char('0'));
    case '%':
        return QStringLiteral("%");
    default:
        return QString();
    }
}

} // namespace

bool hasDatePattern(const QString &pattern)
{
    return pattern.contains(QLatin1String("%Y")) || pattern.contains(QLatin1String("%m"))
           || pattern.contains(QLatin1String("%d"));
}

QString datedPath(const QString &pattern, const QDate &day)
{
    QString path;
    for (int i = 0; i < pattern.size(); ++i) {
        const QString text = pattern[i] == QLatin1Char('%') && i + 1 < pattern.size() ? field(pattern[i + 1], day)
                                                                                    : QString();
        if (text.isNull()) {
            path += pattern[i];
        } else {
            path += text;
            ++i;
        }
    }
    return path;
}
