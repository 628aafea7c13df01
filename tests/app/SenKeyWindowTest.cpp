#include "SenKey.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QCheckBox>
#include <QTest>
#include <QGroupBox>
#include <QMenu>
#include <QMenuBar>
#include <QSignalSpy>
#include <QStatusBar>
#include <QTableWidget>

#include "DesktopTestSupport.h"
#include "SenActionFactory.h"
#include "SenMapping.h"
#include "SenMappingModel.h"
#include "SenMappingView.h"
#include "SenStateCondition.h"

namespace {

using SenKeyWindow = DesktopTest;

QStringList actionTexts(const QMenu* menu)
{
    QStringList texts;
    for (const QAction* action : menu->actions()) {
        texts << (action->isSeparator() ? QStringLiteral("-") : action->text());
    }
    return texts;
}

TEST_F(SenKeyWindow, StartsWithItsMenusActionsAndOnlyAddRuleEnabled)
{
    SenKey& w = window();
    EXPECT_EQ(w.windowTitle(), "Velmor Orrin SenKey 3.5.0");
    EXPECT_EQ(w.objectName(), "SenKeyClass");
    EXPECT_EQ(w.systemTrayIcon()->toolTip(), "SenKey - Connecting...");
    EXPECT_TRUE(qApp->styleSheet().contains("QWidget#centralWidget"));

    QStringList menus;
    for (const QAction* action : w.menuBar()->actions()) {
        menus << action->text();
    }
    // Every menu and entry has a mnemonic, for users of the keyboard alone.
    EXPECT_EQ(menus, QStringList({"&Application", "&Connect", "&Help"}));
    EXPECT_EQ(actionTexts(child<QMenu>("menuApplication")),
              QStringList({"&New Mapping", "&Load Mapping...", "&Save Mapping", "Save Mapping &As...", "-", "&Quit"}));
    EXPECT_EQ(actionTexts(child<QMenu>("menuConnect")),
              QStringList({"To Orrin &SDK", "To Orrin &Composer", "-", "&Reconnect"}));

    const struct {
        const char* name;
        const char* shortcut;
        const char* statusTip;
        bool hasIcon;
    } actions[] = {
        {"action_newMapping", "Ctrl+N", "Create a new SenKey Mapping", false},
        {"action_loadMapping", "Ctrl+L", "Load an existing SenKey Mapping", true},
        {"action_saveMapping", "Ctrl+S", "Save the current SenKey Mapping", true},
        {"action_saveMappingAs", "Ctrl+Shift+S", "Save the current SenKey Mapping to another location", false},
        {"action_Quit", "Ctrl+Q", "Quit SenKey", false},
        {"action_connectToControlPanel", "Ctrl+Alt+F1", "Switch current connection to Velmor Control Panel", false},
        {"action_connectToSenComposer", "Ctrl+Alt+F2", "Switch current connection to SenComposer", false},
        {"action_reconnectEngine", "Ctrl+Alt+R", "Re-establish the selected connection", true},
        {"action_aboutSenKey", "F1", "About SenKey", true},
    };
    for (const auto& expected : actions) {
        SCOPED_TRACE(expected.name);
        const QAction* action = child<QAction>(expected.name);
        ASSERT_NE(action, nullptr);
        EXPECT_EQ(action->shortcut(), QKeySequence(QString::fromLatin1(expected.shortcut)));
        EXPECT_EQ(action->statusTip(), expected.statusTip);
        EXPECT_EQ(!action->icon().isNull(), expected.hasIcon);
    }
    EXPECT_TRUE(child<QAction>("action_connectToControlPanel")->isChecked());
    EXPECT_FALSE(child<QAction>("action_connectToSenComposer")->isChecked());

    EXPECT_TRUE(child<QGroupBox>("mappingsGroupBox")->isChecked());
    EXPECT_EQ(child<QPushButton>("newMappingButton")->text(), "   Add &Rule   ");
    EXPECT_TRUE(child<QPushButton>("newMappingButton")->isEnabled());
    for (const char* disabled : {"removeMappingButton", "newConditionButton", "removeConditionButton"}) {
        EXPECT_FALSE(child<QPushButton>(disabled)->isEnabled()) << disabled;
    }
    EXPECT_FALSE(child<QGroupBox>("conditionsGroupBox")->isEnabled());
}

TEST_F(SenKeyWindow, ClosingHidesToTrayAndHintsOnlyTheFirstTime)
{
    SenKey& w = window();
    QSignalSpy balloons(&w, &SenKey::trayMessageShown);
    w.show();
    ASSERT_TRUE(w.isVisible());

    EXPECT_FALSE(w.close());
    EXPECT_FALSE(w.isVisible());
    ASSERT_EQ(balloons.size(), 1);
    EXPECT_EQ(balloons.at(0).at(0).toString(), "SenKey is still running!");
    EXPECT_EQ(balloons.at(0).at(1).toString(), "To quit the application, choose \"Quit\" in the menu.");

    w.iconActivated(QSystemTrayIcon::Trigger);
    EXPECT_FALSE(w.isVisible()) << "a single click does not bring the window back";
    w.showMinimized();
    w.hide();
    w.iconActivated(QSystemTrayIcon::DoubleClick);
    EXPECT_TRUE(w.isVisible());
    EXPECT_FALSE(w.windowState() & Qt::WindowMinimized);

    EXPECT_FALSE(w.close());
    EXPECT_FALSE(w.isVisible());
    EXPECT_EQ(balloons.size(), 1);
}

// Where no tray can bring the window back, hiding it would strand the program: closing ends it, after
// the same question as Quit.
TEST_F(SenKeyWindow, WithoutATrayClosingAsksAboutUnsavedChangesAndCloses)
{
    options.systemTray = false;
    SenKey& w = window();
    w.show();
    w.mappingModel()->addMapping(SenMapping(QStringLiteral("unsaved")));

    answerMessageBox(QMessageBox::Cancel);
    EXPECT_FALSE(w.close());
    EXPECT_TRUE(w.isVisible());

    answerMessageBox(QMessageBox::Discard);
    EXPECT_TRUE(w.close());
    EXPECT_FALSE(w.isVisible());
}

/// Runs `action` inside the application's event loop; the loop's exit code, 42 when nothing quit it.
int runInEventLoop(const std::function<void()>& action)
{
    QTimer fallback;
    fallback.setSingleShot(true);
    QObject::connect(&fallback, &QTimer::timeout, qApp, [] { QCoreApplication::exit(42); });
    QTimer::singleShot(0, qApp, [&] {
        action();
        fallback.start(100);
    });
    return QApplication::exec();
}

TEST_F(SenKeyWindow, QuitWithNothingUnsavedEndsAtOnceWithoutTheTrayHint)
{
    SenKey& w = window();
    w.show();
    QSignalSpy balloons(&w, &SenKey::trayMessageShown);
    QSignalSpy quitting(&w, &SenKey::quitRequested);
    EXPECT_EQ(runInEventLoop([&] { w.onQuit(); }), 0);
    EXPECT_EQ(quitting.size(), 1);
    for (const QList<QVariant>& balloon : balloons) {
        EXPECT_NE(balloon.at(0).toString(), "SenKey is still running!") << "no hint on the way out";
    }
    EXPECT_TRUE(w.close()) << "once quitting, the window lets itself be closed";
}

TEST_F(SenKeyWindow, QuitAsksAboutUnsavedChangesAndCancelKeepsRunning)
{
    SenKey& w = window();
    w.mappingModel()->addMapping(SenMapping(QStringLiteral("unsaved")));
    w.hide();
    QString prompt;
    answerMessageBox(QMessageBox::Cancel, &prompt);
    EXPECT_EQ(runInEventLoop([&] { w.onQuit(); }), 42);
    EXPECT_EQ(prompt, "The current Mapping has been modified.\nDo you want to save your changes?");
    EXPECT_TRUE(w.isVisible()) << "the prompt brings the window up";

    answerMessageBox(QMessageBox::Discard);
    EXPECT_EQ(runInEventLoop([&] { child<QAction>("trayQuitAction")->trigger(); }), 0);
}

// Without a tray Quit also closes the window, whose close would ask again; and a termination request
// ends the program with unsaved changes without asking at all.
TEST_F(SenKeyWindow, QuitAsksOnceWithoutATrayAndTerminationNeverAsks)
{
    options.systemTray = false;
    SenKey& w = window();
    w.show();
    w.mappingModel()->addMapping(SenMapping(QStringLiteral("unsaved")));
    int prompts = 0;
    QPointer<QTimer> second;
    answerNextModal([&](QWidget* modal) {
        ++prompts;
        // A second prompt would be answered as well, and counted.
        second = answerNextModal([&](QWidget* again) { ++prompts; again->close(); }, false);
        qobject_cast<QMessageBox*>(modal)->button(QMessageBox::Discard)->click();
    });
    EXPECT_EQ(runInEventLoop([&] { w.onQuit(); }), 0);
    EXPECT_EQ(prompts, 1);
    delete second;
}

TEST_F(SenKeyWindow, TerminationEndsWithUnsavedChangesAndNoPrompt)
{
    options.systemTray = false;
    SenKey& w = window();
    w.show();
    w.mappingModel()->addMapping(SenMapping(QStringLiteral("unsaved")));
    bool prompted = false;
    QPointer<QTimer> answer = answerNextModal([&](QWidget* modal) { prompted = true; modal->close(); }, false);
    EXPECT_EQ(runInEventLoop([&] { w.quitWithoutAsking(); }), 0);
    EXPECT_FALSE(prompted);
    delete answer;
}

// With the window in the tray, the target dialog (opened here from the keyboard) is the last window when
// it closes; the program must go on, with its window back.
TEST_F(SenKeyWindow, ClosingTheTargetDialogWithHideCheckedKeepsTheProgramRunning)
{
    SenKey& w = window();
    w.show();
    w.mappingModel()->addMapping(SenMapping(QStringLiteral("one")));
    auto* table = child<QTableWidget>("mappingsTableWidget");
    table->setCurrentCell(0, SenMappingView::TargetColumn);
    bool answered = false;
    answerNextModal([&](QWidget* modal) {
        answered = true;
        auto* hide = modal->findChild<QCheckBox*>(QStringLiteral("hideSenKeyCheckBox"));
        ASSERT_NE(hide, nullptr) << "not the target dialog";
        hide->setChecked(true);
        EXPECT_FALSE(w.isVisible()) << "Hide SenKey hides the main window";
        modal->findChild<QPushButton*>(QStringLiteral("cancelButton"))->click();
    });
    EXPECT_EQ(runInEventLoop([&] { QTest::keyClick(table, Qt::Key_Return); }), 42) << "the program went on";
    EXPECT_TRUE(answered);
    EXPECT_TRUE(w.isVisible());
}

TEST_F(SenKeyWindow, TrayEnableKeystrokesAndTheGroupBoxStayInStep)
{
    SenKey& w = window();
    auto* trayAction = child<QAction>("trayEnableKeystrokesAction");
    auto* mappings = child<QGroupBox>("mappingsGroupBox");
    auto* conditions = child<QGroupBox>("conditionsGroupBox");
    ASSERT_NE(trayAction, nullptr);
    EXPECT_TRUE(trayAction->isCheckable() && trayAction->isChecked());

    w.mappingModel()->addMapping(SenMapping(QStringLiteral("one")));
    child<QTableWidget>("mappingsTableWidget")->setCurrentCell(0, SenMappingView::NameColumn);
    ASSERT_TRUE(conditions->isEnabled());

    trayAction->trigger();
    EXPECT_FALSE(mappings->isChecked());
    EXPECT_FALSE(conditions->isEnabled());

    mappings->setChecked(true);
    emit mappings->clicked(true);
    EXPECT_TRUE(trayAction->isChecked());
    EXPECT_TRUE(conditions->isEnabled());

    mappings->setChecked(false);
    emit mappings->clicked(false);
    EXPECT_FALSE(trayAction->isChecked());
    EXPECT_FALSE(conditions->isEnabled());
}

TEST_F(SenKeyWindow, AboutTextFollowsTheHeadsetType)
{
    const QString orva = SenKey::aboutText(QStringLiteral("ORVA"));
    EXPECT_TRUE(orva.contains("Velmor Orrin SenKey&#8482;"));
    EXPECT_TRUE(orva.contains("<b>Version 3.5.0. Build f7708ef</b>"));
    EXPECT_FALSE(orva.contains("Release version"));
    const QString tessara = SenKey::aboutText(QStringLiteral("TESSARA"));
    EXPECT_TRUE(tessara.contains("<b>Release version 3.5.0</b>"));
    EXPECT_FALSE(tessara.contains("&#8482;"));
    EXPECT_FALSE(tessara.contains("Build"));

    SenKey& w = window();
    EXPECT_EQ(w.currentHeadsetType(), "ORVA");
    w.getModeApp(QStringLiteral("something else"));
    EXPECT_EQ(w.currentHeadsetType(), "TESSARA");
    EXPECT_EQ(SenActionFactory::headsetType(), "TESSARA");
    EXPECT_EQ(child<QAction>("action_connectToControlPanel")->text(), " To ControlPanel ");
    EXPECT_EQ(child<QAction>("action_connectToSenComposer")->text(), " To Orrin Composer ");

    QString title;
    QString text;
    bool hasPixmap = false;
    answerNextModal([&](QWidget* modal) {
        auto* box = qobject_cast<QMessageBox*>(modal);
        ASSERT_NE(box, nullptr);
        title = box->windowTitle();
        text = box->text();
        hasPixmap = !box->iconPixmap().isNull();
        box->accept();
    });
    child<QAction>("action_aboutSenKey")->trigger();
    EXPECT_EQ(title, "About Velmor Orrin SenKey");
    EXPECT_TRUE(text.contains("Release version 3.5.0"));
    EXPECT_TRUE(hasPixmap);

    w.getModeApp(QStringLiteral("ORVA"));
    EXPECT_EQ(SenActionFactory::headsetType(), "ORVA");
}

TEST_F(SenKeyWindow, AddRuleKeepsCountingAcrossNewMapping)
{
    SenKey& w = window();
    auto* addRule = child<QPushButton>("newMappingButton");
    for (int i = 0; i < 3; ++i) {
        addRule->click();
    }
    SenMappingModel* model = w.mappingModel();
    ASSERT_EQ(model->mappingCount(), 3);
    const int first = model->mapping(0)->name().mid(5).toInt();
    EXPECT_GE(first, 1);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(model->mapping(i)->name(), QStringLiteral("Rule %1").arg(first + i));
    }

