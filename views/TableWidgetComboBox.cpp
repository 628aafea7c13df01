#include "TableWidgetComboBox.h"

#include <QFocusEvent>

TableWidgetComboBox::TableWidgetComboBox(int tableRow, int tableCol, QWidget* parent)
    : QComboBox(parent), m_tableRow(tableRow), m_tableCol(tableCol)
{
    connect(this, &QComboBox::currentIndexChanged, this, &TableWidgetComboBox::onCurrentIndexChanged);
}

void TableWidgetComboBox::onCurrentIndexChanged(int index)
{
    emit indexChanged(index, m_tableRow, m_tableCol);
}

void TableWidgetComboBox::focusInEvent(QFocusEvent* event)
{
    QComboBox::focusInEvent(event);
    event->accept();
    emit hasFocus(m_tableRow, m_tableCol);
}
