#include "SenMappingView.h"

#include <algorithm>
#include <limits>

#include <QDebug>
#include <QFont>
#include <QSignalBlocker>
#include <QTableWidget>
#include <QTimerEvent>

#include "KeySimulationConfigureDialog.h"
#include "LineEditDelegate.h"
#include "MappingKeys.h"
#include "SenMapping.h"
#include "SenMappingModel.h"
#include "TableRows.h"
#include "TableWidgetComboBox.h"
#include "TableWindowHandlePicker.h"
#include "TargetApplicationConfigureDialog.h"
#include "WindowInspection.h"

namespace {

const QColor kSelectedColor(QStringLiteral("#FFCC00"));
constexpr int kNameMaxLength = 50;
// Remembers which icon the light shows, so that a state that changes nothing repaints nothing.
constexpr int kActiveRole = Qt::UserRole + 1;

QTableWidgetItem* newItem(Qt::ItemFlags flags, Qt::Alignment alignment = Qt::AlignCenter)
{
    auto* item = new QTableWidgetItem();
    item->setFlags(flags);
    item->setTextAlignment(alignment);
    return item;
}

void setText(QTableWidgetItem* item, const QString& text, const QColor& colour, bool italic = false, bool bold = false)
{
    if (item == nullptr) {
        return;
    }
    QFont font = item->font();
    font.setItalic(italic);
    font.setBold(bold);
    item->setFont(font);
    item->setForeground(colour);
    item->setText(text);
}

} // namespace

SenMappingView::SenMappingView(QTableWidget* table, SenMappingModel* model, WindowSystem& windowSystem, QObject* parent)
    : QObject(parent), m_activeIcon(QStringLiteral(":/./Resources/green_orb_Icon_small.png")),
      m_inactiveIcon(QStringLiteral(":/./Resources/yellow_orb_Icon_small.png")), m_table(table),
      m_windowSystem(windowSystem)
{
    setModel(model);
    if (m_table != nullptr) {
        TableRows::setUp(*m_table, {tr("Enabled"), tr("Player"), tr("Name"), tr("Key(s)"), tr("Behavior"),
                                    tr("Target Application"), QString()});
        m_table->setSortingEnabled(false);
        m_table->resizeColumnToContents(EnabledColumn);
        m_table->resizeColumnToContents(PlayerColumn);
        m_table->resizeColumnToContents(BehaviorColumn);
        m_table->setColumnWidth(KeysColumn, 180);
        m_table->setColumnWidth(TargetColumn, 150);
        m_table->setColumnWidth(PickerColumn, 33);
        m_table->setItemDelegateForColumn(NameColumn, new LineEditDelegate(kNameMaxLength, this));

        connect(m_table, &QTableWidget::itemChanged, this, &SenMappingView::on_mappingTable_itemChanged);
        connect(m_table, &QTableWidget::itemDoubleClicked, this, &SenMappingView::on_mappingTable_itemDoubleClicked);
        connect(m_table, &QTableWidget::currentItemChanged, this, &SenMappingView::on_mappingTable_currentItemChanged);
    }
    m_timerId = startTimer(1000);
}

void SenMappingView::setModel(SenMappingModel* model)
{
    if (model == nullptr) {
        return;
    }
    if (m_model != nullptr) {
        disconnect(m_model, nullptr, this, nullptr);
    }
    m_model = model;
    connect(m_model, &SenMappingModel::mappingAdded, this, &SenMappingView::onMappingAdded);
    connect(m_model, &SenMappingModel::mappingChanged, this, &SenMappingView::onMappingChanged);
    connect(m_model, &SenMappingModel::mappingRemoved, this, &SenMappingView::onMappingRemoved);
    connect(m_model, &SenMappingModel::mappingSwapped, this, &SenMappingView::onMappingSwapped);
    connect(m_model, &SenMappingModel::mappingCleared, this, &SenMappingView::onMappingCleared);
}

int SenMappingView::currentRow() const
{
    return m_table != nullptr ? m_table->currentRow() : -1;
}

void SenMappingView::clearTable()
{
    if (m_table == nullptr) {
        return;
    }
    removeAllRows();
}

MappingActivityReport SenMappingView::activityReport()
{
    return [this](int index, bool activated) { onMappingActivated(index, activated); };
}

