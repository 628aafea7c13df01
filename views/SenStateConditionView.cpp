#include "SenStateConditionView.h"

#include <QDebug>
#include <QFont>
#include <QGroupBox>
#include <QSignalBlocker>
#include <QTableWidget>

#include <optional>

#include "SenActionRule.h"
#include "SenMapping.h"
#include "SenMappingModel.h"
#include "SenStateConditionConfigureDialog.h"
#include "TableRows.h"

namespace {

const QColor kSelectedColor(QStringLiteral("#FFCC00"));

QColor restingColor(const SenStateCondition& condition)
{
    return condition.enabled() ? QColor(Qt::white) : QColor(Qt::gray);
}

QString thresholdText(const QVariant& threshold)
{
    bool ok = false;
    const double value = threshold.toDouble(&ok);
    return ok ? QStringLiteral("%1").arg(value) : QString();
}

// The release level and the smoothing of a strength condition; empty when it has neither.
QString conditioningText(const SenStateCondition& condition)
{
    QStringList parts;
    if (const std::optional<double> release = condition.releaseLevel()) {
        const bool below = condition.actionRule().rule() == SenActionRule::GreaterThan;
        parts << (below ? SenStateConditionView::tr("below %1") : SenStateConditionView::tr("above %1")).arg(*release);
    }
    if (condition.smoothingTime() != 0) {
        parts << SenStateConditionView::tr("smoothed %1 ms").arg(condition.smoothingTime());
    }
    return parts.join(QStringLiteral(", "));
}

} // namespace

SenStateConditionView::SenStateConditionView(QTableWidget* table, SenMappingModel* model, QObject* parent)
    : QObject(parent), m_table(table)
{
    setModel(model);
    if (m_table == nullptr) {
        return;
    }
    TableRows::setUp(*m_table, {tr("Enabled"), tr("Action"), tr("Trigger"), tr("Value"), tr("Release")});
    m_table->resizeColumnToContents(EnabledColumn);
    for (int column : {ActionColumn, TriggerColumn, ValueColumn, ReleaseColumn}) {
        m_table->setColumnWidth(column, 150);
    }

    connect(m_table, &QTableWidget::itemChanged, this, &SenStateConditionView::on_conditionTable_itemChanged);
    connect(m_table, &QTableWidget::itemDoubleClicked, this,
            &SenStateConditionView::on_conditionTable_itemDoubleClicked);
    // The keyboard's double click: the box of the first column toggles with Space instead.
    TableRows::openCellsWithKeys(*m_table, [this](QTableWidgetItem* item) {
        if (item == nullptr || item->column() == EnabledColumn) {
            return false;
        }
        configureCondition(m_mappingIndex, item->row());
        return true;
    });
    connect(m_table, &QTableWidget::currentItemChanged, this,
            &SenStateConditionView::on_conditionTable_currentItemChanged);
}

void SenStateConditionView::setModel(SenMappingModel* model)
{
    if (model == nullptr) {
        return;
    }
    if (m_model != nullptr) {
        disconnect(m_model, nullptr, this, nullptr);
    }
    m_model = model;
    connect(m_model, &SenMappingModel::conditionAdded, this, &SenStateConditionView::onConditionAdded);
    connect(m_model, &SenMappingModel::conditionChanged, this, &SenStateConditionView::onConditionChanged);
    connect(m_model, &SenMappingModel::conditionRemoved, this, &SenStateConditionView::onConditionRemoved);
    connect(m_model, &SenMappingModel::conditionSwapped, this, &SenStateConditionView::onConditionSwapped);
    connect(m_model, &SenMappingModel::conditionCleared, this, &SenStateConditionView::onConditionCleared);
    connect(m_model, &SenMappingModel::mappingCleared, this, &SenStateConditionView::onMappingCleared);
}

int SenStateConditionView::currentRow() const
{
    return m_table != nullptr ? m_table->currentRow() : -1;
}

void SenStateConditionView::clearTable()
{
    if (m_table == nullptr) {
        return;
    }
    removeAllRows();
    setTitle(tr("Trigger Conditions"));
}

// The rows show one mapping only; a change to another mapping's conditions is not theirs to show.
void SenStateConditionView::onConditionAdded(int mappingIndex, int index)
{
    if (mappingIndex == m_mappingIndex) {
        buildRow(mappingIndex, index);
    }
}

