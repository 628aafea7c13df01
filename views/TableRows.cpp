#include "TableRows.h"

#include <QEvent>
#include <QHeaderView>
#include <QKeyEvent>
#include <QSignalBlocker>
#include <QTableWidget>

namespace {

class CellKeys : public QObject
{
public:
    CellKeys(QTableWidget& table, std::function<bool(QTableWidgetItem*)> open)
        : QObject(&table), m_table(table), m_open(std::move(open))
    {
        table.installEventFilter(this);
    }

    bool eventFilter(QObject* watched, QEvent* event) override
    {
        // While a name is edited the keys go to the editor, not to the table.
        if (watched != &m_table || event->type() != QEvent::KeyPress) {
            return false;
        }
        const auto* key = static_cast<QKeyEvent*>(event);
        const bool opens = (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter || key->key() == Qt::Key_F2) &&
                           (key->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier;
        return opens && m_table.currentRow() != -1 && m_open(m_table.currentItem());
    }

private:
    QTableWidget& m_table;
    std::function<bool(QTableWidgetItem*)> m_open;
};

} // namespace

namespace TableRows {

void openCellsWithKeys(QTableWidget& table, std::function<bool(QTableWidgetItem*)> open)
{
    new CellKeys(table, std::move(open));
}

void setUp(QTableWidget& table, const QStringList& headerLabels)
{
    table.clear();
    table.setShowGrid(false);
    table.setColumnCount(static_cast<int>(headerLabels.size()));
    table.setHorizontalHeaderLabels(headerLabels);
    table.verticalHeader()->hide();
    table.setTabKeyNavigation(false);
    // One line per cell; a text too long for its column is shortened, never wrapped and cut.
    table.setWordWrap(false);
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
