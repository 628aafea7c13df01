#include <QApplication>
#include <QDialog>
#include <QFocusEvent>
#include <QIcon>
#include <QLineEdit>
#include <QRadioButton>
#include <QSignalSpy>
#include <QTableWidget>
#include <QTest>
#include <QTimer>

#include <functional>
#include <memory>

#include <gtest/gtest.h>

#include "QtApplicationEnvironment.h"
#include "WhenModal.h"

#include "KeyboardEventSimulator.h"
#include "LineEditDelegate.h"
#include "MappingEvaluation.h"
#include "RecordingBackend.h"
#include "SenMappingModel.h"
#include "SenStateCondition.h"
#include "SenMappingView.h"
#include "SenStateRecord.h"
#include "TableWidgetComboBox.h"
#include "TableWindowHandlePicker.h"

namespace {

const auto* const kEnvironment = TestSupport::addApplicationEnvironment<QApplication>();
using TestSupport::whenModal;

using Col = SenMappingView::Column;
const QColor kSelected(QStringLiteral("#FFCC00"));

SenMapping mapping(const QString& name, const std::function<void(SenMapping&)>& setUp = {})
{
    SenMapping m(name);
    if (setUp) {
        setUp(m);
    }
    return m;
}

QImage iconImage(const QIcon& icon)
{
    return icon.pixmap(16, 16).toImage();
}

class MappingTable : public ::testing::Test
{
protected:
    QTableWidgetItem* item(int row, int column) const { return m_table.item(row, column); }
    QString text(int row, int column) const { return item(row, column) ? item(row, column)->text() : QString(); }
    TableWindowHandlePicker* picker(int row) const
    {
        return qobject_cast<TableWindowHandlePicker*>(m_table.cellWidget(row, Col::PickerColumn));
    }
    QColor background(int row) const { return item(row, Col::NameColumn)->background().color(); }
    TableWidgetComboBox* combo(int row) const
    {
        return qobject_cast<TableWidgetComboBox*>(m_table.cellWidget(row, Col::PlayerColumn));
    }
    QStringList names() const
    {
        QStringList result;
        for (int row = 0; row < m_table.rowCount(); ++row) {
            result << text(row, Col::NameColumn);
        }
        return result;
    }
    void add(const QString& name, const std::function<void(SenMapping&)>& setUp = {})
    {
        m_model.addMapping(mapping(name, setUp));
    }
    /// Commits `typed` through the name column's own editor, as the user's typing would.
    void typeName(int row, const QString& typed)
    {
        auto* delegate = qobject_cast<LineEditDelegate*>(m_table.itemDelegateForColumn(Col::NameColumn));
        ASSERT_NE(delegate, nullptr);
        const QModelIndex index = m_table.model()->index(row, Col::NameColumn);
        std::unique_ptr<QWidget> editor(delegate->createEditor(m_table.viewport(), {}, index));
        auto* lineEdit = qobject_cast<QLineEdit*>(editor.get());
        ASSERT_NE(lineEdit, nullptr);
        delegate->setEditorData(lineEdit, index);
        lineEdit->selectAll();
        if (typed.isEmpty()) {
            QTest::keyClick(lineEdit, Qt::Key_Delete);
        } else {
            QTest::keyClicks(lineEdit, typed);
        }
        delegate->setModelData(lineEdit, m_table.model(), index);
    }