void SenMappingView::onMappingAdded(int index)
{
    // A row can only go next to the rows there are; anything else means the table was cleared on its own.
    if (m_table == nullptr || m_model == nullptr || m_model->mapping(index) == nullptr || index > m_table->rowCount()) {
        return;
    }
    const Qt::ItemFlags checkable = Qt::ItemIsEnabled | Qt::ItemIsUserCheckable;
    QTableWidgetItem* items[ColumnCount] = {};
    for (int column = 0; column < ColumnCount; ++column) {
        items[column] = newItem(Qt::ItemIsEnabled);
    }
    items[EnabledColumn]->setFlags(checkable);
    items[EnabledColumn]->setIcon(m_inactiveIcon);
    items[EnabledColumn]->setData(kActiveRole, false);
    items[EnabledColumn]->setCheckState(Qt::Checked);
    items[NameColumn]->setFlags(Qt::ItemIsEnabled | Qt::ItemIsEditable);
    items[BehaviorColumn]->setFlags(checkable);
    items[BehaviorColumn]->setTextAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    items[BehaviorColumn]->setCheckState(Qt::Checked);
    items[BehaviorColumn]->setText(tr("Send Once"));
    for (int column : {NameColumn, KeysColumn, TargetColumn}) {
        items[column]->setForeground(Qt::blue);
    }

    auto* picker = new TableWindowHandlePicker(m_windowSystem);
    connect(picker, &WindowHandlePicker::foundWindow, this, &SenMappingView::onWindowPickerActive);

    auto* combo = new TableWidgetComboBox(index, PlayerColumn);
    {
        const QSignalBlocker blocker(m_table);
        m_table->insertRow(index);
        m_table->setVerticalHeaderItem(index, new QTableWidgetItem());
        for (int column = 0; column < ColumnCount; ++column) {
            m_table->setItem(index, column, items[column]);
        }
        m_table->setCellWidget(index, PickerColumn, picker);
        combo->addItems({QStringLiteral("1"), QStringLiteral("2")});
        combo->setSizeAdjustPolicy(QComboBox::AdjustToContentsOnFirstShow);
        m_table->setCellWidget(index, PlayerColumn, combo);
        connect(combo, &TableWidgetComboBox::indexChanged, this, &SenMappingView::updatePlayerNum);
        connect(combo, &TableWidgetComboBox::hasFocus, this, &SenMappingView::onTableComboActive);
    }
    // Only the model appends, but a row inserted above others must not leave them misnumbered.
    renumberComboBoxes(index + 1);
    if (m_selectedRow >= index) {
        ++m_selectedRow;
    }

    m_table->setCurrentCell(index, PlayerColumn);
    if (m_selectedRow != index) {
        selectMapping(index);
    }
    onMappingChanged(index);

    m_table->resizeColumnToContents(EnabledColumn);
    m_table->resizeColumnToContents(BehaviorColumn);
    m_table->setColumnWidth(PickerColumn, picker->width() + 1);
}

void SenMappingView::onMappingChanged(int index)
{
    SenMapping* mapping = m_model != nullptr ? m_model->mapping(index) : nullptr;
    if (m_table == nullptr || mapping == nullptr || index >= m_table->rowCount()) {
        return;
    }
    // Not blocked: a change of the box runs the enabled handling, which greys a disabled mapping's row.
    if (QTableWidgetItem* item = m_table->item(index, EnabledColumn)) {
        item->setCheckState(mapping->enabled() ? Qt::Checked : Qt::Unchecked);
    }

    const QSignalBlocker blocker(m_table);
    const QString keys = keysDisplayText(*mapping);
    if (!keys.isEmpty()) {
        setText(m_table->item(index, KeysColumn), keys, Qt::blue);
    } else {
        setText(m_table->item(index, KeysColumn), tr("<double-click to change>"), Qt::black, true);
    }
    if (QTableWidgetItem* item = m_table->item(index, NameColumn)) {
        item->setText(mapping->name());
    }
    if (QTableWidgetItem* item = m_table->item(index, BehaviorColumn)) {
        item->setCheckState(mapping->sendOnce() ? Qt::Checked : Qt::Unchecked);
    }
    if (TableWidgetComboBox* combo = comboBox(index)) {
        // Showing a mapping must not rewrite it: a player number without an entry leaves the box empty
        // and the mapping as it was.
        const QSignalBlocker comboBlocker(combo);
        combo->setCurrentIndex(mapping->playerNum() >= 0 && mapping->playerNum() < combo->count() ? mapping->playerNum()
                                                                                                  : -1);
    }

    QTableWidgetItem* target = m_table->item(index, TargetColumn);
    const WindowHandle window = mapping->windowHandle();
    if (mapping->sendToFocus()) {
        setText(target, tr("<To application in focus>"), Qt::blue);
    } else if (window == 0) {
        setText(target, tr("<no window selected>"), Qt::blue);
    } else if (!m_windowSystem.isValidWindow(window)) {
        setText(target, tr("<invalid window, please select again>"), Qt::red, false, true);
    } else if (!mapping->appTitle().isEmpty()) {
        setText(target, tr("To %1").arg(QStringLiteral("\"%1\"").arg(mapping->appTitle())), Qt::blue);
    } else {
        setText(target, tr("To %1").arg(QString::asprintf("window 0x%08X", window)), Qt::blue);
    }

    if (QWidget* picker = m_table->cellWidget(index, PickerColumn)) {
        picker->setEnabled(!mapping->sendToFocus());
    }
}

