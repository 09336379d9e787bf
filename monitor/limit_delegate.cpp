#include "limit_delegate.h"

#include "live_table_model.h"

#include <QLineEdit>
#include <QPersistentModelIndex>
#include <QSortFilterProxyModel>
#include <QValidator>

namespace {

class LimitValidator : public QValidator
{
public:
    LimitValidator(const LimitDelegate *delegate, const LiveTableModel &model, const QModelIndex &index, QObject *parent)
        : QValidator(parent), delegate(delegate), model(model), index(index)
    {
    }

    // Never Invalid: what the user typed stays in the editor, to be corrected.
    State validate(QString &input, int &) const override
    {
        const QString why = index.isValid() ? model.limitProblem(index, input) : QString();
        emit delegate->problem(why);
        return why.isEmpty() ? Acceptable : Intermediate;
    }

private:
    const LimitDelegate *delegate;
    const LiveTableModel &model;
    QPersistentModelIndex index;
};

// The index in the live model under whatever proxies the view has.
QModelIndex sourceIndex(QModelIndex index)
{
    while (auto *proxy = qobject_cast<const QAbstractProxyModel *>(index.model()))
        index = proxy->mapToSource(index);
    return index;
}

} // namespace

LimitDelegate::LimitDelegate(const LiveTableModel &model, QObject *parent) : QStyledItemDelegate(parent), model(model) {}

QWidget *LimitDelegate::createEditor(QWidget *parent, const QStyleOptionViewItem &, const QModelIndex &index) const
{
    auto *editor = new QLineEdit(parent);
    editor->setObjectName(QStringLiteral("limitEditor"));
    editor->setValidator(new LimitValidator(this, model, sourceIndex(index), editor));
    return editor;
}
