#include "LineEditDelegate.h"

#include <QLineEdit>

LineEditDelegate::LineEditDelegate(int maxLength, QObject* parent) : QItemDelegate(parent), m_maxLength(maxLength) {}

QWidget* LineEditDelegate::createEditor(QWidget* parent, const QStyleOptionViewItem& /*option*/,
                                        const QModelIndex& /*index*/) const
{
    auto* editor = new QLineEdit(parent);
    editor->setMaxLength(m_maxLength);
    return editor;
}

void LineEditDelegate::setEditorData(QWidget* editor, const QModelIndex& index) const
{
    if (auto* lineEdit = qobject_cast<QLineEdit*>(editor)) {
        lineEdit->setText(index.data(Qt::DisplayRole).toString());
    }
}

void LineEditDelegate::setModelData(QWidget* editor, QAbstractItemModel* model, const QModelIndex& index) const
{
    auto* lineEdit = qobject_cast<QLineEdit*>(editor);
    if (lineEdit == nullptr || lineEdit->text().isEmpty()) {
        return;
    }
    model->setData(index, lineEdit->text(), Qt::EditRole);
}

void LineEditDelegate::updateEditorGeometry(QWidget* editor, const QStyleOptionViewItem& option,
                                            const QModelIndex& /*index*/) const
{
    editor->setGeometry(option.rect);
}
