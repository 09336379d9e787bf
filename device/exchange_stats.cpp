#include "exchange_stats.h"

#include <algorithm>

namespace {

constexpr std::size_t kept = 1000;

QString counted(long long n, const char *what, const char *plural)
{
    return QStringLiteral("%1 %2").arg(n).arg(QLatin1String(n == 1 ? what : plural));
}

} // namespace

void ExchangeStats::noteReply(double responseMs, int attempts)
{
    ++replies;
    retries += std::max(0, attempts - 1);
    lastMs = responseMs;
    longestMs = std::max(longestMs, responseMs);
    if (recent.size() < kept)
        recent.push_back(float(responseMs));
    else
        recent[next++ % kept] = float(responseMs);
}

void ExchangeStats::noteFailure(Failure failure, int attempts)
{
    retries += std::max(0, attempts - 1);
    ++(failure == Timeout ? timeouts : failure == Exception ? exceptions : badReplies);
}

double ExchangeStats::medianMs() const
{
    if (recent.empty())
        return -1;
    std::vector<float> sorted = recent;
    std::nth_element(sorted.begin(), sorted.begin() + std::ptrdiff_t(sorted.size() / 2), sorted.end());
    return sorted[sorted.size() / 2];
}

QString ExchangeStats::summary() const
{
    QString text = replies > 0 ? QStringLiteral("response median %1 ms, max %2 ms")
                                     .arg(medianMs(), 0, 'f', 1)
                                     .arg(maxMs(), 0, 'f', 1)
                               : QStringLiteral("no response");
    text += QStringLiteral(", ") + counted(retries, "retry", "retries") + QStringLiteral(", ")
        + counted(timeouts, "timeout", "timeouts") + QStringLiteral(", ")
        + counted(exceptions, "exception", "exceptions");
    if (badReplies > 0)
        text += QStringLiteral(", ") + counted(badReplies, "bad reply", "bad replies");
    return text;
}
