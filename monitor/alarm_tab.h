#pragma once

#include <QWidget>

class AlarmLog;

// The alarm table with its actions: acknowledge the selected alarms (all when none is
// selected), save the list as CSV, forget the cleared ones.
class AlarmTab : public QWidget
{
    Q_OBJECT

public:
    AlarmTab(AlarmLog &log, QWidget *parent = nullptr);

signals:
    void message(const QString &text);
};
