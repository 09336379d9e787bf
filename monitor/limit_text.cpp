#include "limit_text.h"

#include <QLocale>

#include <cmath>

bool parseLimit(const QString &text, double &limit)
{
    const QString trimmed = text.trimmed();
    if (trimmed.isEmpty()) {
        limit = NAN;
        return true;
    }
    // The decimal comma of many locales, whatever this one is.
    bool ok = false;
    limit = QLocale::c().toDouble(QString(trimmed).replace(QLatin1Char(','), QLatin1Char('.')), &ok);
    return ok && std::isfinite(limit);
}

QString limitText(double limit)
{
    return std::isnan(limit) ? QString() : QString::number(limit, 'f', 1);
}
