#pragma once

#include <QColor>
#include <QIcon>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QRect>
#include <QString>
#include <QTableWidget>

#include "MappingEvaluation.h"
#include "WindowSystem.h"

class QTableWidgetItem;
class SenMapping;
class SenMappingModel;
class TableWidgetComboBox;

/// Keeps the mapping table in step with the mapping model, one row per mapping, and turns the user's
/// actions in the table into edits of the mappings. Works on a table it is given and does not own.
/// User-interface thread only.
class SenMappingView : public QObject
{
    Q_OBJECT

public:
    enum Column {
        EnabledColumn = 0,
        PlayerColumn,
        NameColumn,
        KeysColumn,
        BehaviorColumn,
        TargetColumn,
        PickerColumn,
        ColumnCount
    };

    /// `windowSystem` answers the once-a-second check of chosen windows and serves the pickers; it must
    /// outlive the view. `parent` is the main window, which the target dialog may hide.
    SenMappingView(QTableWidget* table, SenMappingModel* model, WindowSystem& windowSystem, QObject* parent = nullptr);

    /// Follows `model` from now on; a null model is ignored.
    void setModel(SenMappingModel* model);
    /// The table's current row; -1 when there is none.
    int currentRow() const;
    /// Removes every row without touching the model.
    void clearTable();

    /// The view as the evaluation pass's activity report. Valid while the view lives.
    MappingActivityReport activityReport();

    /// Vanished windows already announced through invalidWindowHandleDetected.
    const QList<WindowHandle>& reportedWindows() const { return m_reportedWindows; }

signals:
    /// The selected mapping row, -1 for none; sent again after a rename.
    void mappingSelectionChanged(int index);
    /// A chosen target window no longer exists; sent once per window for the life of the view.
    void invalidWindowHandleDetected();

public slots:
    void onMappingAdded(int index);
    void onMappingChanged(int index);
    void onMappingRemoved(int index);
    void onMappingSwapped(int index1, int index2);
    void onMappingCleared();
    /// The activity light of row `index`: green while the mapping is active.
    void onMappingActivated(int index, bool activated);

protected slots:
    void on_mappingTable_itemChanged(QTableWidgetItem* item);
    void on_mappingTable_itemDoubleClicked(QTableWidgetItem* item);
    void on_mappingTable_currentItemChanged(QTableWidgetItem* current, QTableWidgetItem* previous);
    void configureMappingKeys(int index);
    void configureMappingApplication(int index);
    void highlightRow(int rowIndex, QColor color);
    void updatePlayerNum(int playerNum, int tableRow, int tableCol);
    void onTableComboActive(int row, int col);
    void onWindowPickerActive(uint winHandle, const QString& caption, const QString& className, const QRect& rect);
    void checkWindowHandle();

protected:
    void timerEvent(QTimerEvent* event) override;

private:
    /// The rule's application lists: a short mark after its target and a tool tip over its row.
    void showApplicationLists(int index, const SenMapping& mapping);
    void selectMapping(int row);
    /// Releases what the mapping holds and reopens its send-once latch, before an edit that changes what
    /// it presses or whose states reach it.
    void startAfresh(int index);
    /// White for an enabled mapping, gray for a disabled one; invalid when the model has no such mapping.
    QColor restingColor(int row) const;
    void unmarkRow(int row);
    void markRow(int row);
    void removeAllRows();
    void renumberComboBoxes(int fromRow);
    TableWidgetComboBox* comboBox(int row) const;

    QIcon m_activeIcon;
    QIcon m_inactiveIcon;
    // Not owned: a table that goes first leaves the view with nothing to update rather than a dangling pointer.
    QPointer<QTableWidget> m_table;
    SenMappingModel* m_model = nullptr;
    int m_selectedRow = -1;
    QList<WindowHandle> m_reportedWindows;
    WindowSystem& m_windowSystem;
    int m_timerId = 0;
};
