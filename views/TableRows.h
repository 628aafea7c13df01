#pragma once
// What the mapping table and the condition table do to their QTableWidget alike.

#include <QColor>
#include <QStringList>

#include <functional>

class QTableWidget;
class QTableWidgetItem;

namespace TableRows {

/// Empties `table` and gives it these fixed column headers, which do not react to the pointer, and no
/// row headers. Tab leaves the table rather than walking its cells.
void setUp(QTableWidget& table, const QStringList& headerLabels);

/// Paints every cell of `row`, when there is such a row. The views hear nothing of it: a colour is not an
/// edit of the rule the row shows.
void paint(QTableWidget& table, int row, const QColor& color);

/// Makes Enter, Return and F2 on the current cell call `open` with its item (null for an empty cell), as a
/// double click does; the key goes on to the table when `open` returns false. Lives as long as `table`.
void openCellsWithKeys(QTableWidget& table, std::function<bool(QTableWidgetItem*)> open);

/// Removes every row without the views hearing of each, since the rules they showed are not gone.
void removeAll(QTableWidget& table);

} // namespace TableRows
