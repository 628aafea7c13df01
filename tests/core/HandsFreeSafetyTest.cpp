// The pause gesture and the release of a silent headset, in the core both programs share. States are
// handed to the core with chosen arrival times, and the stale check reads a clock the test moves.

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QSignalSpy>

#include <algorithm>
#include <chrono>
#include <vector>

#include "KeyboardEventSimulator.h"
#include "QtApplicationEnvironment.h"
#include "RecordingBackend.h"
#include "SenKeyCore.h"
#include "SenMappingModel.h"
#include "TestState.h"

namespace {

using namespace std::chrono_literals;
using RE = RecordedEvent;

constexpr std::uint16_t kW = 0x11;
constexpr std::uint16_t kA = 0x1E;
constexpr std::uint32_t kSmileBit = 0x80;
constexpr WindowHandle kWindow = 0x4200001;

const auto* const kEnvironment = TestSupport::addApplicationEnvironment<QCoreApplication>();

/// What the head does in one state.
struct Face {
    bool eyesClosed = false;
    bool smile = false;
    bool winkLeft = false;
};

SenMapping rule(const char* name, int player = 0)
{
    SenMapping mapping(QString::fromLatin1(name), nullptr);
    mapping.setPlayerNum(player);
    mapping.setHoldTime(1);
    mapping.setTriggerDelayTime(1);
    return mapping;
}

SenMapping heldKey(char key, int player = 0)
{
    SenMapping mapping = rule("held key", player);
    mapping.setKeys(QString(QLatin1Char(key)));
    mapping.setHoldKey(true);
    mapping.addCondition(SenStateCondition(SenAction::Blink, nullptr));
    return mapping;
}

SenMapping heldButton()
{
    SenMapping mapping = rule("held button");
    mapping.setMouseclickset(true);
    mapping.setMousebutnum(4);
    mapping.setHoldKey(true);
    mapping.addCondition(SenStateCondition(SenAction::Blink, nullptr));
    return mapping;
}

/// Posts 'x' to a window, which the pass does at once on the calling thread.
SenMapping postOnWinkLeft()
{
    SenMapping mapping = rule("wink left");
    mapping.setKeys(QStringLiteral("x"));
    mapping.setSendToFocus(false);
    mapping.setWindowHandle(kWindow);
    mapping.addCondition(SenStateCondition(SenAction::WinkLeft, nullptr));
    return mapping;
}

SenMapping pauseOnSmile()
{
    SenMapping mapping = rule("pause");
    mapping.setPauseToggle(true);
    mapping.setDwellTime(SenMapping::kDefaultPauseDwellTime);
    SenStateCondition smile(SenAction::Smile, nullptr);
    smile.setActionRule(SenActionRule::GreaterThan);
    smile.setThreshold(0.5);
    mapping.addCondition(smile);
    return mapping;
}

template <class Predicate> bool waitFor(Predicate done)
{
    QDeadlineTimer deadline(10000);
    while (!done()) {
        if (deadline.hasExpired()) {
            return false;
        }
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    }
    return true;
}

class HandsFreeSafety : public ::testing::Test
{
protected:
    HandsFreeSafety()
    {
        m_recording.addWindow(kWindow, QStringLiteral("Notes"));
        m_core.setClock([this] { return m_now; });
        // The connection is never started: the test is the engine.
        m_core.simulator()->start();
    }

    /// One state of `player` arriving `ms` after the start; the clock moves there too.
    void state(int ms, const Face& face, uint player = 0)
    {
        TestState record;
        record.eyes(face.eyesClosed || face.winkLeft ? 1.0F : 0.0F, face.eyesClosed ? 1.0F : 0.0F);
        record.lowerFace(face.smile ? kSmileBit : 0, face.smile ? 0.9F : 0.0F);
        m_now = std::max(m_now, at(ms));
        m_core.evaluateState(player, SenStateSnapshot::fromBytes(record.handle(), at(ms)));
    }
    /// States of one player every 100 ms from `fromMs` up to and including `toMs`.
    void hold(int fromMs, int toMs, const Face& face, uint player = 0)
    {
        for (int ms = fromMs; ms <= toMs; ms += 100) {
            state(ms, face, player);
        }
    }
    void checkStaleAt(int ms)
    {
        m_now = at(ms);
        m_core.checkStaleHeadsets();
    }

    StateTime at(int ms) const { return m_start + std::chrono::milliseconds(ms); }
    int count(const RE& event) const
    {
        const auto events = m_recording.events();
        return static_cast<int>(std::count(events.begin(), events.end(), event));
    }
    bool waitForCount(const RE& event, int expected)
    {
        return waitFor([&] { return count(event) == expected; });
    }

    RecordingBackend m_recording;
    SenKeyCore m_core{m_recording, m_recording};
    StateTime m_start = std::chrono::steady_clock::now();
    StateTime m_now = m_start;
};

} // namespace

