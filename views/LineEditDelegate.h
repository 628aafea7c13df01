#pragma once

#include <QItemDelegate>

/// Edits a text cell in a line edit of limited length. An emptied text is never written back, so the
/// cell keeps its old text.
class LineEditDelegate : public QItemDelegate
{
    Q_OBJECT

public:
    explicit LineEditDelegate(int maxLength, QObject* parent = nullptr);

    int maxLength() const { return m_maxLength; }

    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    void setEditorData(QWidget* editor, const QModelIndex& index) const override;
    void setModelData(QWidget* editor, QAbstractItemModel* model, const QModelIndex& index) const override;
    void updateEditorGeometry(QWidget* editor, const QStyleOptionViewItem& option,
                              const QModelIndex& index) const override;

private:
    int m_maxLength;
};
