// The focused application of a real X server, with a window manager that keeps _NET_ACTIVE_WINDOW
// (openbox) and without one, while xdotool moves the focus between two Tk windows.
#include <gtest/gtest.h>

#include <QCoreApplication>

#include "QtApplicationEnvironment.h"
#include "X11FocusTracker.h"

// Last: it includes Xlib, whose macros (Bool, Status) clash with names in the headers above.
#include "PrivateDesktop.h"

namespace {

const auto* const kEnvironment = TestSupport::addApplicationEnvironment<QCoreApplication>();

class FocusOnX11 : public ::testing::TestWithParam<bool>
{
};

TEST_P(FocusOnX11, FollowsTheFocusedApplicationAndReportsEachMove)
{
    const bool withWindowManager = GetParam();
    TestSupport::PrivateDesktop desktop(withWindowManager);
    if (!desktop.ok() || desktop.hasWindowManager() != withWindowManager) {
        GTEST_SKIP() << "no private X server" << (withWindowManager ? " with openbox" : "");
    }
    auto* first = desktop.openWindow(QStringLiteral("first"), QStringLiteral("Alpha"), QStringLiteral("One"));
    auto* second = desktop.openWindow(QStringLiteral("second"), QStringLiteral("Beta"), QStringLiteral("Two"));
    ASSERT_TRUE(first && second) << "wish did not open its windows";

    X11FocusTracker tracker(desktop.displayName());
    ASSERT_TRUE(tracker.isAvailable());
    // The window manager may still be giving the focus to the window mapped last.
    ASSERT_TRUE(desktop.focus(*second));
    EXPECT_TRUE(TestSupport::waitUntil([&] {
        QCoreApplication::processEvents();
        return tracker.focusedApplication() == FocusedApplication(WindowApplication{"second", "Beta"});
    }));
    int changes = 0;
    tracker.setChangeHandler([&changes] { ++changes; });

    const struct {
        TestSupport::PrivateDesktop::KeyWindow* window;
        WindowApplication application;
    } moves[] = {
        {first, {QStringLiteral("first"), QStringLiteral("Alpha")}},
        {second, {QStringLiteral("second"), QStringLiteral("Beta")}},
        {first, {QStringLiteral("first"), QStringLiteral("Alpha")}},
    };
    for (const auto& move : moves) {
        SCOPED_TRACE(move.application.instance.toStdString());
        const int before = changes;
        ASSERT_TRUE(desktop.focus(*move.window));
        // The report comes from the event loop alone, without anyone asking for the focus.
        EXPECT_TRUE(TestSupport::waitUntil([&] {
            QCoreApplication::processEvents();
            return changes > before;
        }));
        EXPECT_EQ(tracker.focusedApplication(), FocusedApplication(move.application));
        EXPECT_EQ(tracker.followsActiveWindow(), withWindowManager);
    }
}

// Not ::testing::Bool(): Xlib defines Bool as a macro.
INSTANTIATE_TEST_SUITE_P(WindowManager, FocusOnX11, ::testing::Values(false, true),
                         [](const ::testing::TestParamInfo<bool>& param) { return param.param ? "Openbox" : "None"; });

TEST(FocusTracker, WithoutADisplayTheFocusIsUnknown)
{
    X11FocusTracker tracker(":9999");
    EXPECT_FALSE(tracker.isAvailable());
    EXPECT_EQ(tracker.focusedApplication(), std::nullopt);
}

} // namespace
