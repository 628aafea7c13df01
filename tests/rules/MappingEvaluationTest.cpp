#include <QCoreApplication>
#include <chrono>
#include <thread>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "QtApplicationEnvironment.h"

#include "KeyboardEventSimulator.h"
#include "MappingEvaluation.h"
#include "RecordingBackend.h"
#include "SenMappingModel.h"
#include "TestState.h"

namespace {

using RE = RecordedEvent;
using namespace std::chrono_literals;

constexpr std::uint16_t kA = 0x1E;
constexpr std::uint16_t kW = 0x11;
constexpr std::uint16_t kEnter = 0x1C;
constexpr std::uint16_t kCtrl = 0x1D;
constexpr std::uint16_t kF5 = 0x3F;
constexpr WindowHandle kWindow = 0x4200001;

// The simulator's thread runs an event loop, which needs an application object.
const auto* const kEnvironment = TestSupport::addApplicationEnvironment<QCoreApplication>();

class Evaluation : public ::testing::Test
{
protected:
    Evaluation()
    {
        m_recording.addWindow(kWindow, QStringLiteral("Notes"));
        m_simulator.start();
        m_blinkClosed.eyes(1.0F, 1.0F);
    }

    /// A mapping that fires while both eyes are closed; short times keep the simulator quick.
    static SenMapping blinkMapping(const QString& keys)
    {
        SenMapping mapping(QStringLiteral("blink"), nullptr);
        mapping.setKeys(keys);
        mapping.setHoldTime(1);
        mapping.setTriggerDelayTime(1);
        mapping.addCondition(SenStateCondition(SenAction::Blink, nullptr));
        return mapping;
    }

    SenMapping& add(const SenMapping& mapping)
    {
        m_model.addMapping(mapping);
        return *m_model.mapping(m_model.mappingCount() - 1);
    }

    void pass(bool active, uint user = 0)
    {
        evaluateMappings(
            &m_model, user, active ? m_blinkClosed.handle() : m_open.handle(), &m_simulator,
            [this](int index, bool activated) { m_reports.emplace_back(index, activated); },
            [this] { return m_mainWindowActive; }, m_focus);
    }

    void moveFocus(const FocusedApplication& focus)
    {
        m_focus = focus;
        releaseOutOfFocus(&m_model, m_focus, &m_simulator,
                          [this](int index, bool activated) { m_reports.emplace_back(index, activated); });
    }

    /// Everything recorded once the queue has run dry and the last request has had time to finish.
    std::vector<RE> settle()
    {
        const auto deadline = std::chrono::steady_clock::now() + 5s;
        while (m_simulator.queuedRequestCount() > 0 && std::chrono::steady_clock::now() < deadline) {
            std::this_thread::sleep_for(2ms);
        }
        std::this_thread::sleep_for(80ms);
        return m_recording.events();
    }

    RecordingBackend m_recording;
    KeyboardEventSimulator m_simulator{m_recording, m_recording};
    SenMappingModel m_model;
    TestState m_blinkClosed;
    TestState m_open;
    std::vector<std::pair<int, bool>> m_reports;
    bool m_mainWindowActive = false;
    FocusedApplication m_focus = WindowApplication{};
};

std::vector<RE> typed(std::uint16_t scanCode, int times)
{
    std::vector<RE> events;
    for (int i = 0; i < times; ++i) {
        events.push_back(RE::keyDown(scanCode));
        events.push_back(RE::keyUp(scanCode));
    }
    return events;
}

} // namespace

TEST_F(Evaluation, SendOnceEmitsOncePerPeriodOfActivity)
{
    add(blinkMapping(QStringLiteral("a")));
    for (bool active : {true, true, true, false, true}) {
        pass(active);
    }
    EXPECT_EQ(settle(), typed(kA, 2));
    EXPECT_EQ(m_reports, (std::vector<std::pair<int, bool>>{{0, true}, {0, true}, {0, true}, {0, false}, {0, true}}));
}

TEST_F(Evaluation, RepeatModeEmitsOnEveryActiveState)
{
    add(blinkMapping(QStringLiteral("a"))).setSendOnce(false);
    for (int i = 0; i < 3; ++i) {
        pass(true);
    }
    EXPECT_EQ(settle(), typed(kA, 3));
}