    RecordingBackend m_windows;
    SenMappingModel m_model;
    QTableWidget m_table;
    SenMappingView m_view{&m_table, &m_model, m_windows};
    QSignalSpy m_selections{&m_view, &SenMappingView::mappingSelectionChanged};
    QSignalSpy m_edits{&m_model, &SenMappingModel::modelEdited};
};

TEST_F(MappingTable, FirstMappingShowsItsDefaultsAndIsSelected)
{
    add(QStringLiteral("Rule 1"));

    ASSERT_EQ(m_table.rowCount(), 1);
    EXPECT_EQ(item(0, Col::EnabledColumn)->checkState(), Qt::Checked);
    EXPECT_EQ(iconImage(item(0, Col::EnabledColumn)->icon()),
              iconImage(QIcon(QStringLiteral(":/./Resources/yellow_orb_Icon_small.png"))));
    EXPECT_FALSE(item(0, Col::EnabledColumn)->icon().isNull());
    EXPECT_EQ(combo(0)->currentText(), QStringLiteral("1"));
    EXPECT_EQ(text(0, Col::NameColumn), QStringLiteral("Rule 1"));
    EXPECT_EQ(item(0, Col::NameColumn)->foreground().color(), QColor(Qt::blue));

    const QTableWidgetItem* keys = item(0, Col::KeysColumn);
    EXPECT_EQ(keys->text(), QStringLiteral("<double-click to change>"));
    EXPECT_EQ(keys->foreground().color(), QColor(Qt::black));
    EXPECT_TRUE(keys->font().italic());

    EXPECT_EQ(item(0, Col::BehaviorColumn)->checkState(), Qt::Checked);
    EXPECT_EQ(text(0, Col::BehaviorColumn), QStringLiteral("Send Once"));
    EXPECT_EQ(text(0, Col::TargetColumn), QStringLiteral("<To application in focus>"));

    for (int column = 0; column < Col::ColumnCount; ++column) {
        EXPECT_EQ(item(0, column)->background().color(), kSelected) << column;
        EXPECT_FALSE(item(0, column)->flags() & Qt::ItemIsSelectable) << column;
        EXPECT_EQ(bool(item(0, column)->flags() & Qt::ItemIsEditable), column == Col::NameColumn) << column;
    }
    EXPECT_EQ(m_view.currentRow(), 0);
    ASSERT_FALSE(m_selections.isEmpty());
    EXPECT_EQ(m_selections.last().at(0).toInt(), 0);
}

TEST_F(MappingTable, KeysAndTargetsShowAsTheMappingSays)
{
    constexpr WindowHandle kNotes = 0x4200001;
    constexpr WindowHandle kUntitled = 0x00ABCDEF;
    m_windows.addWindow(kNotes, QStringLiteral("Notes"));
    m_windows.addWindow(kUntitled, QString());

    add(QStringLiteral("keys"), [](SenMapping& m) { m.setKeys(QStringLiteral("abc")); });
    add(QStringLiteral("hot key"), [](SenMapping& m) {
        m.setSendHotKeys(true);
        m.setCtrlKey(true);
        m.setHotKey(Qt::Key_F5);
    });
    add(QStringLiteral("no window"), [](SenMapping& m) { m.setSendToFocus(false); });
    add(QStringLiteral("titled"), [](SenMapping& m) {
        m.setSendToFocus(false);
        m.setWindowHandle(kNotes);
        m.setAppTitle(QStringLiteral("Notes"));
    });
    add(QStringLiteral("untitled"), [](SenMapping& m) {
        m.setSendToFocus(false);
        m.setWindowHandle(kUntitled);
    });
    add(QStringLiteral("gone"), [](SenMapping& m) {
        m.setSendToFocus(false);
        m.setWindowHandle(0x999);
        m.setAppTitle(QStringLiteral("Closed"));
    });

    EXPECT_EQ(text(0, Col::KeysColumn), QStringLiteral("abc"));
    EXPECT_FALSE(item(0, Col::KeysColumn)->font().italic());
    EXPECT_EQ(item(0, Col::KeysColumn)->foreground().color(), QColor(Qt::blue));
    EXPECT_EQ(text(1, Col::KeysColumn), QStringLiteral("Ctrl + F5"));

    EXPECT_EQ(text(2, Col::TargetColumn), QStringLiteral("<no window selected>"));
    EXPECT_EQ(text(3, Col::TargetColumn), QStringLiteral("To \"Notes\""));
    EXPECT_EQ(text(4, Col::TargetColumn), QStringLiteral("To window 0x00ABCDEF"));
    EXPECT_EQ(text(5, Col::TargetColumn), QStringLiteral("<invalid window, please select again>"));
    EXPECT_EQ(item(5, Col::TargetColumn)->foreground().color(), QColor(Qt::red));
    EXPECT_TRUE(item(5, Col::TargetColumn)->font().bold());
    EXPECT_FALSE(item(4, Col::TargetColumn)->font().bold());
}

struct RowCase {
    const char* name;
    std::function<void(SenMappingModel&)> edit;
    QStringList names;
    int selected;
};

TEST_F(MappingTable, RowsFollowTheModel)
{
    const RowCase cases[] = {
        {"three added", [](SenMappingModel&) {}, {"A", "B", "C"}, 2},
        {"middle removed", [](SenMappingModel& m) { m.removeMapping(1); }, {"A", "C"}, 1},
        {"last removed", [](SenMappingModel& m) { m.removeMapping(2); }, {"A", "B"}, 1},
        {"first removed", [](SenMappingModel& m) { m.removeMapping(0); }, {"B", "C"}, 1},
        {"out of range removed", [](SenMappingModel& m) { m.removeMapping(7); }, {"A", "B", "C"}, 2},
        {"swap announced", [](SenMappingModel& m) { emit m.mappingSwapped(0, 2); }, {"A", "B", "C"}, 2},
        {"cleared", [](SenMappingModel& m) { m.clearMappings(); }, {}, -1},
        {"all removed", [](SenMappingModel& m) { m.removeMapping(2), m.removeMapping(1), m.removeMapping(0); }, {}, -1},
    };
    for (const RowCase& c : cases) {
        SCOPED_TRACE(c.name);
        m_model.clear();
        for (const char* name : {"A", "B", "C"}) {
            add(QString::fromLatin1(name));
        }
        m_selections.clear();
        c.edit(m_model);

        EXPECT_EQ(names(), c.names);
        EXPECT_EQ(m_view.currentRow(), c.selected);
        if (!m_selections.isEmpty()) {
            EXPECT_EQ(m_selections.last().at(0).toInt(), c.selected);
        }
        for (int row = 0; row < m_table.rowCount(); ++row) {
            EXPECT_EQ(background(row), row == c.selected ? kSelected : QColor(Qt::white)) << row;
            EXPECT_EQ(combo(row)->tableRow(), row);
        }
    }
}

TEST_F(MappingTable, RemovingRowsKeepsThePlayerBoxesOnTheirMappings)
{
    for (const char* name : {"A", "B", "C"}) {
        add(QString::fromLatin1(name));
    }
    m_model.removeMapping(0);

    combo(1)->setCurrentIndex(1); // the box of C, now in row 1

    EXPECT_EQ(m_model.mapping(0)->playerNum(), 0);
    EXPECT_EQ(m_model.mapping(1)->playerNum(), 1);
}

TEST_F(MappingTable, DisabledMappingShowsAnUncheckedGrayRow)
{
    add(QStringLiteral("off"), [](SenMapping& m) { m.setEnabled(false); });
    EXPECT_EQ(item(0, Col::EnabledColumn)->checkState(), Qt::Unchecked);
    EXPECT_EQ(background(0), QColor(Qt::gray));

    add(QStringLiteral("on"));
    EXPECT_EQ(background(0), QColor(Qt::gray));
    EXPECT_EQ(background(1), kSelected);
}

TEST_F(MappingTable, CellEditsReachTheMapping)
{
    add(QStringLiteral("Rule 1"));
    add(QStringLiteral("Rule 2"));
    m_edits.clear();

    item(0, Col::EnabledColumn)->setCheckState(Qt::Unchecked);
    EXPECT_FALSE(m_model.mapping(0)->enabled());
    EXPECT_EQ(background(0), QColor(Qt::gray));
    item(0, Col::EnabledColumn)->setCheckState(Qt::Checked);
    EXPECT_TRUE(m_model.mapping(0)->enabled());
    EXPECT_EQ(background(0), kSelected);

    item(1, Col::BehaviorColumn)->setCheckState(Qt::Unchecked);
    EXPECT_FALSE(m_model.mapping(1)->sendOnce());

    combo(1)->setCurrentIndex(1);
    EXPECT_EQ(m_model.mapping(1)->playerNum(), 1);

    EXPECT_EQ(m_edits.count(), 4);
    EXPECT_TRUE(m_model.mapping(0)->sendOnce());
    EXPECT_EQ(m_model.mapping(0)->playerNum(), 0);
}

TEST_F(MappingTable, NameEditorKeepsFiftyCharactersAndNeverEmptiesTheName)
{
    add(QStringLiteral("Rule 1"));
    m_selections.clear();
    m_edits.clear();

    typeName(0, QStringLiteral("Jump"));
    EXPECT_EQ(m_model.mapping(0)->name(), QStringLiteral("Jump"));
    EXPECT_EQ(m_edits.count(), 1);
    ASSERT_EQ(m_selections.count(), 1); // the condition table retitles itself
    EXPECT_EQ(m_selections.at(0).at(0).toInt(), 0);

    typeName(0, QString());
    EXPECT_EQ(m_model.mapping(0)->name(), QStringLiteral("Jump"));
    EXPECT_EQ(text(0, Col::NameColumn), QStringLiteral("Jump"));
    EXPECT_EQ(m_edits.count(), 1);

    typeName(0, QString(60, QLatin1Char('x')));
    EXPECT_EQ(m_model.mapping(0)->name(), QString(50, QLatin1Char('x')));
}

TEST_F(MappingTable, PlayerNumberWithoutAnEntryIsShownEmptyAndKept)
{
    add(QStringLiteral("second"), [](SenMapping& m) { m.setPlayerNum(1); });
    add(QStringLiteral("odd"), [](SenMapping& m) { m.setPlayerNum(5); });
    m_edits.clear();
    m_model.mapping(1)->setPlayerNum(5);
    emit m_model.mappingChanged(1);

    EXPECT_EQ(combo(0)->currentText(), QStringLiteral("2"));
    EXPECT_EQ(combo(1)->currentIndex(), -1);
    EXPECT_EQ(m_model.mapping(0)->playerNum(), 1);
    EXPECT_EQ(m_model.mapping(1)->playerNum(), 5);
    EXPECT_EQ(m_edits.count(), 0);
}

TEST_F(MappingTable, SelectionMovesTheMarkAndTellsTheIndex)
{
    for (const char* name : {"A", "B", "C"}) {
        add(QString::fromLatin1(name));
    }
    m_model.mapping(1)->setEnabled(false);
    m_selections.clear();

    m_table.setCurrentCell(1, Col::KeysColumn);
    EXPECT_EQ(background(1), kSelected);
    EXPECT_EQ(background(2), QColor(Qt::white));

    m_table.setCurrentCell(1, Col::NameColumn); // same row: nothing new
    QSignalSpy comboFocus(combo(0), &TableWidgetComboBox::hasFocus);
    QFocusEvent focusIn(QEvent::FocusIn);
    QApplication::sendEvent(combo(0), &focusIn);
    EXPECT_EQ(comboFocus.count(), 1);
    EXPECT_EQ(background(0), kSelected);
    EXPECT_EQ(background(1), QColor(Qt::gray));
    EXPECT_EQ(m_view.currentRow(), 0);

    m_table.setCurrentItem(nullptr);
    EXPECT_EQ(background(0), QColor(Qt::white));

    QList<int> seen;
    for (const QList<QVariant>& args : m_selections) {
        seen << args.at(0).toInt();
    }
    EXPECT_EQ(seen, (QList<int>{1, 0, -1}));
}

TEST_F(MappingTable, ActivityLightFollowsTheEvaluationPass)
{
    add(QStringLiteral("blink"), [](SenMapping& m) { m.addCondition(SenStateCondition(SenAction::Blink)); });
    add(QStringLiteral("idle"));
    const QImage green = iconImage(QIcon(QStringLiteral(":/./Resources/green_orb_Icon_small.png")));
    const QImage yellow = iconImage(QIcon(QStringLiteral(":/./Resources/yellow_orb_Icon_small.png")));
    ASSERT_NE(green, yellow);

    std::unique_ptr<void, void (*)(void*)> closed(nxlStateCreate(), nxlStateFree);
    Velmor::StateLayout::writeFloat(closed.get(), Velmor::StateLayout::kLeftEyeClosure, 1.0F);
    Velmor::StateLayout::writeFloat(closed.get(), Velmor::StateLayout::kRightEyeClosure, 1.0F);
    std::unique_ptr<void, void (*)(void*)> open(nxlStateCreate(), nxlStateFree);

    evaluateMappings(&m_model, 0, closed.get(), std::chrono::steady_clock::now(), nullptr, m_view.activityReport());
    EXPECT_EQ(iconImage(item(0, Col::EnabledColumn)->icon()), green);
    EXPECT_EQ(iconImage(item(1, Col::EnabledColumn)->icon()), yellow);

    evaluateMappings(&m_model, 0, open.get(), std::chrono::steady_clock::now(), nullptr, m_view.activityReport());
    EXPECT_EQ(iconImage(item(0, Col::EnabledColumn)->icon()), yellow);

    m_view.onMappingActivated(5, true); // no such row
    m_view.onMappingActivated(-1, true);
    EXPECT_EQ(m_edits.count(), 2); // the two additions only
}

TEST_F(MappingTable, PickedWindowBecomesTheTarget)
{
    constexpr WindowHandle kUntitled = 0x00000A1F;
    m_windows.addWindow(kUntitled, QString());
    add(QStringLiteral("A"));
    add(QStringLiteral("B"));
    m_table.setCurrentCell(0, Col::NameColumn);
    m_edits.clear();

    ASSERT_TRUE(QMetaObject::invokeMethod(&m_view, "onWindowPickerActive", Q_ARG(uint, kUntitled),
                                          Q_ARG(QString, QString()), Q_ARG(QString, QStringLiteral("Xterm")),
                                          Q_ARG(QRect, QRect(0, 0, 10, 10))));

    const SenMapping* picked = m_model.mapping(0);
    EXPECT_FALSE(picked->sendToFocus());
    EXPECT_EQ(picked->windowHandle(), kUntitled);
    EXPECT_EQ(picked->appTitle(), QString());
    EXPECT_EQ(text(0, Col::TargetColumn), QStringLiteral("To window 0x00000A1F"));
    EXPECT_EQ(m_edits.count(), 1);
    EXPECT_TRUE(m_model.mapping(1)->sendToFocus());
}

TEST_F(MappingTable, VanishedWindowIsMarkedAndReportedOnce)
{
    constexpr WindowHandle kNotes = 0x4200001;
    m_windows.addWindow(kNotes, QStringLiteral("Notes"));
    const auto aimed = [](SenMapping& m) {
        m.setSendToFocus(false);
        m.setWindowHandle(kNotes);
        m.setAppTitle(QStringLiteral("Notes"));
    };
    add(QStringLiteral("A"), aimed);
    add(QStringLiteral("B"), aimed);
    add(QStringLiteral("focus"));
    QSignalSpy reports(&m_view, &SenMappingView::invalidWindowHandleDetected);

    QMetaObject::invokeMethod(&m_view, "checkWindowHandle");
    EXPECT_EQ(reports.count(), 0);
    EXPECT_EQ(text(0, Col::TargetColumn), QStringLiteral("To \"Notes\""));

    m_windows.removeWindow(kNotes);
    QMetaObject::invokeMethod(&m_view, "checkWindowHandle");
    QMetaObject::invokeMethod(&m_view, "checkWindowHandle");

    EXPECT_EQ(reports.count(), 1);
    EXPECT_EQ(m_view.reportedWindows(), QList<WindowHandle>{kNotes});
    for (int row : {0, 1}) {
        EXPECT_EQ(text(row, Col::TargetColumn), QStringLiteral("<invalid window, please select again>"));
        EXPECT_TRUE(item(row, Col::TargetColumn)->font().bold());
    }
    EXPECT_EQ(text(2, Col::TargetColumn), QStringLiteral("<To application in focus>"));
}

// A load hands over all its mappings at once: the rows are built in one pass, the first is selected,
// the model reports one edit, and windows named by their title are looked for.
TEST_F(MappingTable, MappingsTakenAtOnceFromALoadBuildEveryRowAndFindTheirWindows)
{
    constexpr WindowHandle kNotes = 0x4200001;
    m_windows.addWindow(kNotes, QStringLiteral("Notes"));
    add(QStringLiteral("old"));
    SenMappingModel loaded(QStringLiteral("file.skm"));
    const auto aimedAt = [](const QString& title) {
        return [title](SenMapping& m) {
            m.setSendToFocus(false);
            m.setAppTitle(title);
            m.addCondition(SenStateCondition(SenAction::Blink));
        };
    };
    loaded.addMapping(mapping(QStringLiteral("notes"), aimedAt(QStringLiteral("Notes"))));
    loaded.addMapping(mapping(QStringLiteral("off"), [](SenMapping& m) { m.setEnabled(false); }));
    loaded.addMapping(mapping(QStringLiteral("gone"), aimedAt(QStringLiteral("Gone"))));
    QSignalSpy appended(&m_model, &SenMappingModel::mappingsAppended);
    QSignalSpy reports(&m_view, &SenMappingView::invalidWindowHandleDetected);
    m_edits.clear();
    m_selections.clear();

    m_model.takeMappingsFrom(loaded);
    EXPECT_EQ(loaded.mappingCount(), 0);
    EXPECT_EQ(m_model.objectName(), "file.skm");
    EXPECT_EQ(appended.count(), 1);
    EXPECT_EQ(m_edits.count(), 1);
    EXPECT_EQ(names(), (QStringList{"notes", "off", "gone"}));
    EXPECT_EQ(m_view.currentRow(), 0);
    EXPECT_EQ(m_selections.last().at(0).toInt(), 0);
    EXPECT_EQ(background(0), kSelected);
    EXPECT_EQ(background(1), QColor(Qt::gray));
    EXPECT_EQ(item(1, Col::EnabledColumn)->checkState(), Qt::Unchecked);
    EXPECT_NE(combo(2), nullptr);

    EXPECT_EQ(m_model.mapping(0)->windowHandle(), kNotes);
    EXPECT_EQ(text(0, Col::TargetColumn), QStringLiteral("To \"Notes\""));
    EXPECT_EQ(text(2, Col::TargetColumn), QStringLiteral("<window \"Gone\" not found>"));
    EXPECT_TRUE(item(0, Col::NameColumn)->toolTip().startsWith("Fires")) << item(0, Col::NameColumn)->toolTip().toStdString();
    EXPECT_EQ(item(1, Col::NameColumn)->toolTip(), "Does not fire: disabled; no enabled condition");
    EXPECT_EQ(item(2, Col::NameColumn)->toolTip(), "Does not fire: window \"Gone\" not open");
    QMetaObject::invokeMethod(&m_view, "checkWindowHandle");
    EXPECT_EQ(reports.count(), 1) << "a title not found is reported once";

    // A rule without its window never lights up, whatever its conditions say.
    m_view.onMappingActivated(0, true);
    m_view.onMappingActivated(2, true);
    const QImage yellow = iconImage(QIcon(QStringLiteral(":/./Resources/yellow_orb_Icon_small.png")));
    EXPECT_NE(iconImage(item(0, Col::EnabledColumn)->icon()), yellow);
    EXPECT_EQ(iconImage(item(2, Col::EnabledColumn)->icon()), yellow);

    // The window opens later: the next check finds it.
    m_windows.addWindow(0x4200002, QStringLiteral("Gone"));
    QMetaObject::invokeMethod(&m_view, "checkWindowHandle");
    EXPECT_EQ(text(2, Col::TargetColumn), QStringLiteral("To \"Gone\""));
    EXPECT_EQ(m_edits.count(), 1) << "finding a window is no edit";

    // Lights go out when the states stop, for one player or for all.
    m_view.showIdle(1);
    EXPECT_NE(iconImage(item(0, Col::EnabledColumn)->icon()), yellow);
    m_view.showIdle();
    EXPECT_EQ(iconImage(item(0, Col::EnabledColumn)->icon()), yellow);
    m_view.setPlayersWithHeadset({1});
    EXPECT_EQ(item(0, Col::NameColumn)->toolTip(), "Does not fire: no headset for player 1");
}

TEST_F(MappingTable, ClearTableLeavesTheModelAlone)
{
    add(QStringLiteral("A"));
    m_selections.clear();
    m_view.clearTable();

    EXPECT_EQ(m_table.rowCount(), 0);
    EXPECT_EQ(m_view.currentRow(), -1);
    EXPECT_EQ(m_model.mappingCount(), 1);
    ASSERT_EQ(m_selections.count(), 1);
    EXPECT_EQ(m_selections.at(0).at(0).toInt(), -1);
}

TEST_F(MappingTable, KeyDialogChangesTheMappingOnlyWhenApplied)
{
    add(QStringLiteral("A"));
    m_edits.clear();
    const auto typeKeys = [](QDialog& dialog) {
        auto* keys = dialog.findChild<QLineEdit*>(QStringLiteral("keystrokes_lineEdit"));
        ASSERT_NE(keys, nullptr);
        keys->setText(QStringLiteral("w"));
    };

    whenModal([&](QDialog& dialog) {
        typeKeys(dialog);
        dialog.reject();
    });
    emit m_table.itemDoubleClicked(item(0, Col::KeysColumn));
    EXPECT_EQ(m_model.mapping(0)->keys(), QString());
    EXPECT_EQ(text(0, Col::KeysColumn), QStringLiteral("<double-click to change>"));
    EXPECT_EQ(m_edits.count(), 0);

    whenModal([&](QDialog& dialog) {
        typeKeys(dialog);
        dialog.accept();
    });
    emit m_table.itemDoubleClicked(item(0, Col::KeysColumn));
    EXPECT_EQ(m_model.mapping(0)->keys(), QStringLiteral("w"));
    EXPECT_EQ(text(0, Col::KeysColumn), QStringLiteral("w"));
    EXPECT_FALSE(item(0, Col::KeysColumn)->font().italic());
    EXPECT_EQ(m_edits.count(), 1);
}

TEST_F(MappingTable, TargetDialogChangesTheMappingOnlyWhenApplied)
{
    add(QStringLiteral("A"));
    m_edits.clear();
    const auto chooseWindow = [](QDialog& dialog) {
        auto* particular = dialog.findChild<QRadioButton*>(QStringLiteral("selectAppWithTitle"));
        ASSERT_NE(particular, nullptr);
        particular->setChecked(true);
    };
    EXPECT_FALSE(picker(0)->isEnabled());

    whenModal([&](QDialog& dialog) {
        chooseWindow(dialog);
        dialog.reject();
    });
    emit m_table.itemDoubleClicked(item(0, Col::TargetColumn));
    EXPECT_TRUE(m_model.mapping(0)->sendToFocus());
    EXPECT_EQ(m_edits.count(), 0);

    whenModal([&](QDialog& dialog) {
        chooseWindow(dialog);
        dialog.accept();
    });
    emit m_table.itemDoubleClicked(item(0, Col::TargetColumn));
    EXPECT_FALSE(m_model.mapping(0)->sendToFocus());
    EXPECT_EQ(m_model.mapping(0)->windowHandle(), 0U);
    EXPECT_EQ(text(0, Col::TargetColumn), QStringLiteral("<no window selected>"));
    EXPECT_TRUE(picker(0)->isEnabled());
    EXPECT_EQ(m_edits.count(), 1);
}

TEST_F(MappingTable, RowPickerGivesItsWindowToItsOwnRow)
{
    constexpr WindowHandle kNotes = 0x4200001;
    m_windows.addWindow(kNotes, QStringLiteral("Notes"));
    const auto aimed = [](SenMapping& m) { m.setSendToFocus(false); };
    add(QStringLiteral("A"), aimed);
    add(QStringLiteral("B"), aimed);
    m_table.resize(800, 300);
    m_table.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&m_table));

    m_table.setCurrentCell(1, Col::NameColumn); // showing the table may have focused the first row
    ASSERT_EQ(m_view.currentRow(), 1);
    // The press reaches the table beneath the picker, which makes the picker's row current.
    QTest::mousePress(picker(0), Qt::LeftButton);
    EXPECT_EQ(m_view.currentRow(), 0);
    emit picker(0)->foundWindow(kNotes, QStringLiteral("Notes"), QStringLiteral("Editor"), QRect(0, 0, 4, 4));
    QTest::mouseRelease(picker(0), Qt::LeftButton);

    EXPECT_EQ(m_model.mapping(0)->windowHandle(), kNotes);
    EXPECT_EQ(m_model.mapping(0)->appTitle(), QStringLiteral("Notes"));
    EXPECT_EQ(text(0, Col::TargetColumn), QStringLiteral("To \"Notes\""));
    EXPECT_EQ(m_model.mapping(1)->windowHandle(), 0U);
}

