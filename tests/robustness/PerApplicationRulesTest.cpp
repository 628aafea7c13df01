// Rules for one application, end to end in both programs on a desktop of the test's own (Xvfb with
// openbox): two Tk windows of different WM_CLASS, the focus moved between them with xdotool, keys typed
// through XTest by the real senkey-run and the real senkey, fed by a real TCP engine played by the test.

#include <gtest/gtest.h>

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>

#include <string>
#include <vector>

#include "EmulatorScript.h"
#include "RawEnginePeer.h"
#include "SenEvent.h"

// Last: it includes Xlib, whose macros (Bool, Status) clash with names in the headers above.
#include "PrivateDesktop.h"

namespace {

using Robustness::RawEnginePeer;
using TestSupport::PrivateDesktop;
using TestSupport::waitUntil;

// Blink types "a" only in the first window (by instance), "b" only in the second (by class, another
// case), "c" everywhere but the first (by class); Push holds "h" only in the first.
const char* const kMappings = R"(<SenMappingModel mappingName="apps.skm" >
    <SenMapping enabled="1" name="first only" keys="a" sendOnce="1" sendToFocus="1" targetApp="" sendHotKeys="0" ctrlKey="0" altKey="0" shiftKey="0" winKey="0" enterKey="0" hotKey="0" holdKey="0" holdTime="20" triggerDelayTime="20" player="0" mouseclickset="0" mousebutnum="-1" onlyInApps="first">
        <SenStateCondition><enabled value="1" /><action value="0" /><threshold type="bool" value="true" /><actionRule value="0" /></SenStateCondition>
    </SenMapping>
    <SenMapping enabled="1" name="second only" keys="b" sendOnce="1" sendToFocus="1" targetApp="" sendHotKeys="0" ctrlKey="0" altKey="0" shiftKey="0" winKey="0" enterKey="0" hotKey="0" holdKey="0" holdTime="20" triggerDelayTime="20" player="0" mouseclickset="0" mousebutnum="-1" onlyInApps="BETA">
        <SenStateCondition><enabled value="1" /><action value="0" /><threshold type="bool" value="true" /><actionRule value="0" /></SenStateCondition>
    </SenMapping>
    <SenMapping enabled="1" name="not first" keys="c" sendOnce="1" sendToFocus="1" targetApp="" sendHotKeys="0" ctrlKey="0" altKey="0" shiftKey="0" winKey="0" enterKey="0" hotKey="0" holdKey="0" holdTime="20" triggerDelayTime="20" player="0" mouseclickset="0" mousebutnum="-1" neverInApps="alpha">
        <SenStateCondition><enabled value="1" /><action value="0" /><threshold type="bool" value="true" /><actionRule value="0" /></SenStateCondition>
    </SenMapping>
    <SenMapping enabled="1" name="held in first" keys="h" sendOnce="1" sendToFocus="1" targetApp="" sendHotKeys="0" ctrlKey="0" altKey="0" shiftKey="0" winKey="0" enterKey="0" hotKey="0" holdKey="1" holdTime="20" triggerDelayTime="20" player="0" mouseclickset="0" mousebutnum="-1" onlyInApps="first">
        <SenStateCondition><enabled value="1" /><action value="19" /><threshold type="double" value="0.5" /><actionRule value="2" /></SenStateCondition>
    </SenMapping>
</SenMappingModel>
)";

constexpr int kKeycodeH = 35 + 8;

std::string stateFrame(const char* line)
{
    std::vector<ScriptCommand> commands;
    ScriptError error;
    EXPECT_TRUE(parseScript(line, commands, error)) << error.message;
    Velmor::SenEngineEvent update;
    update.setState(0, commands.front().state.data());
    return RawEnginePeer::frame(update);
}

bool keyDown(Display* display, int keycode)
{
    char keys[32] = {};
    XQueryKeymap(display, keys);
    return (keys[keycode / 8] & (1 << (keycode % 8))) != 0;
}

enum class Program { Runner, Desktop };