TEST_F(Evaluation, DisabledAndConditionlessMappingsAreReportedButSilent)
{
    add(blinkMapping(QStringLiteral("a"))).setEnabled(false);
    SenMapping none(QStringLiteral("none"), nullptr);
    none.setKeys(QStringLiteral("a"));
    add(none);
    SenMapping disabledCondition = blinkMapping(QStringLiteral("a"));
    disabledCondition.condition(0)->setEnabled(false);
    add(disabledCondition);

    pass(true);
    EXPECT_EQ(m_reports, (std::vector<std::pair<int, bool>>{{0, true}, {1, false}, {2, false}}));
    EXPECT_TRUE(settle().empty());
    EXPECT_FALSE(m_model.mapping(0)->alreadySent());
}

TEST_F(Evaluation, OnlyStatesOfTheMappingsPlayerCount)
{
    add(blinkMapping(QStringLiteral("a"))).setPlayerNum(1);
    pass(true, 0);
    EXPECT_TRUE(m_reports.empty()) << "a state of another user neither activates nor deactivates";
    EXPECT_TRUE(settle().empty());

    // States of two headsets interleaved: the other user's states leave the latch closed, so the
    // send-once mapping of player 1 types once for its one period of activity.
    pass(true, 1);
    pass(true, 1);
    pass(true, 0);
    pass(true, 1);
    EXPECT_EQ(settle(), typed(kA, 1));
    pass(false, 1);
    pass(true, 1);
    EXPECT_EQ(settle(), typed(kA, 2));
}

TEST_F(Evaluation, AHeldKeyStaysDownThroughTheOtherUsersStates)
{
    SenMapping held = blinkMapping(QStringLiteral("w"));
    held.setHoldKey(true);
    add(held);
    pass(true, 0);
    pass(false, 1);
    pass(true, 0);
    pass(false, 1);
    EXPECT_EQ(settle(), (std::vector<RE>{RE::keyDown(kW)})) << "pressed once, never released by user 1";
    pass(false, 0);
    EXPECT_EQ(settle(), (std::vector<RE>{RE::keyDown(kW), RE::keyUp(kW)}));
}

TEST_F(Evaluation, AHeadsetThatGoesAwayReleasesItsPlayersKeys)
{
    SenMapping held = blinkMapping(QStringLiteral("w"));
    held.setHoldKey(true);
    add(held);
    SenMapping other = blinkMapping(QStringLiteral("a"));
    other.setPlayerNum(1);
    add(other);
    pass(true, 0);
    settle();
    releasePlayer(m_model, 0, m_simulator);
    EXPECT_EQ(settle(), (std::vector<RE>{RE::keyDown(kW), RE::keyUp(kW)}));
    EXPECT_FALSE(m_model.mapping(0)->alreadySent());
}

TEST_F(Evaluation, FocusGuardHoldsBackWhileTheMainWindowIsActive)
{
    SenMapping& focus = add(blinkMapping(QStringLiteral("a")));
    SenMapping window = blinkMapping(QStringLiteral("b"));
    window.setSendToFocus(false);
    window.setWindowHandle(kWindow);
    add(window);

    m_mainWindowActive = true;
    pass(true);
    pass(true);
    EXPECT_FALSE(focus.alreadySent());
    EXPECT_EQ(settle(), (std::vector<RE>{RE::posted(kWindow, 'b')})) << "a chosen window is not guarded";

    m_recording.clear();
    m_mainWindowActive = false;
    pass(true);
    pass(true);
    EXPECT_EQ(settle(), typed(kA, 1));
}

TEST_F(Evaluation, OneCharacterIsHeldUntilTheMappingStopsHolding)
{
    add(blinkMapping(QStringLiteral("w"))).setHoldKey(true);
    pass(true);
    pass(true);
    EXPECT_EQ(settle(), (std::vector<RE>{RE::keyDown(kW)}));
    pass(false);
    pass(false);
    EXPECT_EQ(settle(), (std::vector<RE>{RE::keyDown(kW), RE::keyUp(kW), RE::keyUp(kW)}));
}

