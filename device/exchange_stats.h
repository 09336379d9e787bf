#pragma once

#include <QString>

#include <vector>

// What the exchanges with one module took: response times (request written .. reply
// complete, over all of its attempts) and how requests went wrong.
class ExchangeStats
{
public:
    enum Failure { Timeout, Exception, BadReply };

    void noteReply(double responseMs, int attempts);
    void noteFailure(Failure failure, int attempts);

    long long replies = 0;
    long long retries = 0;    // attempts beyond the first
    long long timeouts = 0;   // no reply in any attempt (a garbled frame counts as none)
    long long exceptions = 0; // requests the module refused
    long long badReplies = 0; // of the wrong length, before the request, or out of step

    // Over the latest replies (up to 1000); negative before the first reply.
    double medianMs() const;
    double maxMs() const { return longestMs; }
    double latestMs() const { return lastMs; }
    // "response median 22.4 ms, max 31.0 ms, 2 retries, 1 timeout, 0 exceptions"
    QString summary() const;

private:
    std::vector<float> recent;
    std::size_t next = 0;
    double longestMs = -1;
    double lastMs = -1;
};
