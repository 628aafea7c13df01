#pragma once

#include <QComboBox>

/// A combo box that lives in a table cell and tells which cell it is in with every signal.
class TableWidgetComboBox : public QComboBox
{
    Q_OBJECT

public:
    TableWidgetComboBox(int tableRow, int tableCol, QWidget* parent = nullptr);

    int tableRow() const { return m_tableRow; }
    int tableCol() const { return m_tableCol; }
    /// The owner renumbers the box when rows above it are inserted or removed.
    void setTableRow(int row) { m_tableRow = row; }

signals:
    void hasFocus(int tableRow, int tableCol);
    void indexChanged(int index, int tableRow, int tableCol);

protected slots:
    void onCurrentIndexChanged(int index);

protected:
    void focusInEvent(QFocusEvent* event) override;

private:
    int m_tableRow;
    int m_tableCol;
};
