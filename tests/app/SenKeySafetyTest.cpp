// The window follows the core's pause, however it comes (a pause rule, --toggle-pause), and hands the
// stale time to the core.

#include "SenKey.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QGroupBox>
#include <QLabel>
#include <QSpinBox>

#include "DesktopTestSupport.h"
#include "SenKeyCore.h"

namespace {

using SenKeySafety = DesktopTest;

TEST_F(SenKeySafety, PauseFromTheCoreShowsInTheWindowAndTheTray)
{
    SenKey& w = window();
    auto* box = child<QGroupBox>("mappingsGroupBox");
    auto* label = child<QLabel>("pausedLabel");
    auto* trayAction = child<QAction>("trayEnableKeystrokesAction");
    ASSERT_TRUE(box && label && trayAction);
    EXPECT_TRUE(label->isHidden());
    const QString toolTip = w.systemTrayIcon()->toolTip();

    w.senKeyCore()->togglePause();
    EXPECT_FALSE(box->isChecked());
    EXPECT_FALSE(trayAction->isChecked());
    EXPECT_FALSE(label->isHidden());
    EXPECT_EQ(w.systemTrayIcon()->toolTip(), toolTip + " - Keystrokes paused");
    EXPECT_FALSE(w.senKeyCore()->keystrokesEnabled());

    w.senKeyCore()->togglePause();
    EXPECT_TRUE(box->isChecked());
    EXPECT_TRUE(trayAction->isChecked());
    EXPECT_TRUE(label->isHidden());
    EXPECT_EQ(w.systemTrayIcon()->toolTip(), toolTip);

    // The box pauses the core as before.
    box->setChecked(false);
    EXPECT_FALSE(w.senKeyCore()->keystrokesEnabled());
    EXPECT_FALSE(label->isHidden());
}

TEST_F(SenKeySafety, StaleTimeFieldSetsTheCore)
{
    SenKey& w = window();
    auto* field = child<QSpinBox>("staleTimeSpinBox");
    ASSERT_NE(field, nullptr);
    EXPECT_EQ(field->value(), 500);
    field->setValue(1200);
    EXPECT_EQ(w.senKeyCore()->staleTime(), 1200U);
    field->setValue(0);
    EXPECT_EQ(field->text(), "never");
    EXPECT_EQ(w.senKeyCore()->staleTime(), 0U);
}

} // namespace