    answerMessageBox(QMessageBox::Discard);
    child<QAction>("action_newMapping")->trigger();
    EXPECT_EQ(model->mappingCount(), 0);
    addRule->click();
    EXPECT_EQ(model->mapping(0)->name(), QStringLiteral("Rule %1").arg(first + 3));
}

TEST_F(SenKeyWindow, ButtonsFollowTheSelection)
{
    SenKey& w = window();
    auto* removeRule = child<QPushButton>("removeMappingButton");
    auto* addCondition = child<QPushButton>("newConditionButton");
    auto* removeCondition = child<QPushButton>("removeConditionButton");
    auto* conditionsBox = child<QGroupBox>("conditionsGroupBox");
    auto* rules = child<QTableWidget>("mappingsTableWidget");
    auto* conditions = child<QTableWidget>("conditionsTableWidget");

    child<QPushButton>("newMappingButton")->click();
    child<QPushButton>("newMappingButton")->click();
    rules->setCurrentCell(1, SenMappingView::NameColumn);
    EXPECT_TRUE(removeRule->isEnabled());
    EXPECT_TRUE(addCondition->isEnabled());
    EXPECT_TRUE(conditionsBox->isEnabled());
    EXPECT_FALSE(removeCondition->isEnabled()) << "a rule without conditions has none to delete";

    addCondition->click();
    const SenMapping* mapping = w.mappingModel()->mapping(1);
    ASSERT_EQ(mapping->conditionCount(), 1);
    EXPECT_EQ(w.mappingModel()->mapping(0)->conditionCount(), 0);
    const SenStateCondition* condition = mapping->condition(0);
    EXPECT_TRUE(condition->enabled());
    EXPECT_EQ(condition->action()->actionType(), SenAction::Blink);
    EXPECT_EQ(condition->action()->triggerType(), SenAction::Binary);

    conditions->setCurrentCell(0, 1);
    EXPECT_TRUE(removeCondition->isEnabled());
    removeCondition->click();
    EXPECT_EQ(mapping->conditionCount(), 0);
    EXPECT_FALSE(removeCondition->isEnabled());

    removeRule->click();
    EXPECT_EQ(w.mappingModel()->mappingCount(), 1);
    w.onMappingSelectionChanged(-1);
    EXPECT_FALSE(removeRule->isEnabled());
    EXPECT_FALSE(addCondition->isEnabled());
    EXPECT_FALSE(conditionsBox->isEnabled());
}

TEST_F(SenKeyWindow, VanishedTargetWindowIsAnnouncedInTheTray)
{
    SenKey& w = window();
    QSignalSpy balloons(&w, &SenKey::trayMessageShown);
    w.onInvalidWindowHandleDetected();
    ASSERT_EQ(balloons.size(), 1);
    EXPECT_EQ(balloons.at(0).at(0).toString(), "Invalid target application");
    EXPECT_TRUE(balloons.at(0).at(1).toString().startsWith("SenKey has detected that one of the target applications"));

    w.showStatusMessage(QStringLiteral("hello"));
    EXPECT_EQ(w.statusBar()->currentMessage(), "hello");
}

TEST_F(SenKeyWindow, ABackendThatCannotBeUsedIsNamedInTheStatusBar)
{
    options.platform.kind = BackendKind::Uinput;
    options.platform.uinputPath = home.filePath(QStringLiteral("no-such-uinput"));
    SenKey& w = window();
    EXPECT_EQ(w.platform().injectorKind, BackendKind::Recording);
    EXPECT_TRUE(w.statusBar()->currentMessage().startsWith("No input can be sent: "))
        << w.statusBar()->currentMessage().toStdString();
}

} // namespace
