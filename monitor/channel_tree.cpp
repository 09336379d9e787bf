#include "channel_tree.h"

#include "limit_delegate.h"
#include "live_table_model.h"

#include <QCheckBox>
#include <QHeaderView>
#include <QMenu>
#include <QSortFilterProxyModel>
#include <QTreeView>
#include <QVBoxLayout>

// Modules as groups, their channels beneath; hidden channels and those without a sensor
// out of the way until asked for.
ChannelTree::ChannelTree(LiveTableModel &model, QWidget *parent) : QWidget(parent)
{
    visibleChannels = new QSortFilterProxyModel(this);
    visibleChannels->setSourceModel(&model);
    visibleChannels->setFilterRole(LiveTableModel::OutOfWayRole);
    visibleChannels->setFilterFixedString(QStringLiteral("0"));
    table = new QTreeView;
    table->setObjectName(QStringLiteral("liveTable"));
    table->setModel(visibleChannels);
    table->setItemDelegateForColumn(LiveTableModel::LowLimit, new LimitDelegate(model, table));
    table->setItemDelegateForColumn(LiveTableModel::HighLimit, new LimitDelegate(model, table));
    table->setAlternatingRowColors(true);
    table->setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed
                           | QAbstractItemView::AnyKeyPressed);
    table->header()->setSectionResizeMode(QHeaderView::ResizeToContents);
    table->header()->setStretchLastSection(false);
    table->header()->setSectionResizeMode(LiveTableModel::Tag, QHeaderView::Stretch);
    for (auto *delegate : table->findChildren<LimitDelegate *>())
        connect(delegate, &LimitDelegate::problem, this, &ChannelTree::problem);
    connect(visibleChannels, &QAbstractItemModel::modelReset, this, &ChannelTree::layOut);
    connect(visibleChannels, &QAbstractItemModel::rowsInserted, this, &ChannelTree::layOut);
    table->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(table, &QWidget::customContextMenuRequested, this, [this](const QPoint &at) {
        const QModelIndex row = visibleChannels->mapToSource(table->indexAt(at));
        if (!row.parent().isValid())
            return; // a module's line
        QMenu menu;
        const int channel = row.parent().row() * 4 + row.row();
        menu.addAction(QStringLiteral("Check channel…"), this, [this, channel] { emit checkRequested(channel); });
        menu.exec(table->viewport()->mapToGlobal(at));
    });
    auto *showAll = new QCheckBox(QStringLiteral("Show hidden channels and those without a sensor"));
    showAll->setObjectName(QStringLiteral("showAllChannels"));
    connect(showAll, &QCheckBox::toggled, this, [this](bool on) {
        visibleChannels->setFilterFixedString(on ? QString() : QStringLiteral("0"));
        layOut();
    });
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(table, 1);
    layout->addWidget(showAll);
    layOut();
}

// Each group's line spans the row; the groups stay open.
void ChannelTree::layOut()
{
    for (int row = 0; row < visibleChannels->rowCount(); ++row)
        table->setFirstColumnSpanned(row, QModelIndex(), true);
    table->expandAll();
}