class PerApplicationRules : public ::testing::TestWithParam<Program>
{
protected:
    void SetUp() override
    {
        if (!desktop.ok() || !desktop.hasWindowManager()) {
            GTEST_SKIP() << "no private X server with openbox";
        }
        first = desktop.openWindow(QStringLiteral("first"), QStringLiteral("Alpha"), QStringLiteral("First"));
        second = desktop.openWindow(QStringLiteral("second"), QStringLiteral("Beta"), QStringLiteral("Second"));
        ASSERT_TRUE(first && second) << "wish did not open its windows";

        QFile out(dir.filePath(QStringLiteral("apps.skm")));
        ASSERT_TRUE(out.open(QIODevice::WriteOnly));
        out.write(kMappings);
        out.close();

        QProcessEnvironment environment = desktop.environment();
        environment.insert(QStringLiteral("HOME"), dir.path());
        program.setProcessEnvironment(environment);
        program.setProcessChannelMode(QProcess::ForwardedChannels);
        const QString file = dir.filePath(QStringLiteral("apps.skm"));
        if (GetParam() == Program::Runner) {
            program.start(QStringLiteral(SENKEY_RUN_PATH),
                          {QStringLiteral("--backend"), QStringLiteral("x11"), QStringLiteral("--port"),
                           QString::number(peer.port()), file});
        } else {
            program.start(QStringLiteral(SENKEY_PATH),
                          {QStringLiteral("--backend"), QStringLiteral("x11"), QStringLiteral("--engine"),
                           QStringLiteral("127.0.0.1:%1").arg(peer.port()), QStringLiteral("--composer"),
                           QStringLiteral("127.0.0.1:1"), QStringLiteral("--load"), file, QStringLiteral("--hidden")});
        }
        ASSERT_TRUE(program.waitForStarted(10000));
        peer.accept();
        peer.read();
    }

    void TearDown() override { TestSupport::killIfRunning(program); }

    /// Moves the focus and gives the program time to see the window manager's property change.
    void focus(PrivateDesktop::KeyWindow* window)
    {
        ASSERT_TRUE(desktop.focus(*window));
        QThread::msleep(500);
    }

    /// One blink, which types what the rules allow in the focused window.
    void blink()
    {
        peer.write(stateFrame("state 0 leftEye=1 rightEye=1"));
        peer.write(stateFrame("state 0"));
    }

    bool keysBecome(PrivateDesktop::KeyWindow* window, const QString& keys)
    {
        return waitUntil([&] {
            desktop.readKeys(*window);
            return window->keys == keys;
        });
    }

    PrivateDesktop desktop{true};
    PrivateDesktop::KeyWindow* first = nullptr;
    PrivateDesktop::KeyWindow* second = nullptr;
    QTemporaryDir dir;
    RawEnginePeer peer;
    QProcess program;
};

TEST_P(PerApplicationRules, EachRuleTypesOnlyIntoItsApplications)
{
    focus(first);
    blink();
    EXPECT_TRUE(keysBecome(first, QStringLiteral("a"))) << first->keys.toStdString();
    focus(second);
    blink();
    EXPECT_TRUE(keysBecome(second, QStringLiteral("bc"))) << second->keys.toStdString();
    focus(first);
    blink();
    EXPECT_TRUE(keysBecome(first, QStringLiteral("aa"))) << first->keys.toStdString();

    // Whatever was still on its way has arrived by now.
    QThread::msleep(300);
    desktop.readKeys(*first);
    desktop.readKeys(*second);
    EXPECT_EQ(first->keys, QStringLiteral("aa"));
    EXPECT_EQ(second->keys, QStringLiteral("bc"));
}

TEST_P(PerApplicationRules, AHeldKeyComesUpWhenTheFocusLeavesItsApplication)
{
    focus(first);
    peer.write(stateFrame("state 0 mentrix=push mentrixPower=0.8"));
    ASSERT_TRUE(waitUntil([&] { return keyDown(desktop.display(), kKeycodeH); })) << "h never went down";
    // No further state comes: the focus move alone lets go of the key.
    ASSERT_TRUE(desktop.focus(*second));
    EXPECT_TRUE(waitUntil([&] { return !keyDown(desktop.display(), kKeycodeH); }, 3000)) << "h stayed down";
    desktop.readKeys(*first);
    desktop.readKeys(*second);
    EXPECT_EQ(first->keys, QStringLiteral("h"));
    EXPECT_EQ(second->keys, QString());

    // Back in its application while Push still holds, the rule presses again on the next state.
    focus(first);
    peer.write(stateFrame("state 0 mentrix=push mentrixPower=0.8"));
    EXPECT_TRUE(waitUntil([&] { return keyDown(desktop.display(), kKeycodeH); }));
    peer.write(stateFrame("state 0"));
    EXPECT_TRUE(waitUntil([&] { return !keyDown(desktop.display(), kKeycodeH); }));
}

INSTANTIATE_TEST_SUITE_P(BothPrograms, PerApplicationRules, ::testing::Values(Program::Runner, Program::Desktop),
                         [](const ::testing::TestParamInfo<Program>& param) {
                             return param.param == Program::Runner ? "Runner" : "Desktop";
                         });

} // namespace