TEST_F(Evaluation, HeldEnterOfAnEmptyKeyStringIsReleased)
{
    SenMapping& enter = add(blinkMapping(QString()));
    enter.setHoldKey(true);
    enter.setEnterKey(true);
    pass(true);
    EXPECT_EQ(settle(), (std::vector<RE>{RE::keyDown(kEnter)}));
    pass(false);
    EXPECT_EQ(settle(), (std::vector<RE>{RE::keyDown(kEnter), RE::keyUp(kEnter)}));
}

TEST_F(Evaluation, MouseButtonIsPressedOnceAndReleasedOnce)
{
    SenMapping& click = add(blinkMapping(QStringLiteral("Mouse Left Click")));
    click.setMouseclickset(true);
    click.setMousebutnum(0);
    pass(true);
    pass(true);
    EXPECT_EQ(settle(), (std::vector<RE>{RE::buttonDown(MouseButton::Left)}));
    pass(false);
    pass(false);
    EXPECT_EQ(settle(), (std::vector<RE>{RE::buttonDown(MouseButton::Left), RE::buttonUp(MouseButton::Left)}));
}

TEST_F(Evaluation, DisablingAMouseMappingReleasesItsButton)
{
    SenMapping& click = add(blinkMapping(QStringLiteral("Mouse Right Click")));
    click.setMouseclickset(true);
    click.setMousebutnum(2);
    pass(true);
    EXPECT_EQ(settle(), (std::vector<RE>{RE::buttonDown(MouseButton::Right)}));
    click.setEnabled(false);
    pass(true);
    EXPECT_EQ(settle(), (std::vector<RE>{RE::buttonDown(MouseButton::Right), RE::buttonUp(MouseButton::Right)}));
}

TEST_F(Evaluation, HotKeyTakesPrecedenceOverClickAndKeys)
{
    SenMapping& hot = add(blinkMapping(QStringLiteral("ignored")));
    hot.setSendHotKeys(true);
    hot.setMouseclickset(true);
    hot.setMousebutnum(0);
    hot.setCtrlKey(true);
    hot.setHotKey(0x01000034);
    pass(true);
    EXPECT_EQ(settle(), (std::vector<RE>{RE::keyDown(kCtrl), RE::keyDown(kF5), RE::keyUp(kF5), RE::keyUp(kCtrl)}));
}

TEST_F(Evaluation, ChosenWindowReceivesPostedCharacters)
{
    SenMapping text = blinkMapping(QStringLiteral("hi"));
    text.setSendToFocus(false);
    text.setWindowHandle(kWindow);
    text.setEnterKey(true);
    add(text);
    // A hot key aimed at a window posts its (empty) key string and the line feed, never the hot key.
    SenMapping hot = blinkMapping(QString());
    hot.setSendToFocus(false);
    hot.setWindowHandle(kWindow);
    hot.setSendHotKeys(true);
    hot.setCtrlKey(true);
    hot.setHotKey(0x41);
    hot.setEnterKey(true);
    add(hot);
    // No window picked since loading: nothing goes anywhere.
    SenMapping unpicked = blinkMapping(QStringLiteral("x"));
    unpicked.setSendToFocus(false);
    add(unpicked);

    pass(true);
    // Posting happens at once, in the caller's thread.
    EXPECT_EQ(m_recording.events(), (std::vector<RE>{RE::posted(kWindow, 'h'), RE::posted(kWindow, 'i'),
                                                     RE::posted(kWindow, '\n'), RE::posted(kWindow, '\n')}));
    pass(true);
    EXPECT_EQ(settle().size(), 4U);
    EXPECT_TRUE(m_model.mapping(2)->alreadySent());
}