void SenMappingView::onMappingRemoved(int index)
{
    if (m_table == nullptr || index < 0 || index >= m_table->rowCount()) {
        return;
    }
    {
        const QSignalBlocker blocker(m_table);
        m_table->removeRow(index);
    }
    // Every box below the removed row moved up, whichever row is current now.
    renumberComboBoxes(index);

    const int current = m_table->currentRow();
    if (m_selectedRow != -1 && m_selectedRow != current) {
        unmarkRow(m_selectedRow);
    }
    if (current != -1) {
        markRow(current);
    }
    m_selectedRow = current;
    emit mappingSelectionChanged(current);
}

void SenMappingView::onMappingSwapped(int index1, int index2)
{
    qDebug("Items %d and %d cannot be swapped in table!", index1, index2);
}

void SenMappingView::onMappingCleared()
{
    removeAllRows();
}

void SenMappingView::onMappingActivated(int index, bool activated)
{
    if (m_table == nullptr) {
        return;
    }
    QTableWidgetItem* item = m_table->item(index, EnabledColumn);
    if (item == nullptr || item->data(kActiveRole).toBool() == activated) {
        return;
    }
    const QSignalBlocker blocker(m_table);
    item->setData(kActiveRole, activated);
    item->setIcon(activated ? m_activeIcon : m_inactiveIcon);
}

void SenMappingView::on_mappingTable_itemChanged(QTableWidgetItem* item)
{
    if (item == nullptr || m_model == nullptr) {
        return;
    }
    const int row = item->row();
    SenMapping* mapping = m_model->mapping(row);
    if (mapping == nullptr) {
        return;
    }
    switch (item->column()) {
    case EnabledColumn: {
        const bool enabled = item->checkState() == Qt::Checked;
        highlightRow(row, enabled ? kSelectedColor : QColor(Qt::gray));
        mapping->setEnabled(enabled);
        m_model->triggerModelEdited();
        break;
    }
    case NameColumn:
        mapping->setName(item->text());
        m_model->triggerModelEdited();
        // The condition table titles itself with the name.
        emit mappingSelectionChanged(row);
        break;
    case BehaviorColumn:
        mapping->setSendOnce(item->checkState() == Qt::Checked);
        m_model->triggerModelEdited();
        break;
    default:
        break;
    }
}

void SenMappingView::on_mappingTable_itemDoubleClicked(QTableWidgetItem* item)
{
    if (item == nullptr || m_model == nullptr || m_model->mapping(item->row()) == nullptr) {
        return;
    }
    const int row = item->row();
    const QSignalBlocker blocker(m_table);
    if (item->column() == KeysColumn) {
        configureMappingKeys(row);
    } else if (item->column() == TargetColumn) {
        configureMappingApplication(row);
    }
}

void SenMappingView::on_mappingTable_currentItemChanged(QTableWidgetItem* current, QTableWidgetItem* previous)
{
    if (current == previous) {
        return;
    }
    if (current == nullptr) {
        if (m_selectedRow != -1) {
            unmarkRow(m_selectedRow);
        }
        m_selectedRow = -1;
        emit mappingSelectionChanged(-1);
        return;
    }
    const int row = current->row();
    if (previous != nullptr && previous->row() == row) {
        return;
    }
    if (m_model != nullptr && m_model->mapping(row) != nullptr) {
        selectMapping(row);
    }
}

