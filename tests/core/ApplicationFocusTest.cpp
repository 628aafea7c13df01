// Rules limited to applications, through the core both programs share: a focus move releases at once
// what a rule may no longer hold, and an unknown focus is said once, naming the rules.

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QSignalSpy>

#include <algorithm>
#include <vector>

#include "EmulatorScript.h"
#include "FocusTracker.h"
#include "QtApplicationEnvironment.h"
#include "RecordingBackend.h"
#include "SenKeyCore.h"
#include "SenMappingModel.h"

namespace {

using RE = RecordedEvent;

constexpr std::uint16_t kW = 0x11;
constexpr std::uint16_t kX = 0x2D;

const auto* const kEnvironment = TestSupport::addApplicationEnvironment<QCoreApplication>();

const WindowApplication kFirst{QStringLiteral("first"), QStringLiteral("Alpha")};
const WindowApplication kSecond{QStringLiteral("second"), QStringLiteral("Beta")};

SenStateSnapshot blinkState()
{
    std::vector<ScriptCommand> commands;
    ScriptError error;
    EXPECT_TRUE(parseScript("state 0 leftEye=1 rightEye=1", commands, error)) << error.message;
    return SenStateSnapshot::fromBytes(commands.front().state.data());
}

/// W held only in "first"; X typed once everywhere but in "alpha".
void addRules(SenMappingModel& model)
{
    SenMapping held(QStringLiteral("held"), nullptr);
    held.setKeys(QStringLiteral("w"));
    held.setHoldKey(true);
    held.setHoldTime(1);
    held.setOnlyInApps({"first"});
    held.addCondition(SenStateCondition(SenAction::Blink, nullptr));
    model.addMapping(held);
    SenMapping elsewhere(QStringLiteral("elsewhere"), nullptr);
    elsewhere.setKeys(QStringLiteral("x"));
    elsewhere.setHoldTime(1);
    elsewhere.setTriggerDelayTime(1);
    elsewhere.setNeverInApps({"alpha"});
    elsewhere.addCondition(SenStateCondition(SenAction::Blink, nullptr));
    model.addMapping(elsewhere);
}

bool waitForEvents(const RecordingBackend& recording, const std::vector<RE>& expected)
{
    QDeadlineTimer deadline(5000);
    while (recording.events() != expected && !deadline.hasExpired()) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    }
    return recording.events() == expected;
}

/// Starts the simulator; the failed connection attempt (no engine listens on port 1) and the release it
/// brings are over before the test goes on.
void startWithoutEngine(SenKeyCore& core)
{
    QSignalSpy failed(&core, &SenKeyCore::engineCannotBeConnected);
    core.setEngineAddress(QStringLiteral("127.0.0.1"), 1);
    core.start();
    EXPECT_TRUE(failed.wait(5000));
}

} // namespace

TEST(ApplicationFocus, MovingTheFocusReleasesAtOnceAndTheRulesFollowIt)
{
    RecordingBackend recording;
    ManualFocusTracker focus;
    focus.setFocusedApplication(kFirst);
    SenKeyCore core(recording, recording);
    core.setFocusTracker(&focus);
    addRules(*core.mappingModel());
    startWithoutEngine(core);
    std::vector<std::pair<int, bool>> reports;
    core.setActivityReport([&reports](int index, bool active) { reports.emplace_back(index, active); });
    QSignalSpy moves(&core, &SenKeyCore::focusChanged);
    EXPECT_TRUE(core.focusLimitNotice().isEmpty());

    core.evaluateState(0, blinkState());
    ASSERT_TRUE(waitForEvents(recording, {RE::keyDown(kW)})) << ::testing::PrintToString(recording.events());
    EXPECT_EQ(reports, (std::vector<std::pair<int, bool>>{{0, true}, {1, false}}));

    reports.clear();
    focus.setFocusedApplication(kSecond);
    EXPECT_TRUE(waitForEvents(recording, {RE::keyDown(kW), RE::keyUp(kW)}))
        << "released without another state: " << ::testing::PrintToString(recording.events());
    EXPECT_EQ(reports, (std::vector<std::pair<int, bool>>{{0, false}}));
    ASSERT_EQ(moves.count(), 1);
    EXPECT_EQ(moves.at(0).at(0).value<WindowApplication>(), kSecond);

    // The inactive held rule's release step repeats its key release, as on every inactive state.
    recording.clear();
    core.evaluateState(0, blinkState());
    EXPECT_TRUE(waitForEvents(recording, {RE::keyUp(kW), RE::keyDown(kX), RE::keyUp(kX)}));
    core.shutdown();
}

TEST(ApplicationFocus, AnUnknownFocusIsSaidNamingTheRules)
{
    RecordingBackend recording;
    NoFocusTracker focus;
    SenKeyCore core(recording, recording);
    core.setFocusTracker(&focus);
    EXPECT_TRUE(core.focusLimitNotice().isEmpty()) << "nothing to say without limited rules";
    addRules(*core.mappingModel());
    EXPECT_EQ(
        core.focusLimitNotice(),
        QStringLiteral("The application in focus cannot be known here: rules only for some applications never "
                       "fire (\"held\"); rules kept out of some applications fire in all of them (\"elsewhere\")"));
    startWithoutEngine(core);

    core.evaluateState(0, blinkState());
    EXPECT_TRUE(waitForEvents(recording, {RE::keyUp(kW), RE::keyDown(kX), RE::keyUp(kX)})) << ::testing::PrintToString(recording.events())
        << "only the \"never in\" rule fires: " << ::testing::PrintToString(recording.events());
    core.shutdown();
}
