#pragma once
// What the mapping table and the condition table do to their QTableWidget alike.

#include <QColor>
#include <QStringList>

class QTableWidget;

namespace TableRows {

/// Empties `table` and gives it these fixed column headers, which do not react to the pointer, and no
/// row headers.
void setUp(QTableWidget& table, const QStringList& headerLabels);

/// Paints every cell of `row`, when there is such a row. The views hear nothing of it: a colour is not an
/// edit of the rule the row shows.
void paint(QTableWidget& table, int row, const QColor& color);

/// Removes every row without the views hearing of each, since the rules they showed are not gone.
void removeAll(QTableWidget& table);

} // namespace TableRows