void SenStateConditionView::onConditionChanged(int mappingIndex, int index)
{
    if (m_table == nullptr || m_model == nullptr || mappingIndex != m_mappingIndex || index < 0 ||
        index >= m_table->rowCount()) {
        return;
    }
    const SenMapping* mapping = m_model->mapping(mappingIndex);
    const SenStateCondition* condition = mapping != nullptr ? mapping->condition(index) : nullptr;
    if (condition == nullptr) {
        return;
    }
    const QString threshold = thresholdText(condition->threshold());

    // Not blocked: a change of the box runs the enabled handling, which colours the row.
    if (QTableWidgetItem* item = m_table->item(index, EnabledColumn)) {
        item->setCheckState(condition->enabled() ? Qt::Checked : Qt::Unchecked);
    }

    const QSignalBlocker blocker(m_table);
    const SenAction* action = condition->action();
    if (QTableWidgetItem* item = m_table->item(index, ActionColumn)) {
        item->setText(action != nullptr ? action->name() : QString());
    }
    if (QTableWidgetItem* item = m_table->item(index, TriggerColumn)) {
        item->setText(SenActionRule::ruleNames(action).value(condition->actionRule().rule()));
    }
    if (QTableWidgetItem* item = m_table->item(index, ValueColumn)) {
        const bool showValue = action != nullptr && action->triggerType() != SenAction::Binary && !threshold.isEmpty();
        QFont font = item->font();
        font.setItalic(!showValue);
        item->setFont(font);
        item->setForeground(showValue ? QColor(Qt::blue) : QColor(Qt::black));
        item->setText(showValue ? threshold : tr("<double-click to change>"));
    }
    if (QTableWidgetItem* item = m_table->item(index, ReleaseColumn)) {
        item->setText(conditioningText(*condition));
    }
}

void SenStateConditionView::onConditionRemoved(int mappingIndex, int index)
{
    if (m_table == nullptr || mappingIndex != m_mappingIndex || index < 0 || index >= m_table->rowCount()) {
        return;
    }
    {
        const QSignalBlocker blocker(m_table);
        m_table->removeRow(index);
    }
    selectCondition(m_table->currentRow());
}

void SenStateConditionView::onConditionSwapped(int mappingIndex, int index1, int index2)
{
    Q_UNUSED(mappingIndex);
    qDebug("Items %d and %d cannot be swapped in table!", index1, index2);
}

void SenStateConditionView::onConditionCleared(int mappingIndex)
{
    if (mappingIndex == m_mappingIndex) {
        removeAllRows();
    }
}

void SenStateConditionView::onMappingCleared()
{
    m_mappingIndex = -1;
    removeAllRows();
}

void SenStateConditionView::onMappingSelectionChanged(int mappingIndex)
{
    m_mappingIndex = mappingIndex;
    const SenMapping* mapping = m_model != nullptr ? m_model->mapping(mappingIndex) : nullptr;
    if (mapping == nullptr) {
        // Also for an index the model does not have: rows of the mapping shown before must not linger.
        clearTable();
        return;
    }
    setTitle(tr("Trigger Conditions of <%1>").arg(mapping->name()));
    removeAllRows();
    loadConditionsFromMapping(mappingIndex);
}

void SenStateConditionView::on_conditionTable_itemChanged(QTableWidgetItem* item)
{
    if (item == nullptr || item->column() != EnabledColumn || !hasCondition(item->row())) {
        return;
    }
    const int row = item->row();
    const bool enabled = item->checkState() == Qt::Checked;
    highlightRow(row, enabled ? kSelectedColor : QColor(Qt::gray));
    m_model->mapping(m_mappingIndex)->condition(row)->setEnabled(enabled);
    m_model->triggerModelEdited();
}

void SenStateConditionView::on_conditionTable_itemDoubleClicked(QTableWidgetItem* item)
{
    if (item != nullptr) {
        configureCondition(m_mappingIndex, item->row());
    }
}

void SenStateConditionView::on_conditionTable_currentItemChanged(QTableWidgetItem* current, QTableWidgetItem* previous)
{
    if (current == previous) {
        return;
    }
    if (current == nullptr) {
        m_selectedRow = -1;
        emit conditionSelectionChanged(-1);
        return;
    }
    const int row = current->row();
    if (previous != nullptr && previous->row() == row) {
        return;
    }
    if (hasCondition(row)) {
        selectCondition(row);
    }
}

