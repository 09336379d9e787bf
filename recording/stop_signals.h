#pragma once

#include <QObject>

class QSocketNotifier;

// Turns SIGINT and SIGTERM into a Qt signal delivered by the event loop, so that the
// program can finish the refresh under way before it stops.
class StopSignals : public QObject
{
    Q_OBJECT

public:
    explicit StopSignals(QObject *parent = nullptr);

signals:
    void stopRequested();

private:
    QSocketNotifier *notifier;
};