void SenMappingView::configureMappingKeys(int index)
{
    SenMapping* mapping = m_model != nullptr ? m_model->mapping(index) : nullptr;
    if (mapping == nullptr) {
        return;
    }
    bool sendHotKeys = mapping->sendHotKeys();
    QString keys = mapping->keys();
    bool ctrlKey = mapping->ctrlKey();
    bool altKey = mapping->altKey();
    bool shiftKey = mapping->shiftKey();
    bool winKey = mapping->winKey();
    bool enterKey = mapping->enterKey();
    int hotKey = mapping->hotKey();
    bool holdKey = mapping->holdKey();
    // Times from a file may exceed what an int holds; the dialog clamps them to its own range anyway.
    int holdTime = static_cast<int>(std::min<uint>(mapping->holdTime(), std::numeric_limits<int>::max()));
    int triggerDelayTime =
        static_cast<int>(std::min<uint>(mapping->triggerDelayTime(), std::numeric_limits<int>::max()));
    bool mouseclickset = mapping->mouseclickset();
    int mousebutnum = mapping->mousebutnum();

    KeySimulationConfigureDialog dialog;
    dialog.setKeySimulation(sendHotKeys, keys, ctrlKey, altKey, shiftKey, winKey, enterKey, hotKey, holdKey, holdTime,
                            triggerDelayTime, mouseclickset, mousebutnum);
    dialog.setTiming(mapping->dwellTime(), mapping->cooldownTime(), mapping->rearmTime());
    dialog.setPauseToggle(mapping->pauseToggle());
    if (dialog.exec() != QDialog::Accepted) {
        return;
    }
    // The dialog ran an event loop: the mapping may have gone meanwhile.
    mapping = m_model->mapping(index);
    if (mapping == nullptr) {
        return;
    }
    dialog.getKeySimulation(sendHotKeys, keys, ctrlKey, altKey, shiftKey, winKey, enterKey, hotKey, holdKey, holdTime,
                            triggerDelayTime, mouseclickset, mousebutnum);
    // Once the keys change, the mapping would release the new key, not the one it may be holding.
    startAfresh(index);
    mapping->setSendHotKeys(sendHotKeys);
    mapping->setKeys(keys);
    mapping->setCtrlKey(ctrlKey);
    mapping->setAltKey(altKey);
    mapping->setShiftKey(shiftKey);
    mapping->setWinKey(winKey);
    mapping->setEnterKey(enterKey);
    mapping->setHotKey(hotKey);
    mapping->setHoldKey(holdKey);
    mapping->setHoldTime(static_cast<uint>(std::max(holdTime, 0)));
    mapping->setTriggerDelayTime(static_cast<uint>(std::max(triggerDelayTime, 0)));
    mapping->setMouseclickset(mouseclickset);
    mapping->setMousebutnum(mousebutnum);
    uint dwellTime = 0;
    uint cooldownTime = 0;
    uint rearmTime = 0;
    dialog.getTiming(dwellTime, cooldownTime, rearmTime);
    mapping->setDwellTime(dwellTime);
    mapping->setCooldownTime(cooldownTime);
    mapping->setRearmTime(rearmTime);
    mapping->setPauseToggle(dialog.pauseToggle());
    onMappingChanged(index);
    m_model->triggerModelEdited();
}

void SenMappingView::configureMappingApplication(int index)
{
    SenMapping* mapping = m_model != nullptr ? m_model->mapping(index) : nullptr;
    if (mapping == nullptr) {
        return;
    }
    bool sendToFocus = mapping->sendToFocus();
    uint windowHandle = mapping->windowHandle();
    QString caption = mapping->appTitle();
    QString className;
    QRect rect;
    if (windowHandle != 0) {
        className = m_windowSystem.windowClassName(windowHandle);
        rect = windowQRect(m_windowSystem, windowHandle);
    }

    TargetApplicationConfigureDialog dialog(m_windowSystem, qobject_cast<QWidget*>(parent()));
    dialog.setTargetWindow(sendToFocus, windowHandle, caption, className, rect);
    if (dialog.exec() != QDialog::Accepted) {
        return;
    }
    mapping = m_model->mapping(index);
    if (mapping == nullptr) {
        return;
    }
    dialog.getTargetWindow(sendToFocus, windowHandle, caption, className, rect);
    mapping->setSendToFocus(sendToFocus);
    mapping->setWindowHandle(windowHandle);
    mapping->setAppTitle(caption);
    onMappingChanged(index);
    m_model->triggerModelEdited();
}

void SenMappingView::highlightRow(int rowIndex, QColor color)
{
    if (m_table != nullptr) {
        TableRows::paint(*m_table, rowIndex, color);
    }
}