void SenStateConditionView::loadConditionsFromMapping(int mappingIndex)
{
    const SenMapping* mapping = m_model != nullptr ? m_model->mapping(mappingIndex) : nullptr;
    if (mapping == nullptr) {
        return;
    }
    for (int i = 0; i < mapping->conditionCount(); ++i) {
        buildRow(mappingIndex, i);
    }
}

void SenStateConditionView::configureCondition(int mappingIndex, int index)
{
    const SenMapping* mapping = m_model != nullptr ? m_model->mapping(mappingIndex) : nullptr;
    if (mapping == nullptr || mapping->condition(index) == nullptr) {
        return;
    }
    SenStateConditionConfigureDialog dialog;
    dialog.loadCondition(*mapping->condition(index));
    if (dialog.exec() != QDialog::Accepted) {
        return;
    }
    // The dialog ran an event loop: look the condition up again rather than trust the old pointers.
    mapping = m_model->mapping(mappingIndex);
    const SenStateCondition* old = mapping != nullptr ? mapping->condition(index) : nullptr;
    if (old == nullptr) {
        return;
    }
    SenStateCondition condition = dialog.buildCondition();
    condition.setEnabled(old->enabled());
    m_model->setCondition(mappingIndex, index, condition);
}

void SenStateConditionView::highlightRow(int rowIndex, QColor color)
{
    if (m_table != nullptr) {
        TableRows::paint(*m_table, rowIndex, color);
    }
}

void SenStateConditionView::buildRow(int mappingIndex, int index)
{
    const SenMapping* mapping = m_model != nullptr ? m_model->mapping(mappingIndex) : nullptr;
    if (m_table == nullptr || mapping == nullptr || mapping->condition(index) == nullptr ||
        index > m_table->rowCount()) {
        return;
    }
    auto* enabledItem = new QTableWidgetItem();
    enabledItem->setFlags(Qt::ItemIsEnabled | Qt::ItemIsUserCheckable);
    enabledItem->setTextAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    enabledItem->setCheckState(Qt::Checked);
    {
        const QSignalBlocker blocker(m_table);
        m_table->insertRow(index);
        m_table->setVerticalHeaderItem(index, new QTableWidgetItem());
        m_table->setItem(index, EnabledColumn, enabledItem);
        for (int column : {ActionColumn, TriggerColumn, ValueColumn, ReleaseColumn}) {
            auto* item = new QTableWidgetItem();
            item->setFlags(Qt::ItemIsEnabled);
            item->setTextAlignment(Qt::AlignCenter);
            item->setForeground(Qt::blue);
            m_table->setItem(index, column, item);
        }
    }
    m_table->setCurrentCell(index, EnabledColumn);
    if (m_selectedRow != index) {
        selectCondition(index);
    }
    onConditionChanged(mappingIndex, index);
}

void SenStateConditionView::selectCondition(int row)
{
    if (row != -1) {
        if (m_selectedRow != -1 && m_selectedRow != row) {
            const SenMapping* mapping = m_model != nullptr ? m_model->mapping(m_mappingIndex) : nullptr;
            if (mapping == nullptr) {
                return;
            }
            if (const SenStateCondition* condition = mapping->condition(m_selectedRow)) {
                highlightRow(m_selectedRow, restingColor(*condition));
            }
        }
        highlightRow(row, kSelectedColor);
    }
    m_selectedRow = row;
    emit conditionSelectionChanged(row);
}

bool SenStateConditionView::hasCondition(int row) const
{
    const SenMapping* mapping = m_model != nullptr ? m_model->mapping(m_mappingIndex) : nullptr;
    return mapping != nullptr && mapping->condition(row) != nullptr;
}

void SenStateConditionView::removeAllRows()
{
    if (m_table != nullptr) {
        TableRows::removeAll(*m_table);
    }
    // The rows are gone, so is the selection: whoever enables commands by it must hear of it.
    const bool hadSelection = m_selectedRow != -1;
    m_selectedRow = -1;
    if (hadSelection) {
        emit conditionSelectionChanged(-1);
    }
}

void SenStateConditionView::setTitle(const QString& title)
{
    if (auto* box = qobject_cast<QGroupBox*>(m_table != nullptr ? m_table->parentWidget() : nullptr)) {
        box->setTitle(title);
    }
}
