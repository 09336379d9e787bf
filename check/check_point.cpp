#include "check_point.h"

#include "tolerance_classes.h"

#include <cmath>

namespace {
constexpr double absoluteZero = -273.15;
}

QString pointProblem(const CheckPoint &point)
{
    if (point.selector < 0 || point.selector > 15)
        return QStringLiteral("module must be an address switch 0..F");
    if (point.channel < 1 || point.channel > 4)
        return QStringLiteral("channel must be 1..4, not %1").arg(point.channel);
    if (!std::isfinite(point.expected) || point.expected < absoluteZero)
        return QStringLiteral("expected temperature %1 °C is not a temperature").arg(point.expected);
    if (point.tolerance.has_value() == !point.className.isEmpty())
        return QStringLiteral("give either a tolerance or a class");
    if (point.tolerance && (!std::isfinite(*point.tolerance) || *point.tolerance <= 0))
        return QStringLiteral("tolerance must be a number of °C above 0, not %1").arg(*point.tolerance);
    if (!point.className.isEmpty()) {
        const std::string problem = classProblem(point.className.toStdString(), point.expected);
        if (!problem.empty())
            return QString::fromStdString(problem);
    }
    return QString();
}