TEST_F(Evaluation, MappingsLeavingTheModelReleaseWhatTheyHold)
{
    releaseRemovedMappings(m_model, m_simulator);
    add(blinkMapping(QStringLiteral("w"))).setHoldKey(true);
    SenMapping& click = add(blinkMapping(QStringLiteral("Mouse Left Click")));
    click.setMouseclickset(true);
    click.setMousebutnum(0);
    pass(true);
    ASSERT_EQ(settle(), (std::vector<RE>{RE::keyDown(kW), RE::buttonDown(MouseButton::Left)}));

    m_model.removeMapping(0);
    EXPECT_EQ(m_recording.events().back(), RE::keyUp(kW));
    m_model.clearMappings();
    EXPECT_EQ(m_recording.events().back(), RE::buttonUp(MouseButton::Left));
    m_model.setReleaseHandler({});
}

TEST_F(Evaluation, NullArgumentsAreHarmless)
{
    SenMapping& mapping = add(blinkMapping(QStringLiteral("a")));
    evaluateMappings(&m_model, 0, nullptr, &m_simulator, {}, {});
    evaluateMappings(nullptr, 0, m_blinkClosed, &m_simulator, {}, {});
    evaluateMappings(&m_model, 0, m_blinkClosed, nullptr, {}, {});
    EXPECT_TRUE(mapping.alreadySent());
    EXPECT_TRUE(settle().empty());
}

TEST_F(Evaluation, RulesFireOnlyWhereTheirApplicationListsAllow)
{
    const WindowApplication reader{QStringLiteral("evince"), QStringLiteral("Evince")};
    const WindowApplication vault{QStringLiteral("keepassxc"), QStringLiteral("KeePassXC")};
    add(blinkMapping(QStringLiteral("a"))).setOnlyInApps({"evince"});
    add(blinkMapping(QStringLiteral("w"))).setNeverInApps({"KEEPASSXC"});

    for (const FocusedApplication& focus :
         {FocusedApplication(reader), FocusedApplication(vault), FocusedApplication(std::nullopt)}) {
        m_focus = focus;
        pass(true);
        pass(false);
    }
    EXPECT_EQ(settle(), (std::vector<RE>{RE::keyDown(kA), RE::keyUp(kA), RE::keyDown(kW), RE::keyUp(kW),
                                         RE::keyDown(kW), RE::keyUp(kW)}));
    EXPECT_EQ(m_reports, (std::vector<std::pair<int, bool>>{{0, true},
                                                            {1, true},
                                                            {0, false},
                                                            {1, false},
                                                            {0, false},
                                                            {1, false},
                                                            {0, false},
                                                            {1, false},
                                                            {0, false},
                                                            {1, true},
                                                            {0, false},
                                                            {1, false}}))
        << "a rule outside its applications is reported inactive";
}

TEST_F(Evaluation, LeavingTheApplicationReleasesWhatItsRuleHolds)
{
    const WindowApplication reader{QStringLiteral("evince"), QStringLiteral("Evince")};
    const WindowApplication other{QStringLiteral("xterm"), QStringLiteral("XTerm")};
    add(blinkMapping(QStringLiteral("w"))).setHoldKey(true);
    m_model.mapping(0)->setOnlyInApps({"evince"});
    SenMapping& click = add(blinkMapping(QStringLiteral("Mouse Left Click")));
    click.setMouseclickset(true);
    click.setMousebutnum(4);
    click.setNeverInApps({"xterm"});
    add(blinkMapping(QStringLiteral("a"))).setHoldKey(true);

    m_focus = reader;
    pass(true);
    const std::vector<RE> pressed = settle();
    m_reports.clear();
    m_recording.clear();
    moveFocus(other);
    EXPECT_EQ(settle(), (std::vector<RE>{RE::keyUp(kW), RE::buttonUp(MouseButton::Left)}))
        << "at once, without waiting for a state; the unfiltered rule keeps its key";
    EXPECT_EQ(m_reports, (std::vector<std::pair<int, bool>>{{0, false}, {1, false}}));
    EXPECT_FALSE(m_model.mapping(0)->alreadySent());
    ASSERT_EQ(pressed.size(), 3U);

    m_recording.clear();
    moveFocus(reader);
    pass(true);
    EXPECT_EQ(settle(), (std::vector<RE>{RE::keyDown(kW), RE::buttonDown(MouseButton::Left)}))
        << "back in the application, the rule presses again";
}
