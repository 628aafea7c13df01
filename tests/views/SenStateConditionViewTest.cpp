#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QGroupBox>
#include <QSignalSpy>
#include <QTableWidget>
#include <QTimer>

#include <functional>
#include <memory>

#include <gtest/gtest.h>

#include "QtApplicationEnvironment.h"
#include "WhenModal.h"

#include "RecordingBackend.h"
#include "SenMappingModel.h"
#include "SenMappingView.h"
#include "SenStateConditionView.h"

namespace {

const auto* const kEnvironment = TestSupport::addApplicationEnvironment<QApplication>();
using TestSupport::whenModal;

using Col = SenStateConditionView::Column;
const QColor kSelected(QStringLiteral("#FFCC00"));
const QString kPrompt = QStringLiteral("<double-click to change>");

SenStateCondition condition(SenAction::ActionType type, SenActionRule::Rule rule = SenActionRule::Equal,
                            const QVariant& threshold = {})
{
    SenStateCondition c(type);
    c.setActionRule(rule);
    if (threshold.isValid()) {
        c.setThreshold(threshold);
    }
    return c;
}

SenMapping mapping(const QString& name, const QList<SenStateCondition>& conditions = {})
{
    SenMapping m(name);
    for (const SenStateCondition& c : conditions) {
        m.addCondition(c);
    }
    return m;
}

// Both tables as the main window joins them: the condition table follows the mapping selection.
class ConditionTable : public ::testing::Test
{
protected:
    ConditionTable()
    {
        QObject::connect(&m_mappingView, &SenMappingView::mappingSelectionChanged, &m_view,
                         &SenStateConditionView::onMappingSelectionChanged);
    }

    QTableWidgetItem* item(int row, int column) const { return m_table->item(row, column); }
    QString text(int row, int column) const { return item(row, column)->text(); }
    QColor background(int row) const { return item(row, Col::ActionColumn)->background().color(); }
    int lastSelection() const { return m_selections.isEmpty() ? -2 : m_selections.last().at(0).toInt(); }

