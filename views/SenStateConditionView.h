#pragma once

#include <QColor>
#include <QObject>
#include <QPointer>
#include <QTableWidget>

class QTableWidgetItem;
class SenMappingModel;

/// Shows the trigger conditions of the mapping selected in the mapping table, one per row, and turns
/// the user's actions on them into edits. Works on a table it is given and does not own; titles the
/// table's parent group box with the mapping's name. User-interface thread only.
class SenStateConditionView : public QObject
{
    Q_OBJECT

public:
    enum Column { EnabledColumn = 0, ActionColumn, TriggerColumn, ValueColumn, ReleaseColumn, ColumnCount };

    SenStateConditionView(QTableWidget* table, SenMappingModel* model, QObject* parent = nullptr);

    /// Follows `model` from now on; a null model is ignored.
    void setModel(SenMappingModel* model);
    /// The table's current row; -1 when there is none.
    int currentRow() const;
    /// Removes every row and gives the group box its plain title, without touching the model.
    void clearTable();

    /// The mapping whose conditions are shown; -1 for none.
    int mappingIndex() const { return m_mappingIndex; }

signals:
    /// The selected condition row, -1 for none.
    void conditionSelectionChanged(int index);

public slots:
    void onConditionAdded(int mappingIndex, int index);
    void onConditionChanged(int mappingIndex, int index);
    void onConditionRemoved(int mappingIndex, int index);
    void onConditionSwapped(int mappingIndex, int index1, int index2);
    void onConditionCleared(int mappingIndex);
    void onMappingCleared();
    void onMappingSelectionChanged(int mappingIndex);

protected slots:
    void on_conditionTable_itemChanged(QTableWidgetItem* item);
    void on_conditionTable_itemDoubleClicked(QTableWidgetItem* item);
    void on_conditionTable_currentItemChanged(QTableWidgetItem* current, QTableWidgetItem* previous);
    void loadConditionsFromMapping(int mappingIndex);
    void configureCondition(int mappingIndex, int index);
    void highlightRow(int rowIndex, QColor color);

private:
    void buildRow(int mappingIndex, int index);
    void selectCondition(int row);
    bool hasCondition(int row) const;
    void removeAllRows();
    void setTitle(const QString& title);

    // Not owned: a table that goes first leaves the view with nothing to update rather than a dangling pointer.
    QPointer<QTableWidget> m_table;
    SenMappingModel* m_model = nullptr;
    int m_selectedRow = -1;
    int m_mappingIndex = -1;
};
