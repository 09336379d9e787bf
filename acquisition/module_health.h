#pragma once

#include "korun_mbproxy.h"

#include <QDateTime>
#include <QString>

struct ModuleSnapshot;

// True for failures that say something about the module or the line: no usable answer,
// an exception reply, a port that cannot be opened. A refusal because this program was
// busy, or a closed link reopened on demand, says nothing about the module.
bool isModuleFailure(const RequestFailure &failure);

// Where a module stands, kept from its refreshes and other requests.
struct ModuleHealth {
    QDateTime lastAnswer;        // last complete refresh or other successful exchange
    QDateTime failingSince;      // first failure since then; invalid while answering
    RequestFailure lastFailure;
    int consecutiveFailedRefreshes = 0;
    long long completeRefreshes = 0;
    long long failedRefreshes = 0;
    long long failedRequests = 0; // no usable answer, an exception, or a port that would not open

    // Counts the refresh and follows its outcome; a refresh that found this program busy
    // was no attempt and changes nothing.
    void noteRefresh(const ModuleSnapshot &snapshot);
    void noteAnswer(const QDateTime &time);
    void noteFailure(const RequestFailure &failure, const QDateTime &time);
    bool failing() const { return failingSince.isValid(); }
};

// One line for an operator: "Module 0xBA answering, last reading 14:02:03",
// "No answer from module 0xBA since 14:02:05: Request timeout.", "Module 0xBA refused
// requests since 14:02:05: exception 6, server device busy", or, before anything was
// read, "Port open, nothing read from module 0xBA yet". Times are local.
QString healthText(const ModuleHealth &health, quint8 busAddress);
// "12 complete, 1 failed refresh"
QString refreshCountText(const ModuleHealth &health);
