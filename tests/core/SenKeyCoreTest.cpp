// The core both programs run their states through. Its release policy is the one of both programs: what
// the rules hold comes up at every ending of a session. A burst of engine events reaches the rules whole.

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDeadlineTimer>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "KeyboardEventSimulator.h"
#include "QtApplicationEnvironment.h"
#include "RecordingBackend.h"
#include "SenKeyCore.h"
#include "SenMappingModel.h"
#include "TestEngine.h"

namespace {

using RE = RecordedEvent;

constexpr std::uint16_t kW = 0x11;
constexpr std::uint16_t kX = 0x2D;

const auto* const kEnvironment = TestSupport::addApplicationEnvironment<QCoreApplication>();

/// Player 1's rules while both eyes are closed: W held, the left button held, X typed once.
void addHeldRules(SenMappingModel& model)
{
    auto rule = [](const char* name) {
        SenMapping mapping(QString::fromLatin1(name), nullptr);
        mapping.setPlayerNum(1);
        mapping.setHoldTime(1);
        mapping.setTriggerDelayTime(1);
        mapping.addCondition(SenStateCondition(SenAction::Blink, nullptr));
        return mapping;
    };
    SenMapping key = rule("held key");
    key.setKeys(QStringLiteral("w"));
    key.setHoldKey(true);
    model.addMapping(key);
    SenMapping button = rule("held button");
    button.setMouseclickset(true);
    button.setMousebutnum(4);
    button.setHoldKey(true);
    model.addMapping(button);
    SenMapping once = rule("once");
    once.setKeys(QStringLiteral("x"));
    once.setSendOnce(true);
    model.addMapping(once);
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

bool contains(const std::vector<RE>& events, const RE& event)
{
    return std::find(events.begin(), events.end(), event) != events.end();
}

/// Whether `down` was followed later by `up`.
bool releasedAfterPress(const std::vector<RE>& events, const RE& down, const RE& up)
{
    const auto pressed = std::find(events.begin(), events.end(), down);
    return pressed != events.end() && std::find(pressed, events.end(), up) != events.end();
}

struct Ending {
    const char* name;
    /// What the engine sends after the state that presses everything.
    std::string scriptTail;
    /// What the front end does once everything is down; may be empty.
    std::function<void(SenKeyCore&)> act;
    /// Whether the send-once rule is still there to have its latch looked at.
    bool latchRemains = true;
};

} // namespace

TEST(ReleasePolicy, EveryEndingReleasesHeldKeysAndButtonsAndReopensLatches)
{
    // Engine-driven endings wait a little, so that the presses have been made before they come.
    const Ending endings[] = {
        {"keystrokes disabled", "", [](SenKeyCore& core) { core.setKeystrokesEnabled(false); }},
        {"engine disconnected", "", [](SenKeyCore& core) { core.disconnectEngine(); }},
        {"engine error", "wait 300\nerror the engine gave up\n", {}},
        {"engine gone", "wait 300\nclose\n", {}},
        {"headset removed", "wait 300\nuser remove 0x1001\n", {}},
        {"mappings removed", "", [](SenKeyCore& core) { core.mappingModel()->clearMappings(); }, false},
        {"quit", "", [](SenKeyCore& core) { core.shutdown(); }},
    };
    for (const Ending& ending : endings) {
        SCOPED_TRACE(ending.name);
        Engine engine("state 1 leftEye=1 rightEye=1\n" + ending.scriptTail + "wait 60000\n");
        RecordingBackend recording;
        SenKeyCore core(recording, recording);
        addHeldRules(*core.mappingModel());
        core.setEngineAddress(QStringLiteral("127.0.0.1"), engine.port());
        core.start();

        ASSERT_TRUE(waitFor([&] {
            const auto events = recording.events();
            return contains(events, RE::keyDown(kW)) && contains(events, RE::buttonDown(MouseButton::Left)) &&
                   contains(events, RE::keyUp(kX));
        }));
        if (ending.latchRemains) {
            ASSERT_TRUE(core.mappingModel()->mapping(2)->alreadySent());
        }
        if (ending.act) {
            ending.act(core);
        }
        EXPECT_TRUE(waitFor([&] {
            const auto events = recording.events();
            return releasedAfterPress(events, RE::keyDown(kW), RE::keyUp(kW)) &&
                   releasedAfterPress(events, RE::buttonDown(MouseButton::Left), RE::buttonUp(MouseButton::Left));
        })) << "recorded: " << ::testing::PrintToString(recording.events());
        if (ending.latchRemains) {
            EXPECT_FALSE(core.mappingModel()->mapping(2)->alreadySent()) << "the send-once latch stays closed";
        }
    }
}

TEST(EngineEvents, ABurstOfAThousandEventsReachesTheRulesWholeAndInOrder)
{
    // 999 states of user 1, blink and open in turn, then the headset goes: every blink posts one 'x' to the
    // window, and the release after the last one shows that the headset event came after every state.
    constexpr WindowHandle kWindow = 0x4200001;
    std::string script;
    for (int i = 0; i < 999; ++i) {
        script += i % 2 == 0 ? "state 1 leftEye=1 rightEye=1\n" : "state 1\n";
    }
    script += "user remove 1\nwait 60000\n";
    Engine engine(script);
    RecordingBackend recording;
    recording.addWindow(kWindow, QStringLiteral("Notes"));
    SenKeyCore core(recording, recording);
    SenMapping post(QStringLiteral("post"), nullptr);
    post.setPlayerNum(1);
    post.setSendToFocus(false);
    post.setWindowHandle(kWindow);
    post.setKeys(QStringLiteral("x"));
    post.addCondition(SenStateCondition(SenAction::Blink, nullptr));
    core.mappingModel()->addMapping(post);
    addHeldRules(*core.mappingModel());
    int headsetsGone = 0;
    QObject::connect(&core, &SenKeyCore::headsetDisconnected, [&] { ++headsetsGone; });
    core.setEngineAddress(QStringLiteral("127.0.0.1"), engine.port());
    core.start();

    ASSERT_TRUE(waitFor([&] { return headsetsGone == 1; }));
    const std::vector<RE> events = recording.events();
    EXPECT_EQ(std::count(events.begin(), events.end(), RE::posted(kWindow, 'x')), 500);
    // The held key was pressed by the first blink and let go once, by the headset's going, after the last.
    const auto lastPost = std::find(events.rbegin(), events.rend(), RE::posted(kWindow, 'x'));
    const auto release = std::find(events.rbegin(), events.rend(), RE::keyUp(kW));
    ASSERT_NE(release, events.rend());
    EXPECT_LT(release, lastPost) << "the release came before the last state";
}
