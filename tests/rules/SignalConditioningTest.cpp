// Release levels, smoothing, dwell, cooldown and re-arm, driven by timed sequences of states. Firings
// are counted as characters posted to a window, which the pass does at once on the calling thread.

#include <QCoreApplication>
#include <chrono>
#include <optional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "QtApplicationEnvironment.h"

#include "KeyboardEventSimulator.h"
#include "MappingEvaluation.h"
#include "RecordingBackend.h"
#include "SenMappingModel.h"
#include "TestState.h"

namespace {

using namespace std::chrono_literals;

constexpr std::uint32_t kSmileBit = 0x80;
constexpr WindowHandle kWindow = 0x4200001;
constexpr std::uint16_t kW = 0x11;

const auto* const kEnvironment = TestSupport::addApplicationEnvironment<QCoreApplication>();

/// One state: its arrival in ms from the start, the smile's strength, and the user it belongs to.
struct Step {
    int ms;
    float smile;
    uint user = 0;
};

/// Settings of one "smile is greater than 0.5" rule; zero and unset are today's behaviour.
struct Tuning {
    std::optional<double> release = std::nullopt;
    uint smoothing = 0;
    uint dwell = 0;
    uint cooldown = 0;
    uint rearm = 0;
    bool sendOnce = true;
};

/// A steady beat of states every 20 ms from `fromMs`, one per strength.
std::vector<Step> beat(int fromMs, const std::vector<float>& strengths)
{
    std::vector<Step> steps;
    for (float strength : strengths) {
        steps.push_back({fromMs, strength});
        fromMs += 20;
    }
    return steps;
}

std::vector<Step> operator+(std::vector<Step> a, const std::vector<Step>& b)
{
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

SenMapping smileRule(const Tuning& tuning, char key = 'x', int player = 0)
{
    SenMapping mapping(QStringLiteral("smile"), nullptr);
    mapping.setKeys(QString(QLatin1Char(key)));
    mapping.setSendToFocus(false);
    mapping.setWindowHandle(kWindow);
    mapping.setPlayerNum(player);
    mapping.setSendOnce(tuning.sendOnce);
    mapping.setDwellTime(tuning.dwell);
    mapping.setCooldownTime(tuning.cooldown);
    mapping.setRearmTime(tuning.rearm);
    SenStateCondition smile(SenAction::Smile, nullptr);
    smile.setActionRule(SenActionRule::GreaterThan);
    smile.setThreshold(0.5);
    smile.setReleaseLevel(tuning.release);
    smile.setSmoothingTime(tuning.smoothing);
    mapping.addCondition(smile);
    return mapping;
}

class Conditioning : public ::testing::Test
{
protected:
    Conditioning() { m_recording.addWindow(kWindow, QStringLiteral("Notes")); }

    void play(const std::vector<Step>& steps)
    {
        for (const Step& step : steps) {
            TestState state;
            state.lowerFace(kSmileBit, step.smile);
            evaluateMappings(&m_model, step.user, state, m_start + std::chrono::milliseconds(step.ms), &m_simulator,
                             {});
        }
    }

    /// The characters posted so far, in order.
    std::string posted() const
    {
        std::string text;
        for (const RecordedEvent& event : m_recording.events()) {
            if (event.kind == RecordedEvent::Kind::Char) {
                text += event.ch;
            }
        }
        return text;
    }

    RecordingBackend m_recording;
    KeyboardEventSimulator m_simulator{m_recording, m_recording};
    SenMappingModel m_model;
    StateTime m_start = std::chrono::steady_clock::now();
};

// Around the threshold of 0.5, never below 0.4: without a release level every crossing fires.
const std::vector<float> kHover{0.52F, 0.48F, 0.53F, 0.47F, 0.55F, 0.45F, 0.51F, 0.42F};

struct Case {
    const char* name;
    Tuning tuning;
    std::vector<Step> steps;
    int fires;
};

} // namespace

TEST_F(Conditioning, TimedSequences)
{
    const std::vector<Case> cases{
        {"hovering without a release level", {}, beat(0, kHover), 4},
        {"hovering with a release level", {.release = 0.35}, beat(0, kHover), 1},
        {"falling below the release level ends the activity", {.release = 0.35}, beat(0, {0.6F, 0.4F, 0.3F, 0.6F}), 2},
        {"a value at the release level still holds", {.release = 0.35}, beat(0, {0.6F, 0.35F, 0.6F}), 1},
        {"activity shorter than the dwell", {.dwell = 100}, beat(0, {0.6F, 0.6F, 0.6F, 0.6F, 0.1F}), 0},
        {"activity as long as the dwell", {.dwell = 100}, beat(0, {0.6F, 0.6F, 0.6F, 0.6F, 0.6F, 0.6F, 0.1F}), 1},
        {"a break restarts the dwell",
         {.dwell = 100},
         beat(0, {0.6F, 0.6F, 0.6F, 0.1F, 0.6F, 0.6F, 0.6F, 0.6F, 0.6F}),
         0},
        {"a second activity inside the cooldown",
         {.cooldown = 500},
         beat(0, {0.6F, 0.1F}) + beat(100, {0.6F, 0.1F}) + beat(600, {0.6F}),
         2},
        {"repeating at most once per cooldown",
         {.cooldown = 100, .sendOnce = false},
         beat(0, std::vector<float>(20, 0.6F)),
         4},
        {"re-arm needs the full quiet time",
         {.rearm = 100},
         beat(0, {0.6F, 0.1F, 0.1F, 0.1F, 0.6F, 0.1F, 0.1F, 0.1F, 0.1F, 0.1F, 0.1F, 0.6F}),
         2},
        {"re-arm zero opens on the first quiet state", {}, beat(0, {0.6F, 0.1F, 0.6F, 0.1F, 0.6F}), 3},
        {"a one-state spike without smoothing", {}, beat(0, {0.1F, 0.1F, 0.1F, 0.9F, 0.1F, 0.1F}), 1},
        {"a one-state spike with smoothing", {.smoothing = 100}, beat(0, {0.1F, 0.1F, 0.1F, 0.9F, 0.1F, 0.1F}), 0},
        {"a lasting rise with smoothing",
         {.smoothing = 100},
         beat(0, {0.1F, 0.1F, 0.9F, 0.9F, 0.9F, 0.9F, 0.9F, 0.9F}),
         1},
        {"smoothing weighs by arrival time, not by count",
         {.smoothing = 100},
         beat(0, {0.1F}) + std::vector<Step>{{1000, 0.9F}},
         1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        m_model.clear();
        m_recording.clear();
        m_model.addMapping(smileRule(c.tuning));
        play(c.steps);
        EXPECT_EQ(static_cast<int>(posted().size()), c.fires);
    }
}

TEST_F(Conditioning, DwellFiresOnTheStateThatCompletesIt)
{
    m_model.addMapping(smileRule({.dwell = 100}));
    play(beat(0, {0.6F, 0.6F, 0.6F, 0.6F, 0.6F}));
    EXPECT_EQ(posted(), "");
    play(beat(100, {0.6F}));
    EXPECT_EQ(posted(), "x");
}

TEST_F(Conditioning, InterleavedPlayersKeepTheirOwnTimers)
{
    m_model.addMapping(smileRule({.smoothing = 100, .dwell = 60}, 'a', 0));
    m_model.addMapping(smileRule({.smoothing = 100, .dwell = 60}, 'b', 1));
    // Player 0 smiles on every state of its own; player 1 never does, and its states come in between.
    std::vector<Step> steps;
    for (int ms = 0; ms <= 200; ms += 20) {
        steps.push_back({ms, 0.9F, 0});
        steps.push_back({ms + 10, 0.0F, 1});
    }
    play(steps);
    EXPECT_EQ(posted(), "a");
    // Now player 1 smiles for long enough while player 0 stops; player 0's states do not break its dwell.
    steps.clear();
    for (int ms = 220; ms <= 600; ms += 20) {
        steps.push_back({ms, 0.0F, 0});
        steps.push_back({ms + 10, 0.9F, 1});
    }
    play(steps);
    EXPECT_EQ(posted(), "ab");
}

TEST_F(Conditioning, HeldKeyComesUpWhenTheConditionedConditionEnds)
{
    SenMapping hold = smileRule({.release = 0.35, .smoothing = 40});
    hold.setSendToFocus(true);
    hold.setKeys(QStringLiteral("w"));
    hold.setHoldKey(true);
    m_model.addMapping(hold);
    const auto releases = [this] {
        int count = 0;
        for (const RecordedEvent& event : m_recording.events()) {
            count += event == RecordedEvent::keyUp(kW);
        }
        return count;
    };
    play(beat(0, {0.9F, 0.9F, 0.9F}));
    EXPECT_EQ(m_simulator.queuedRequestCount(), 1);
    // Below the threshold but above the release level, through the average: still held.
    play(beat(60, {0.4F, 0.4F, 0.4F, 0.4F, 0.4F}));
    EXPECT_EQ(releases(), 0);
    // The average falls below 0.35 on the second of these states, and the key comes up on that very state.
    play(beat(160, {0.25F}));
    EXPECT_EQ(releases(), 0);
    play(beat(180, {0.25F}));
    EXPECT_EQ(releases(), 1);
    EXPECT_EQ(m_simulator.queuedRequestCount(), 1);
}

TEST_F(Conditioning, ALostHeadsetForgetsTheTiming)
{
    m_model.addMapping(smileRule({.dwell = 100}));
    play(beat(0, {0.6F, 0.6F, 0.6F, 0.6F}));
    releasePlayer(m_model, 0, m_simulator);
    play(beat(80, {0.6F, 0.6F}));
    EXPECT_EQ(posted(), "");
    play(beat(120, {0.6F, 0.6F, 0.6F, 0.6F}));
    EXPECT_EQ(posted(), "x");
}

TEST_F(Conditioning, AConditionedConditionFollowsStatesInWhichAnEarlierOneFails)
{
    // Blink first, then the smile with a release level: the smile must notice that it fell below 0.35
    // while the eyes were open, or it would still be holding when they close again.
    SenMapping mapping = smileRule({.release = 0.35});
    mapping.setConditions({SenStateCondition(SenAction::Blink, nullptr), *mapping.condition(0)});
    m_model.addMapping(mapping);
    const auto state = [](bool closed, float smile) {
        TestState s;
        s.eyes(closed ? 1.0F : 0.0F, closed ? 1.0F : 0.0F).lowerFace(kSmileBit, smile);
        return s;
    };
    int ms = 0;
    for (const auto& [closed, smile] : std::vector<std::pair<bool, float>>{
             {true, 0.6F}, {false, 0.6F}, {false, 0.2F}, {false, 0.45F}, {true, 0.45F}}) {
        evaluateMappings(&m_model, 0, state(closed, smile), m_start + std::chrono::milliseconds(ms += 20), &m_simulator,
                         {});
    }
    EXPECT_EQ(posted(), "x");
}
