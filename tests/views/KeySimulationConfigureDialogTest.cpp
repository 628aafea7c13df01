#include "KeySimulationConfigureDialog.h"

#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include "QtApplicationEnvironment.h"

#include <memory>
#include <tuple>

namespace {

const auto* const kEnvironment = TestSupport::addApplicationEnvironment<QApplication>();

/// The thirteen key fields of a mapping, in the dialog's order.
struct KeyFields {
    bool sendHotKeys = false;
    QString keys;
    bool ctrlKey = false, altKey = false, shiftKey = false, winKey = false, enterKey = false;
    int hotKey = 0;
    bool holdKey = false;
    int holdTime = 0, triggerDelayTime = 0;
    bool mouseclickset = false;
    int mousebutnum = 0;

    bool operator==(const KeyFields&) const = default;
};

std::ostream& operator<<(std::ostream& out, const KeyFields& f)
{
    return out << "{hot " << f.sendHotKeys << " keys '" << f.keys.toStdString() << "' mods " << f.ctrlKey << f.altKey
               << f.shiftKey << f.winKey << " enter " << f.enterKey << " hotKey " << f.hotKey << " hold " << f.holdKey
               << " times " << f.holdTime << "/" << f.triggerDelayTime << " mouse " << f.mouseclickset << " button "
               << f.mousebutnum << "}";
}

void load(KeySimulationConfigureDialog& dialog, const KeyFields& f)
{
    dialog.setKeySimulation(f.sendHotKeys, f.keys, f.ctrlKey, f.altKey, f.shiftKey, f.winKey, f.enterKey, f.hotKey,
                            f.holdKey, f.holdTime, f.triggerDelayTime, f.mouseclickset, f.mousebutnum);
}

/// Reads back over `before`, as the mapping table does with the mapping's current values.
KeyFields read(const KeySimulationConfigureDialog& dialog, KeyFields before)
{
    KeyFields& f = before;
    dialog.getKeySimulation(f.sendHotKeys, f.keys, f.ctrlKey, f.altKey, f.shiftKey, f.winKey, f.enterKey, f.hotKey,
                            f.holdKey, f.holdTime, f.triggerDelayTime, f.mouseclickset, f.mousebutnum);
    return f;
}

template <typename T> T* child(const QWidget& dialog, const char* name)
{
    T* widget = dialog.findChild<T*>(QString::fromLatin1(name));
    EXPECT_NE(widget, nullptr) << name;
    return widget;
}

TEST(KeySimulationConfigureDialog, FormHasItsNamesTextsAndSize)
{
    KeySimulationConfigureDialog dialog;
    EXPECT_EQ(dialog.objectName(), "KeySimulationConfigureDialogClass");
    EXPECT_EQ(dialog.windowTitle(), "Configure key / mouse emulation");
    EXPECT_EQ(dialog.size(), QSize(574, 295));
    const std::pair<const char*, const char*> texts[] = {
        {"sendKeystrokes", "Send specific &keystroke(s)"},
        {"sendHotkeys", "Send &hot keys"},
        {"sendmouseclick", "Send &mouse click"},
        {"holdKey_checkBox", "H&old the key"},
        {"enter_checkBox", "Add &ENTER"},
        {"ctrl_checkBox", "Ctrl +"},
        {"win_checkBox", "Win +"},
        {"holdLeftMouseButton", "Left hold button"},
        {"okButton", "&Apply"},
        {"cancelButton", "&Cancel"},
    };
    for (const auto& [name, text] : texts) {
        EXPECT_EQ(child<QAbstractButton>(dialog, name)->text(), QString::fromLatin1(text)) << name;
    }
    EXPECT_EQ(child<QLineEdit>(dialog, "keystrokes_lineEdit")->maxLength(), 50);
    EXPECT_EQ(child<QSpinBox>(dialog, "holdTime_spinBox")->suffix(), " ms");
}

TEST(KeySimulationConfigureDialog, TimingIsLoadedAndReadBack)
{
    KeySimulationConfigureDialog dialog;
    const std::pair<const char*, const char*> labels[] = {
        {"dwell_label", "&Dwell (ms):"}, {"cooldown_label", "C&ooldown (ms):"}, {"rearm_label", "&Re-arm after (ms):"}};
    for (const auto& [name, text] : labels) {
        EXPECT_EQ(child<QLabel>(dialog, name)->text(), QString::fromLatin1(text));
    }
    uint dwell = 1;
    uint cooldown = 1;
    uint rearm = 1;
    dialog.getTiming(dwell, cooldown, rearm);
    EXPECT_EQ(std::tuple(dwell, cooldown, rearm), std::tuple(0U, 0U, 0U)) << "a new dialog keeps today's behaviour";
    dialog.setTiming(300, 4000000000U, 200);
    dialog.getTiming(dwell, cooldown, rearm);
    EXPECT_EQ(std::tuple(dwell, cooldown, rearm), std::tuple(300U, 600000U, 200U));
    child<QSpinBox>(dialog, "cooldown_spinBox")->setValue(1000);
    dialog.getTiming(dwell, cooldown, rearm);
    EXPECT_EQ(cooldown, 1000U);
}

TEST(KeySimulationConfigureDialog, AcceptingUnchangedGivesWhatEachModeStores)
{
    const int f5 = Qt::Key_F5;
    struct Case {
        const char* name;
        KeyFields loaded;
        KeyFields stored;
    } cases[] = {
        {"keystrokes keep their hold and times",
         {false, "a", false, false, false, false, false, 0, true, 100, 250, false, 0},
         {false, "a", false, false, false, false, false, 0, true, 100, 250, false, 0}},
        {"Enter alone may be held",
         {false, "", false, false, false, false, true, 0, true, 0, 0, false, 0},
         {false, "", false, false, false, false, true, 0, true, 0, 0, false, 0}},
        {"a longer string is never held",
         {false, "ab", false, false, false, false, false, 0, true, 0, 0, false, 0},
         {false, "ab", false, false, false, false, false, 0, false, 0, 0, false, 0}},
        {"keystroke mode clears stale modifiers and hot key",
         {false, "x", true, true, false, false, false, f5, false, 0, 0, false, 0},
         {false, "x", false, false, false, false, false, 0, false, 0, 0, false, 0}},
        {"hot keys clear the string and the hold, keep Enter",
         {true, "zz", true, false, true, false, true, f5, true, 5, 6, false, 0},
         {true, "", true, false, true, false, true, f5, false, 5, 6, false, 0}},
        {"held left button",
         {false, "", false, false, false, false, true, 0, true, 0, 0, true, 4},
         {false, "Hold Left Mouse", false, false, false, false, true, 0, true, 0, 0, true, 4}},
        {"right click",
         {false, "", false, false, false, false, false, 0, false, 0, 0, true, 2},
         {false, "Mouse Right Click", false, false, false, false, false, 0, false, 0, 0, true, 2}},
        {"unknown button keeps number and string",
         {false, "old", false, false, false, false, false, 0, false, 0, 0, true, 7},
         {false, "old", false, false, false, false, false, 0, false, 0, 0, true, 7}},
        {"a string longer than the field takes comes back whole",
         {false, QString(80, 'x'), false, false, false, false, false, 0, false, 0, 0, false, 0},
         {false, QString(80, 'x'), false, false, false, false, false, 0, false, 0, 0, false, 0}},
        {"times outside 0..1000 are clamped",
         {false, "q", false, false, false, false, false, 0, false, 2500, -3, false, 0},
         {false, "q", false, false, false, false, false, 0, false, 1000, 0, false, 0}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        KeySimulationConfigureDialog dialog;
        load(dialog, c.loaded);
        EXPECT_EQ(read(dialog, c.loaded), c.stored);
    }
}

TEST(KeySimulationConfigureDialog, HoldIsOfferedOnlyForOneKey)
{
    KeySimulationConfigureDialog dialog;
    load(dialog, {false, "a", false, false, false, false, false, 0, true, 0, 0, false, 0});
    auto* keys = child<QLineEdit>(dialog, "keystrokes_lineEdit");
    auto* hold = child<QCheckBox>(dialog, "holdKey_checkBox");
    auto* enter = child<QCheckBox>(dialog, "enter_checkBox");
    EXPECT_TRUE(hold->isEnabled() && hold->isChecked());

    QTest::keyClick(keys, Qt::Key_End);
    QTest::keyClicks(keys, "b");
    EXPECT_FALSE(hold->isEnabled() || hold->isChecked());
    QTest::keyClick(keys, Qt::Key_Backspace);
    EXPECT_TRUE(hold->isEnabled());
    EXPECT_FALSE(hold->isChecked());

    // With Enter added, only the empty string is one key.
    QTest::keyClick(keys, Qt::Key_Backspace);
    QTest::mouseClick(enter, Qt::LeftButton, {}, enter->rect().center());
    ASSERT_TRUE(enter->isChecked());
    EXPECT_TRUE(hold->isEnabled());
    QTest::keyClicks(keys, "c");
    EXPECT_FALSE(hold->isEnabled());
    QTest::mouseClick(enter, Qt::LeftButton, {}, enter->rect().center());
    EXPECT_TRUE(hold->isEnabled());
}

TEST(KeySimulationConfigureDialog, HotKeyFieldCapturesThePressedKey)
{
    KeySimulationConfigureDialog dialog;
    const KeyFields loaded{true, "", false, false, false, false, false, Qt::Key_A, false, 0, 0, false, 0};
    load(dialog, loaded);
    auto* field = child<QLineEdit>(dialog, "hotKey_lineEdit");
    EXPECT_EQ(field->text(), "A");
    dialog.show();

    const struct {
        Qt::Key key;
        const char* shown;
        int stored;
    } presses[] = {
        {Qt::Key_F5, "F5", Qt::Key_F5},
        {Qt::Key_Shift, "[Unknown]", 0},
        {Qt::Key_Escape, "Esc", Qt::Key_Escape},
        {Qt::Key_Z, "Z", Qt::Key_Z},
    };
    for (const auto& p : presses) {
        SCOPED_TRACE(p.shown);
        QTest::keyClick(field, p.key);
        // The press is consumed: nothing is typed, and Escape does not close the dialog.
        EXPECT_EQ(field->text(), QString::fromLatin1(p.shown));
        EXPECT_EQ(read(dialog, loaded).hotKey, p.stored);
    }
    EXPECT_TRUE(dialog.isVisible());
}

TEST(KeySimulationConfigureDialog, SwitchingToAClickLeavesHoldAndEnterAlone)
{
    KeySimulationConfigureDialog dialog;
    const KeyFields loaded{false, "k", false, false, false, false, true, 0, true, 10, 20, false, 0};
    load(dialog, loaded);
    auto* left = child<QRadioButton>(dialog, "leftMouseButton");
    EXPECT_FALSE(left->isEnabled());

    child<QRadioButton>(dialog, "sendmouseclick")->click();
    EXPECT_TRUE(left->isEnabled());
    child<QRadioButton>(dialog, "doubleMouseButton")->click();
    KeyFields expected = loaded;
    expected.mouseclickset = true;
    expected.mousebutnum = 3;
    expected.keys = "Mouse Double Click";
    EXPECT_EQ(read(dialog, loaded), expected);

    child<QRadioButton>(dialog, "sendHotkeys")->click();
    EXPECT_FALSE(left->isEnabled());
}

TEST(KeySimulationConfigureDialog, ApplyAcceptsAndCancelRejects)
{
    for (const auto& [button, result] :
         {std::pair{"okButton", QDialog::Accepted}, {"cancelButton", QDialog::Rejected}}) {
        KeySimulationConfigureDialog dialog;
        auto* push = child<QPushButton>(dialog, button);
        QTimer::singleShot(0, push, &QPushButton::click);
        EXPECT_EQ(dialog.exec(), result) << button;
    }
}

} // namespace