void SenMappingView::updatePlayerNum(int playerNum, int tableRow, int /*tableCol*/)
{
    SenMapping* mapping = m_model != nullptr ? m_model->mapping(tableRow) : nullptr;
    if (mapping == nullptr) {
        return;
    }
    if (mapping->playerNum() != playerNum) {
        // The old player's states, which would have released what it holds, no longer reach it.
        startAfresh(tableRow);
    }
    mapping->setPlayerNum(playerNum);
    m_model->triggerModelEdited();
}

void SenMappingView::onTableComboActive(int row, int /*col*/)
{
    // The table usually has made the box's row current already, and selected it on the way.
    if (row != m_selectedRow && m_model != nullptr && m_model->mapping(row) != nullptr) {
        selectMapping(row);
    }
}

void SenMappingView::onWindowPickerActive(uint winHandle, const QString& caption, const QString& /*className*/,
                                          const QRect& /*rect*/)
{
    const int row = currentRow();
    SenMapping* mapping = m_model != nullptr ? m_model->mapping(row) : nullptr;
    if (mapping == nullptr) {
        return;
    }
    mapping->setSendToFocus(false);
    mapping->setWindowHandle(winHandle);
    mapping->setAppTitle(caption);
    onMappingChanged(row);
    m_model->triggerModelEdited();
}

void SenMappingView::checkWindowHandle()
{
    if (m_model == nullptr) {
        return;
    }
    for (int i = 0; i < m_model->mappingCount(); ++i) {
        const SenMapping* mapping = m_model->mapping(i);
        if (mapping == nullptr || mapping->sendToFocus() || mapping->windowHandle() == 0 ||
            m_windowSystem.isValidWindow(mapping->windowHandle())) {
            continue;
        }
        onMappingChanged(i);
        if (!m_reportedWindows.contains(mapping->windowHandle())) {
            m_reportedWindows.append(mapping->windowHandle());
            emit invalidWindowHandleDetected();
        }
    }
}

void SenMappingView::timerEvent(QTimerEvent* event)
{
    if (event->timerId() == m_timerId) {
        checkWindowHandle();
        return;
    }
    QObject::timerEvent(event);
}

void SenMappingView::selectMapping(int row)
{
    if (m_selectedRow != -1 && m_selectedRow != row) {
        unmarkRow(m_selectedRow);
    }
    if (row != -1) {
        markRow(row);
    }
    m_selectedRow = row;
    emit mappingSelectionChanged(row);
}

void SenMappingView::startAfresh(int index)
{
    m_model->releaseHeld(index);
    if (SenMapping* mapping = m_model->mapping(index)) {
        mapping->setAlreadySent(false);
        // Timers and averages of the old player or the old settings say nothing about the new ones.
        mapping->resetConditioning();
    }
}

QColor SenMappingView::restingColor(int row) const
{
    const SenMapping* mapping = m_model != nullptr ? m_model->mapping(row) : nullptr;
    if (mapping == nullptr) {
        return {};
    }
    return mapping->enabled() ? QColor(Qt::white) : QColor(Qt::gray);
}

void SenMappingView::unmarkRow(int row)
{
    const QColor colour = restingColor(row);
    if (colour.isValid()) {
        highlightRow(row, colour);
    }
}

void SenMappingView::markRow(int row)
{
    highlightRow(row, kSelectedColor);
    if (m_table != nullptr && m_table->currentRow() != row) {
        // The selection is already being handled here; the table's notice would only repeat it.
        const QSignalBlocker blocker(m_table);
        m_table->setCurrentCell(row, PlayerColumn);
    }
}

void SenMappingView::removeAllRows()
{
    if (m_table != nullptr) {
        TableRows::removeAll(*m_table);
    }
    // The rows are gone, so is the selection: whoever enables commands by it must hear of it.
    const bool hadSelection = m_selectedRow != -1;
    m_selectedRow = -1;
    if (hadSelection) {
        emit mappingSelectionChanged(-1);
    }
}

void SenMappingView::renumberComboBoxes(int fromRow)
{
    if (m_table == nullptr) {
        return;
    }
    for (int row = std::max(fromRow, 0); row < m_table->rowCount(); ++row) {
        if (TableWidgetComboBox* combo = comboBox(row)) {
            combo->setTableRow(row);
        }
    }
}

TableWidgetComboBox* SenMappingView::comboBox(int row) const
{
    return m_table != nullptr ? qobject_cast<TableWidgetComboBox*>(m_table->cellWidget(row, PlayerColumn)) : nullptr;
}
