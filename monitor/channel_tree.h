#pragma once

#include <QWidget>

class LiveTableModel;
class QSortFilterProxyModel;
class QTreeView;

// The live table: modules as groups, their channels beneath; hidden channels and those
// without a sensor out of the way until asked for; limits checked as they are typed.
class ChannelTree : public QWidget
{
    Q_OBJECT

public:
    ChannelTree(LiveTableModel &model, QWidget *parent = nullptr);
    QTreeView *view() const { return table; }

signals:
    // Why a limit being typed cannot be; empty once it can.
    void problem(const QString &why);
    // "Check channel…" on a channel's row: module * 4 + channel - 1.
    void checkRequested(int channel);

private:
    void layOut();

    QSortFilterProxyModel *visibleChannels = nullptr;
    QTreeView *table = nullptr;
};