    RecordingBackend m_windows;
    SenMappingModel m_model;
    QTableWidget m_mappingTable;
    SenMappingView m_mappingView{&m_mappingTable, &m_model, m_windows};
    QGroupBox m_box{QStringLiteral("Trigger Conditions")};
    QTableWidget* m_table = new QTableWidget(&m_box);
    SenStateConditionView m_view{m_table, &m_model};
    QSignalSpy m_selections{&m_view, &SenStateConditionView::conditionSelectionChanged};
    QSignalSpy m_edits{&m_model, &SenMappingModel::modelEdited};
};

TEST_F(ConditionTable, FollowsTheSelectedMapping)
{
    m_model.addMapping(mapping(QStringLiteral("Rule 1"),
                               {condition(SenAction::Blink), condition(SenAction::Smile), condition(SenAction::Push)}));
    ASSERT_EQ(m_table->rowCount(), 3);
    EXPECT_EQ(m_box.title(), QStringLiteral("Trigger Conditions of <Rule 1>"));
    EXPECT_EQ(background(2), kSelected);
    EXPECT_EQ(background(0), QColor(Qt::white));
    EXPECT_EQ(lastSelection(), 2);

    m_model.addMapping(mapping(QStringLiteral("Rule 2")));
    EXPECT_EQ(m_table->rowCount(), 0);
    EXPECT_EQ(m_box.title(), QStringLiteral("Trigger Conditions of <Rule 2>"));

    m_mappingTable.setCurrentCell(0, SenMappingView::KeysColumn);
    EXPECT_EQ(m_table->rowCount(), 3);
    EXPECT_EQ(m_view.mappingIndex(), 0);

    m_mappingTable.item(0, SenMappingView::NameColumn)->setText(QStringLiteral("Jump"));
    EXPECT_EQ(m_box.title(), QStringLiteral("Trigger Conditions of <Jump>"));

    m_mappingTable.setCurrentItem(nullptr);
    EXPECT_EQ(m_table->rowCount(), 0);
    EXPECT_EQ(m_box.title(), QStringLiteral("Trigger Conditions"));
    EXPECT_EQ(lastSelection(), -1);
}

struct CellCase {
    const char* name;
    SenStateCondition condition;
    QString trigger;
    QString value;
};

TEST_F(ConditionTable, CellsShowDetectionRuleAndThreshold)
{
    const CellCase cases[] = {
        {"binary default", condition(SenAction::Blink), QStringLiteral("occurs"), kPrompt},
        {"binary negated", condition(SenAction::WinkLeft, SenActionRule::NotEqual, true),
         QStringLiteral("does not occur"), kPrompt},
        {"range default", condition(SenAction::Push, SenActionRule::GreaterThan), QStringLiteral("is greater than"),
         QStringLiteral("0.2")},
        {"range below", condition(SenAction::Lift, SenActionRule::LessThan, 0.75), QStringLiteral("is less than"),
         QStringLiteral("0.75")},
    };
    QList<SenStateCondition> conditions;
    for (const CellCase& c : cases) {
        conditions.append(c.condition);
    }
    m_model.addMapping(mapping(QStringLiteral("Rule 1"), conditions));

    for (int row = 0; row < int(std::size(cases)); ++row) {
        const CellCase& c = cases[row];
        SCOPED_TRACE(c.name);
        EXPECT_EQ(text(row, Col::ActionColumn), c.condition.action()->name());
        EXPECT_EQ(text(row, Col::TriggerColumn), c.trigger);
        EXPECT_EQ(text(row, Col::ValueColumn), c.value);
        const bool prompt = c.value == kPrompt;
        EXPECT_EQ(item(row, Col::ValueColumn)->font().italic(), prompt);
        EXPECT_EQ(item(row, Col::ValueColumn)->foreground().color(), prompt ? QColor(Qt::black) : QColor(Qt::blue));
        EXPECT_EQ(item(row, Col::EnabledColumn)->checkState(), Qt::Checked);
        for (int column = 0; column < Col::ColumnCount; ++column) {
            EXPECT_FALSE(item(row, column)->flags() & (Qt::ItemIsSelectable | Qt::ItemIsEditable));
        }
    }
    EXPECT_EQ(text(0, Col::ActionColumn), QStringLiteral("Blink"));
}

TEST_F(ConditionTable, ReleaseColumnShowsTheReleaseLevelAndSmoothing)
{
    SenStateCondition above = condition(SenAction::Smile, SenActionRule::GreaterThan, 0.5);
    above.setReleaseLevel(0.35);
    above.setSmoothingTime(150);
    SenStateCondition below = condition(SenAction::Lift, SenActionRule::LessThan, 0.3);
    below.setReleaseLevel(0.45);
    SenStateCondition smoothed = condition(SenAction::Push, SenActionRule::GreaterThan);
    smoothed.setSmoothingTime(80);
    m_model.addMapping(mapping(QStringLiteral("Rule 1"), {above, below, smoothed, condition(SenAction::Blink)}));

    EXPECT_EQ(text(0, Col::ReleaseColumn), QStringLiteral("below 0.35, smoothed 150 ms"));
    EXPECT_EQ(text(1, Col::ReleaseColumn), QStringLiteral("above 0.45"));
    EXPECT_EQ(text(2, Col::ReleaseColumn), QStringLiteral("smoothed 80 ms"));
    EXPECT_EQ(text(3, Col::ReleaseColumn), QString());

    m_model.setCondition(0, 0, condition(SenAction::Smile, SenActionRule::GreaterThan, 0.5));
    EXPECT_EQ(text(0, Col::ReleaseColumn), QString()) << "an edit shows the new condition";
}

TEST_F(ConditionTable, NewConditionIsAddedAndSelected)
{
    m_model.addMapping(mapping(QStringLiteral("Rule 1"), {condition(SenAction::Push)}));
    m_model.addCondition(0, SenStateCondition(SenAction::Blink));

    ASSERT_EQ(m_table->rowCount(), 2);
    EXPECT_EQ(text(1, Col::ActionColumn), QStringLiteral("Blink"));
    EXPECT_EQ(text(1, Col::TriggerColumn), QStringLiteral("occurs"));
    EXPECT_EQ(text(1, Col::ValueColumn), kPrompt);
    EXPECT_EQ(background(1), kSelected);
    EXPECT_EQ(background(0), QColor(Qt::white));
    EXPECT_EQ(lastSelection(), 1);
}

TEST_F(ConditionTable, ConditionsOfAnotherMappingAreNotShown)
{
    m_model.addMapping(mapping(QStringLiteral("A")));
    m_model.addMapping(mapping(QStringLiteral("B"), {condition(SenAction::Push)}));

    m_model.addCondition(0, SenStateCondition(SenAction::Blink));
    m_model.removeCondition(0, 0);

    ASSERT_EQ(m_table->rowCount(), 1);
    EXPECT_EQ(text(0, Col::ActionColumn), m_model.mapping(1)->condition(0)->action()->name());
}

TEST_F(ConditionTable, EnabledBoxReachesTheConditionAndColoursTheRow)
{
    m_model.addMapping(mapping(QStringLiteral("Rule 1"), {condition(SenAction::Blink), condition(SenAction::Push)}));
    m_edits.clear();

    item(0, Col::EnabledColumn)->setCheckState(Qt::Unchecked);
    EXPECT_FALSE(m_model.mapping(0)->condition(0)->enabled());
    EXPECT_EQ(background(0), QColor(Qt::gray));
    EXPECT_EQ(m_edits.count(), 1);

    item(0, Col::EnabledColumn)->setCheckState(Qt::Checked);
    EXPECT_TRUE(m_model.mapping(0)->condition(0)->enabled());
    EXPECT_EQ(background(0), kSelected);
    EXPECT_EQ(m_edits.count(), 2);

    // A disabled condition goes back to gray when the mark leaves it.
    item(0, Col::EnabledColumn)->setCheckState(Qt::Unchecked);
    m_table->setCurrentCell(1, Col::ValueColumn);
    m_table->setCurrentCell(0, Col::ValueColumn);
    m_table->setCurrentCell(1, Col::ValueColumn);
    EXPECT_EQ(background(0), QColor(Qt::gray));
}

TEST_F(ConditionTable, DialogReplacesTheConditionOnlyWhenApplied)
{
    SenStateCondition disabled = condition(SenAction::Push, SenActionRule::LessThan, 0.75);
    disabled.setEnabled(false);
    m_model.addMapping(mapping(QStringLiteral("Rule 1"), {disabled}));
    m_edits.clear();
    const auto chooseFirstAction = [](QDialog& dialog) {
        auto* actions = dialog.findChild<QComboBox*>(QStringLiteral("actionComboBox"));
        ASSERT_NE(actions, nullptr);
        actions->setCurrentIndex(0);
    };

    whenModal([&](QDialog& dialog) {
        chooseFirstAction(dialog);
        dialog.reject();
    });
    emit m_table->itemDoubleClicked(item(0, Col::TriggerColumn));
    EXPECT_EQ(m_model.mapping(0)->condition(0)->actionType(), SenAction::Push);
    EXPECT_EQ(m_edits.count(), 0);

    whenModal([&](QDialog& dialog) {
        chooseFirstAction(dialog);
        dialog.accept();
    });
    emit m_table->itemDoubleClicked(item(0, Col::ValueColumn));
    const SenStateCondition* replaced = m_model.mapping(0)->condition(0);
    EXPECT_EQ(replaced->actionType(), SenAction::Blink);
    EXPECT_FALSE(replaced->enabled());
    EXPECT_EQ(text(0, Col::ActionColumn), QStringLiteral("Blink"));
    EXPECT_EQ(text(0, Col::ValueColumn), kPrompt);
    EXPECT_EQ(item(0, Col::EnabledColumn)->checkState(), Qt::Unchecked);
    EXPECT_EQ(m_edits.count(), 1);
}

TEST_F(ConditionTable, RemovingARowSelectsTheNewCurrentRow)
{
    m_model.addMapping(mapping(QStringLiteral("Rule 1"),
                               {condition(SenAction::Blink), condition(SenAction::Smile), condition(SenAction::Push)}));
    m_model.removeCondition(0, m_view.currentRow());

    ASSERT_EQ(m_table->rowCount(), 2);
    EXPECT_EQ(text(1, Col::ActionColumn), m_model.mapping(0)->condition(1)->action()->name());
    EXPECT_EQ(m_view.currentRow(), 1);
    EXPECT_EQ(lastSelection(), 1);
    EXPECT_EQ(background(1), kSelected);

    m_model.removeCondition(0, 1);
    m_model.removeCondition(0, 0);
    EXPECT_EQ(m_table->rowCount(), 0);
    EXPECT_EQ(lastSelection(), -1);
}

TEST_F(ConditionTable, ClearingTheModelEmptiesTheTable)
{
    m_model.addMapping(mapping(QStringLiteral("Rule 1"), {condition(SenAction::Blink)}));
    m_model.clear();

    EXPECT_EQ(m_table->rowCount(), 0);
    EXPECT_EQ(m_view.mappingIndex(), -1);
    EXPECT_EQ(m_box.title(), QStringLiteral("Trigger Conditions"));
    EXPECT_EQ(lastSelection(), -1);
}

} // namespace