TEST_F(HandsFreeSafety, PauseGestureReleasesIgnoresOtherRulesAndResumes)
{
    SenMappingModel& model = *m_core.mappingModel();
    model.addMapping(heldKey('w'));
    model.addMapping(heldButton());
    model.addMapping(postOnWinkLeft());
    model.addMapping(pauseOnSmile());
    QSignalSpy switched(&m_core, &SenKeyCore::keystrokesEnabledChanged);

    state(0, {.eyesClosed = true});
    ASSERT_TRUE(waitForCount(RE::keyDown(kW), 1));
    ASSERT_TRUE(waitForCount(RE::buttonDown(MouseButton::Left), 1));

    // Smiling while the key is held: nothing before the dwell time is over.
    hold(100, 1500, {.eyesClosed = true, .smile = true});
    EXPECT_TRUE(m_core.keystrokesEnabled());
    state(1600, {.eyesClosed = true, .smile = true});
    EXPECT_FALSE(m_core.keystrokesEnabled());
    ASSERT_EQ(switched.count(), 1);
    EXPECT_EQ(switched.at(0).at(0).toBool(), false);
    EXPECT_TRUE(waitForCount(RE::keyUp(kW), 1));
    EXPECT_TRUE(waitForCount(RE::buttonUp(MouseButton::Left), 1));

    // Paused: the same smile held on does not resume, and no other rule acts.
    hold(1700, 4000, {.eyesClosed = true, .smile = true, .winkLeft = true});
    EXPECT_FALSE(m_core.keystrokesEnabled());
    EXPECT_EQ(count(RE::posted(kWindow, 'x')), 0);
    EXPECT_EQ(count(RE::keyDown(kW)), 1);

    // A smile shorter than the dwell does nothing either.
    hold(4100, 4200, {});
    hold(4300, 5000, {.smile = true});
    hold(5100, 5200, {});
    EXPECT_FALSE(m_core.keystrokesEnabled());

    hold(5300, 6800, {.smile = true});
    EXPECT_TRUE(m_core.keystrokesEnabled());
    EXPECT_EQ(switched.count(), 2);
    // The rule that resumed does not pause again while the smile goes on, and the others act again.
    hold(6900, 9000, {.smile = true, .winkLeft = true});
    EXPECT_TRUE(m_core.keystrokesEnabled());
    EXPECT_EQ(count(RE::posted(kWindow, 'x')), 1);
}

TEST_F(HandsFreeSafety, PauseFromOutsideLeavesPauseRulesListening)
{
    m_core.mappingModel()->addMapping(pauseOnSmile());
    m_core.togglePause();
    EXPECT_FALSE(m_core.keystrokesEnabled());
    hold(0, 1500, {.smile = true});
    EXPECT_TRUE(m_core.keystrokesEnabled());
    m_core.togglePause();
    EXPECT_FALSE(m_core.keystrokesEnabled());
}

TEST_F(HandsFreeSafety, SilentHeadsetIsReleasedOnceAndReportedBack)
{
    SenMappingModel& model = *m_core.mappingModel();
    model.addMapping(heldKey('w', 0));
    model.addMapping(heldKey('a', 1));
    QSignalSpy silent(&m_core, &SenKeyCore::headsetSilent);
    QSignalSpy back(&m_core, &SenKeyCore::headsetStatesBack);

    state(0, {.eyesClosed = true}, 0);
    state(100, {.eyesClosed = true}, 1);
    ASSERT_TRUE(waitForCount(RE::keyDown(kW), 1));
    ASSERT_TRUE(waitForCount(RE::keyDown(kA), 1));

    // Player 0 streams on; player 1's last state came at 100 ms.
    hold(200, 500, {.eyesClosed = true}, 0);
    checkStaleAt(599);
    EXPECT_EQ(silent.count(), 0);
    hold(600, 600, {.eyesClosed = true}, 0);
    checkStaleAt(600);
    ASSERT_EQ(silent.count(), 1);
    EXPECT_EQ(silent.at(0).at(0).toUInt(), 1U);
    EXPECT_EQ(silent.at(0).at(1).toUInt(), 500U);
    EXPECT_TRUE(waitForCount(RE::keyUp(kA), 1));
    // Reported once, and the player that streams keeps its key.
    hold(700, 1000, {.eyesClosed = true}, 0);
    checkStaleAt(1000);
    EXPECT_EQ(silent.count(), 1);
    EXPECT_EQ(count(RE::keyUp(kW)), 0);

    state(1050, {.eyesClosed = true}, 1);
    ASSERT_EQ(back.count(), 1);
    EXPECT_EQ(back.at(0).at(0).toUInt(), 1U);
    EXPECT_TRUE(waitForCount(RE::keyDown(kA), 2));

    // The engine falls silent as a whole: both players, each from its own last state.
    checkStaleAt(1499);
    EXPECT_EQ(silent.count(), 1);
    checkStaleAt(1500);
    EXPECT_EQ(silent.count(), 2);
    EXPECT_TRUE(waitForCount(RE::keyUp(kW), 1));
    checkStaleAt(1550);
    EXPECT_EQ(silent.count(), 3);
    EXPECT_TRUE(waitForCount(RE::keyUp(kA), 2));
}

TEST_F(HandsFreeSafety, StaleTimeZeroNeverReleases)
{
    m_core.setStaleTime(0);
    m_core.mappingModel()->addMapping(heldKey('w'));
    QSignalSpy silent(&m_core, &SenKeyCore::headsetSilent);
    state(0, {.eyesClosed = true});
    checkStaleAt(100000);
    EXPECT_EQ(silent.count(), 0);
}

TEST(HandsFreeSafetyText, SilentAndBackMessages)
{
    EXPECT_EQ(SenKeyCore::silentHeadsetMessage(1, 500), QStringLiteral("no states from headset 1 for 0.5 s: released"));
    EXPECT_EQ(SenKeyCore::silentHeadsetMessage(0, 1250), QStringLiteral("no states from headset 0 for 1.25 s: released"));
    EXPECT_EQ(SenKeyCore::headsetBackMessage(3), QStringLiteral("states from headset 3 again"));
}
