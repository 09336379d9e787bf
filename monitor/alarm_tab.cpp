#include "alarm_tab.h"

#include "alarm_log.h"

#include <QFileDialog>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QPushButton>
#include <QTableView>

AlarmTab::AlarmTab(AlarmLog &alarms, QWidget *parent) : QWidget(parent)
{
    auto *view = new QTableView;
    view->setObjectName(QStringLiteral("alarmTable"));
    view->setModel(&alarms);
    view->verticalHeader()->hide();
    view->setSelectionBehavior(QAbstractItemView::SelectRows);
    view->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    view->horizontalHeader()->setStretchLastSection(true);
    auto *acknowledge = new QPushButton(QStringLiteral("Acknowledge"));
    auto *save = new QPushButton(QStringLiteral("Save…"));
    auto *clear = new QPushButton(QStringLiteral("Clear cleared"));
    connect(acknowledge, &QPushButton::clicked, this, [&alarms, view] {
        QList<int> rows;
        for (const QModelIndex &index : view->selectionModel()->selectedRows())
            rows << index.row();
        for (int row = 0; rows.isEmpty() && row < alarms.rowCount(); ++row)
            rows << row; // nothing selected: all of them
        alarms.acknowledge(rows, QDateTime::currentDateTimeUtc());
    });
    connect(save, &QPushButton::clicked, this, [this, &alarms] {
        const QString path = QFileDialog::getSaveFileName(this, QStringLiteral("Save the alarms to"),
                                                          QStringLiteral("alarms.csv"), QStringLiteral("CSV (*.csv)"));
        QString error;
        if (!path.isEmpty())
            emit message(alarms.saveCsv(path, error) ? QStringLiteral("Alarms saved to %1").arg(path)
                                                     : QStringLiteral("Cannot save %1: %2").arg(path, error));
    });
    connect(clear, &QPushButton::clicked, &alarms, &AlarmLog::removeCleared);
    auto *layout = new QVBoxLayout(this);
    auto *buttons = new QHBoxLayout;
    for (QPushButton *button : {acknowledge, save, clear})
        buttons->addWidget(button);
    buttons->addStretch();
    layout->addLayout(buttons);
    layout->addWidget(view, 1);
}
