#pragma once

#include <QStyledItemDelegate>

class LiveTableModel;

// Edits an alarm limit with its value checked as it is typed: a text that cannot be the
// limit (not a number, low not below high) keeps the editor open on Enter, and the reason
// is said through `problem`; nothing typed is thrown away without a word.
class LimitDelegate : public QStyledItemDelegate
{
    Q_OBJECT

public:
    LimitDelegate(const LiveTableModel &model, QObject *parent = nullptr);

    QWidget *createEditor(QWidget *parent, const QStyleOptionViewItem &option, const QModelIndex &index) const override;

signals:
    // Empty when the text typed so far can be the limit.
    void problem(const QString &why) const;

private:
    const LiveTableModel &model;
};