TEST_F(MappingTable, FollowsOnlyTheModelItWasLastGiven)
{
    SenMappingModel other;
    m_view.setModel(&other);
    m_view.setModel(nullptr); // ignored

    add(QStringLiteral("old"));
    EXPECT_EQ(m_table.rowCount(), 0);
    other.addMapping(mapping(QStringLiteral("new")));
    EXPECT_EQ(names(), QStringList{QStringLiteral("new")});
}

TEST_F(MappingTable, EditsThatChangeWhatIsHeldReleaseItFirst)
{
    constexpr std::uint16_t kW = 0x11;
    KeyboardEventSimulator simulator(m_windows, m_windows);
    releaseRemovedMappings(m_model, simulator);
    add(QStringLiteral("hold w"), [](SenMapping& m) {
        m.setKeys(QStringLiteral("w"));
        m.setHoldKey(true);
    });
    m_model.mapping(0)->setAlreadySent(true);
    const std::vector<RecordedEvent> releaseW{RecordedEvent::keyUp(kW)};

    // States of player 1 would never release the key that player 0's states pressed.
    combo(0)->setCurrentIndex(1);
    EXPECT_EQ(m_windows.events(), releaseW);
    EXPECT_FALSE(m_model.mapping(0)->alreadySent());

    m_windows.clear();
    whenModal([](QDialog& dialog) { dialog.reject(); });
    emit m_table.itemDoubleClicked(item(0, Col::KeysColumn));
    EXPECT_TRUE(m_windows.events().empty());

    // With other keys the mapping would release x, not the w it may hold.
    whenModal([](QDialog& dialog) {
        dialog.findChild<QLineEdit*>(QStringLiteral("keystrokes_lineEdit"))->setText(QStringLiteral("x"));
        dialog.accept();
    });
    emit m_table.itemDoubleClicked(item(0, Col::KeysColumn));
    EXPECT_EQ(m_windows.events(), releaseW);
    EXPECT_EQ(m_model.mapping(0)->keys(), QStringLiteral("x"));

    m_model.setReleaseHandler({});
}

} // namespace
