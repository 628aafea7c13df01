#include "TableRows.h"

#include <QHeaderView>
#include <QSignalBlocker>
#include <QTableWidget>

namespace TableRows {

void setUp(QTableWidget& table, const QStringList& headerLabels)
{
    table.clear();
    table.setShowGrid(false);
    table.setColumnCount(static_cast<int>(headerLabels.size()));
    table.setHorizontalHeaderLabels(headerLabels);
    table.verticalHeader()->hide();
    QHeaderView* header = table.horizontalHeader();
    header->setSectionsMovable(false);
    header->setSectionsClickable(false);
    header->setHighlightSections(false);
    header->setEditTriggers(QAbstractItemView::NoEditTriggers);
    header->setSelectionMode(QAbstractItemView::NoSelection);
}

void paint(QTableWidget& table, int row, const QColor& color)
{
    if (row < 0 || row >= table.rowCount()) {
        return;
    }
    const QSignalBlocker blocker(&table);
    for (int column = 0; column < table.columnCount(); ++column) {
        if (QTableWidgetItem* item = table.item(row, column)) {
            item->setBackground(color);
        }
    }
}

void removeAll(QTableWidget& table)
{
    const QSignalBlocker blocker(&table);
    for (int row = table.rowCount() - 1; row >= 0; --row) {
        table.removeRow(row);
    }
}

} // namespace TableRows
