#include "SenKey.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QSignalSpy>

#include <algorithm>

#include "DesktopTestSupport.h"
#include "RecordingBackend.h"
#include "SenActionFactory.h"
#include "SenMapping.h"
#include "SenMappingModel.h"
#include "SenStateCondition.h"
#include "TestEngine.h"

namespace {

constexpr std::uint16_t kScanCodeW = 0x11;

/// A balloon as "title / message".
using Balloon = std::string;

Balloon balloon(const QString& title, const QString& message)
{
    return (title + QStringLiteral(" / ") + message).toStdString();
}

class SenKeyConnection : public DesktopTest
{
protected:
    void aimAt(const Engine& controlPanel) { options.controlPanel.port = controlPanel.port(); }

    /// Every balloon of the window from now on, in order.
    void watchBalloons()
    {
        QObject::connect(&window(), &SenKey::trayMessageShown, [this](const QString& title, const QString& message) {
            balloons.push_back(balloon(title, message));
        });
    }

    bool waitForBalloons(std::size_t count)
    {
        return waitUntil([&] { return balloons.size() >= count; });
    }

    /// Lets the event loops run a while so that anything still on its way arrives.
    static void settle(int ms = 300)
    {
        waitUntil([] { return false; }, ms);
    }

    std::vector<Balloon> balloons;
};

const Balloon kControlPanelLost = balloon("SenKey", "Velmor Control Panel has been disconnected!");
const Balloon kControlPanelWarning =
    balloon("SenKey cannot connect to Velmor Control Panel",
            "Please make sure that Velmor Control Panel is running, and select Reconnect from "
            "SenKey's Connect menu to try again.");

TEST_F(SenKeyConnection, WithoutAnEngineTheTrayWarnsOnceAndNothingRetries)
{
    watchBalloons();
    ASSERT_TRUE(waitForBalloons(2));
    settle();
    EXPECT_EQ(balloons, (std::vector<Balloon>{kControlPanelLost, kControlPanelWarning}));
    EXPECT_EQ(window().systemTrayIcon()->toolTip(), "SenKey - Disconnected");

    // Reconnect tries once more and may warn again; a failure on its own does not.
    child<QAction>("action_reconnectEngine")->trigger();
    settle();
    EXPECT_EQ(balloons,
              (std::vector<Balloon>{kControlPanelLost, kControlPanelWarning, kControlPanelLost, kControlPanelWarning}));
}

TEST_F(SenKeyConnection, SwitchingTargetsNamesTheCheckedOneAndReconnectWhileConnectedDoesNothing)
{
    Engine controlPanel("");
    Engine composer("");
    aimAt(controlPanel);
    options.senComposer.port = composer.port();
    watchBalloons();
    ASSERT_TRUE(waitForBalloons(1));
    EXPECT_EQ(balloons.back(), balloon("SenKey", "Velmor Control Panel has been connected!"));
    EXPECT_EQ(window().systemTrayIcon()->toolTip(), "SenKey - Connected");

    child<QAction>("action_reconnectEngine")->trigger();
    settle();
    EXPECT_EQ(balloons.size(), 1U);

    auto* composerAction = child<QAction>("action_connectToSenComposer");
    composerAction->trigger();
    EXPECT_TRUE(composerAction->isChecked());
    EXPECT_FALSE(child<QAction>("action_connectToControlPanel")->isChecked());
    ASSERT_TRUE(waitForBalloons(3));
    EXPECT_EQ(balloons[1], balloon("SenKey", "SenComposer has been disconnected!"));
    EXPECT_EQ(balloons[2], balloon("SenKey", "SenComposer has been connected!"));
    EXPECT_TRUE(waitUntil([&] { return composer.sessionsServed() == 1; }));
}

TEST_F(SenKeyConnection, AnEngineErrorDisconnectsAndWarnsOnce)
{
    Engine engine("wait 100\nerror broken\n");
    aimAt(engine);
    watchBalloons();
    ASSERT_TRUE(waitForBalloons(4));
    settle();
    // The loss is announced twice, as the disconnect and as the failure, and the warning replaces it.
    EXPECT_EQ(balloons, (std::vector<Balloon>{balloon("SenKey", "Velmor Control Panel has been connected!"),
                                              kControlPanelLost, kControlPanelLost, kControlPanelWarning}));
    EXPECT_EQ(window().systemTrayIcon()->toolTip(), "SenKey - Disconnected");
}

/// A rule for player `player` that holds W while Push is above 0.5.
SenMapping heldW(int player)
{
    SenMapping mapping(QStringLiteral("held w"));
    mapping.setKeys(QStringLiteral("w"));
    mapping.setHoldKey(true);
    mapping.setPlayerNum(player);
    SenStateCondition push(SenAction::Push);
    push.setThreshold(0.5);
    push.setActionRule(SenActionRule::GreaterThan);
    mapping.addCondition(push);
    return mapping;
}

std::size_t count(const std::vector<RecordedEvent>& events, const RecordedEvent& wanted)
{
    return static_cast<std::size_t>(
        std::count_if(events.begin(), events.end(), [&](const RecordedEvent& e) { return e.sameAs(wanted); }));
}

// States reach the rules with the user's low 12 bits, and only while "Enable Keystrokes" is checked;
// unchecking it lets go of what is held.
TEST_F(SenKeyConnection, StatesDriveTheRulesOnlyWhileKeystrokesAreEnabled)
{
    EmulatorOptions engineOptions;
    engineOptions.headsetVersion = 0x0170;
    Engine engine("user add 0x1001\n"
                  "waitrequest 7 5000\n"
                  "stream 0x1001 50 20 mentrix=push mentrixPower=0.8\n",
                  engineOptions);
    aimAt(engine);
    SenKey& w = window();
    w.mappingModel()->addMapping(heldW(1));
    RecordingBackend& recording = *w.platform().recording;

    ASSERT_TRUE(waitUntil([&] { return count(recording.events(), RecordedEvent::keyDown(kScanCodeW)) > 0; }));
    EXPECT_EQ(w.currentHeadsetType(), "TESSARA");
    EXPECT_EQ(SenActionFactory::headsetType(), "TESSARA");
    EXPECT_EQ(count(recording.events(), RecordedEvent::keyUp(kScanCodeW)), 0U);

    child<QAction>("trayEnableKeystrokesAction")->trigger();
    EXPECT_EQ(count(recording.events(), RecordedEvent::keyUp(kScanCodeW)), 1U) << "unchecking lets go at once";
    recording.clear();
    settle();
    EXPECT_EQ(count(recording.events(), RecordedEvent::keyDown(kScanCodeW)), 0U);

    // The push still holds: enabling again presses W again.
    child<QAction>("trayEnableKeystrokesAction")->trigger();
    EXPECT_TRUE(waitUntil([&] { return count(recording.events(), RecordedEvent::keyDown(kScanCodeW)) > 0; }));
    SenActionFactory::setHeadsetType(QStringLiteral("ORVA"));
}

// Whatever a rule holds is let go when its state stops coming: the engine goes away, or the headset
// does, and no state will come to release it.
TEST_F(SenKeyConnection, LosingTheEngineOrTheHeadsetLetsGoOfHeldKeys)
{
    struct Case {
        const char* what;
        const char* ending;
        const char* toolTip;
    };
    const Case cases[] = {
        {"the engine closes", "close\n", "SenKey - Disconnected"},
        {"the headset goes away", "wait 300\nuser remove 0\n", "SenKey - Connected"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Engine engine(std::string("user add 0\n"
                                  "waitrequest 7 5000\n"
                                  "stream 0 50 1 mentrix=push mentrixPower=0.8\n") +
                      c.ending);
        aimAt(engine);
        SenKey& w = window();
        w.mappingModel()->addMapping(heldW(0));
        RecordingBackend& recording = *w.platform().recording;
        ASSERT_TRUE(waitUntil([&] { return count(recording.events(), RecordedEvent::keyDown(kScanCodeW)) > 0; }));
        EXPECT_TRUE(waitUntil([&] { return count(recording.events(), RecordedEvent::keyUp(kScanCodeW)) > 0; }));
        EXPECT_EQ(w.systemTrayIcon()->toolTip(), c.toolTip);
        senKey.reset(); // before its engine goes
    }
}

// Keys for the application in focus would land in SenKey's own window while it is the active one.
TEST_F(SenKeyConnection, NothingIsTypedIntoTheProgramsOwnWindow)
{
    // The states start once the window has had time to become the active one.
    Engine engine("user add 0\n"
                  "waitrequest 7 5000\n"
                  "wait 1000\n"
                  "stream 0 50 20 mentrix=push mentrixPower=0.8\n");
    aimAt(engine);
    SenKey& w = window();
    w.mappingModel()->addMapping(heldW(0));
    w.show();
    ASSERT_TRUE(waitUntil([&] { return w.isActiveWindow(); })) << "the platform gives the window no focus";
    RecordingBackend& recording = *w.platform().recording;
    ASSERT_TRUE(waitUntil([&] { return w.systemTrayIcon()->toolTip() == "SenKey - Connected"; }));
    settle(500);
    EXPECT_EQ(count(recording.events(), RecordedEvent::keyDown(kScanCodeW)), 0U);

    w.hide();
    EXPECT_TRUE(waitUntil([&] { return count(recording.events(), RecordedEvent::keyDown(kScanCodeW)) > 0; }));
}

} // namespace
