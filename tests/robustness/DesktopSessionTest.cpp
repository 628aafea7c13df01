// The real desktop program as its users meet it: on a desktop of the test's own (Xvfb, openbox and, where
// the case needs one, a tray), driven with xdotool. Every way of quitting ends the process, asks about
// unsaved changes at most once and leaves nothing pressed; no rule types into a window of the program.

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <csignal>

#include "TestEngine.h"

// Last: it includes Xlib, whose macros clash with names in the headers above.
#include "PrivateDesktop.h"

namespace {

using TestSupport::PrivateDesktop;
using TestSupport::waitUntil;

/// While Push is above 0.5, `keys` for the application in focus: held when `hold`, else typed on
/// every state.
QString pushMapping(const QString& keys, bool hold)
{
    return QStringLiteral(R"(<SenMappingModel mappingName="push.skm" >
    <SenMapping enabled="1" name="push" keys="%1" sendOnce="%2" sendToFocus="1" targetApp="" sendHotKeys="0" ctrlKey="0" altKey="0" shiftKey="0" winKey="0" enterKey="0" hotKey="0" holdKey="%3" holdTime="5" triggerDelayTime="5" player="0" mouseclickset="0" mousebutnum="-1">
        <SenStateCondition>
            <enabled value="1" />
            <action value="19" />
            <threshold type="double" value="0.5" />
            <actionRule value="2" />
        </SenStateCondition>
    </SenMapping>
</SenMappingModel>
)")
        .arg(keys, hold ? QStringLiteral("1") : QStringLiteral("0"), hold ? QStringLiteral("1") : QStringLiteral("0"));
}

/// The rule of pushMapping, aimed at a window of this title rather than at the focus.
QString pushMappingToWindow(const QString& keys, const QString& title)
{
    QString text = pushMapping(keys, false);
    text.replace(QStringLiteral("sendToFocus=\"1\" targetApp=\"\""),
                 QStringLiteral("sendToFocus=\"0\" targetApp=\"%1\"").arg(title));
    return text;
}

/// The real senkey on `desktop`, in a home of its own, with the XTest backend.
class Senkey
{
public:
    Senkey(const PrivateDesktop& onDesktop, QStringList arguments, const QString& mappings = {}) : desktop(onDesktop)
    {
        if (!mappings.isEmpty()) {
            const QString file = home.filePath(QStringLiteral("push.skm"));
            QFile out(file);
            if (out.open(QIODevice::WriteOnly)) {
                out.write(mappings.toUtf8());
            }
            arguments << QStringLiteral("--load") << file;
        }
        process.setProcessEnvironment(onDesktop.environment(home.path()));
        process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        process.setStandardOutputFile(QProcess::nullDevice());
        process.start(QStringLiteral(SENKEY_PATH), QStringList{QStringLiteral("--backend"), QStringLiteral("x11")} +
                                                       arguments);
    }
    ~Senkey() { TestSupport::killIfRunning(process); }

    bool mainWindowShown() const
    {
        return waitUntil([&] { return !desktop.windowsNamed(QStringLiteral("^Velmor Orrin SenKey")).isEmpty(); });
    }

    /// Waits for the process to end, answering each unsaved-changes prompt with Discard; the number of
    /// prompts, or -1 when the process is still running after `timeoutMs`.
    int promptsUntilExit(int timeoutMs = 10000)
    {
        QStringList seen;
        const bool ended = waitUntil(
            [&] {
                // QProcess hears of the exit only while it waits for it.
                if (process.state() == QProcess::NotRunning || process.waitForFinished(20)) {
                    return true;
                }
                for (const QString& prompt : desktop.windowsNamed(QStringLiteral("^SenKey$"))) {
                    if (!seen.contains(prompt)) {
                        seen << prompt;
                        desktop.xdotool({QStringLiteral("windowactivate"), QStringLiteral("--sync"), prompt});
                        desktop.key(QStringLiteral("alt+d"));
                    }
                }
                return false;
            },
            timeoutMs);
        return ended ? static_cast<int>(seen.size()) : -1;
    }

    const PrivateDesktop& desktop;
    QTemporaryDir home;
    QProcess process;
};

enum class Way { Menu, Shortcut, Tray, Close, Terminate, Interrupt };

struct QuitCase {
    const char* name;
    Way way;
    bool hidden;
    bool unsaved;
    bool tray;
    int prompts;
};

void PrintTo(const QuitCase& c, std::ostream* os)
{
    *os << c.name;
}

class DesktopQuitting : public ::testing::TestWithParam<QuitCase>
{
};

/// Opens the tray icon's menu with the pointer and chooses Quit by its mnemonic.
void quitFromTray(const PrivateDesktop& desktop, int balloonMs)
{
    // trayer stands at the top right corner, 64 pixels wide; the program's icon is its only one, at its
    // right end. The balloon that points at it goes first, since a click on it shows the window.
    QThread::msleep(static_cast<unsigned long>(balloonMs) + 500);
    desktop.xdotool({QStringLiteral("mousemove"), QStringLiteral("--sync"), QStringLiteral("1012"), QStringLiteral("12")});
    QThread::msleep(200);
    desktop.xdotool({QStringLiteral("click"), QStringLiteral("3")});
    QThread::msleep(500);
    desktop.key(QStringLiteral("q"));
}

TEST_P(DesktopQuitting, EndsAsksAtMostOnceAndLeavesNothingPressed)
{
    const QuitCase c = GetParam();
    PrivateDesktop desktop(c.tray);
    ASSERT_TRUE(desktop.isReady());
    // A rule holds W while the program is in the tray and nothing of it has the keyboard.
    Engine engine("user add 0\nwaitrequest 7 5000\nstream 0 20 60 mentrix=push mentrixPower=0.8\n");
    QStringList arguments{QStringLiteral("--engine"), QStringLiteral("127.0.0.1:%1").arg(engine.port()),
                          QStringLiteral("--composer"), QStringLiteral("127.0.0.1:1")};
    if (c.hidden && !c.unsaved) {
        arguments << QStringLiteral("--hidden");
    }
    Senkey senkey(desktop, arguments, pushMapping(QStringLiteral("w"), true));
    ASSERT_TRUE(senkey.process.waitForStarted(10000));
    if (!(c.hidden && !c.unsaved)) {
        ASSERT_TRUE(senkey.mainWindowShown());
        ASSERT_TRUE(desktop.activate(QStringLiteral("^Velmor Orrin SenKey")));
    }
    if (c.unsaved) {
        desktop.key(QStringLiteral("alt+r"));
        ASSERT_TRUE(waitUntil([&] { return !desktop.windowsNamed(QStringLiteral("SenKey 3.5.0 \\*$")).isEmpty(); }))
            << "Add Rule marks the title";
        if (c.hidden) {
            desktop.key(QStringLiteral("alt+F4"));
            ASSERT_TRUE(waitUntil([&] { return desktop.windowsNamed(QStringLiteral("^Velmor Orrin SenKey")).isEmpty(); }));
        }
    }
    if (c.hidden) {
        ASSERT_TRUE(waitUntil([&] { return desktop.pressed().find("key 25") != std::string::npos; }))
            << "the rule holds W while the program is in the tray";
    }

    switch (c.way) {
    case Way::Menu:
        desktop.key(QStringLiteral("alt+a"));
        QThread::msleep(200);
        desktop.key(QStringLiteral("q"));
        break;
    case Way::Shortcut:
        desktop.key(QStringLiteral("ctrl+q"));
        break;
    case Way::Tray:
        // The connection's balloon stays 3 s, the hint that the closed window went to the tray 10 s.
        quitFromTray(desktop, c.hidden && c.unsaved ? 10000 : 3000);
        break;
    case Way::Close:
        desktop.key(QStringLiteral("alt+F4"));
        break;
    case Way::Terminate:
        senkey.process.terminate();
        break;
    case Way::Interrupt:
        ::kill(static_cast<pid_t>(senkey.process.processId()), SIGINT);
        break;
    }
    EXPECT_EQ(senkey.promptsUntilExit(), c.prompts);
    EXPECT_EQ(senkey.process.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(senkey.process.exitCode(), 0);
    EXPECT_TRUE(waitUntil([&] { return desktop.pressed().empty(); }, 3000)) << "left down: " << desktop.pressed();
}

INSTANTIATE_TEST_SUITE_P(
    EveryWay, DesktopQuitting,
    ::testing::Values(QuitCase{"MenuShownSavedTray", Way::Menu, false, false, true, 0},
                      QuitCase{"ShortcutShownUnsavedTray", Way::Shortcut, false, true, true, 1},
                      QuitCase{"ShortcutShownUnsavedNoTray", Way::Shortcut, false, true, false, 1},
                      QuitCase{"MenuShownSavedNoTray", Way::Menu, false, false, false, 0},
                      QuitCase{"TrayHiddenSaved", Way::Tray, true, false, true, 0},
                      QuitCase{"TrayHiddenUnsaved", Way::Tray, true, true, true, 1},
                      QuitCase{"TrayShownSaved", Way::Tray, false, false, true, 0},
                      QuitCase{"CloseWithoutTrayUnsaved", Way::Close, false, true, false, 1},
                      QuitCase{"TerminateHiddenSavedTray", Way::Terminate, true, false, true, 0},
                      QuitCase{"TerminateShownUnsavedNoTray", Way::Terminate, false, true, false, 0},
                      QuitCase{"TerminateHiddenUnsavedTray", Way::Terminate, true, true, true, 0},
                      QuitCase{"InterruptShownUnsavedTray", Way::Interrupt, false, true, true, 0},
                      QuitCase{"InterruptHiddenSavedNoTray", Way::Interrupt, true, false, false, 0}),
    [](const ::testing::TestParamInfo<QuitCase>& param) { return std::string(param.param.name); });

/// A Tk text window titled `title` that prints every character it receives.
class TkTarget
{
public:
    TkTarget(const PrivateDesktop& desktop, const QString& title)
    {
        const QString script = dir.filePath(QStringLiteral("target.tcl"));
        QFile out(script);
        if (out.open(QIODevice::WriteOnly)) {
            out.write(QStringLiteral("wm title . {%1}\ntext .t -width 30 -height 5\npack .t\nfocus .t\n"
                                     "bind .t <KeyPress> {puts -nonewline %A; flush stdout}\n")
                          .arg(title)
                          .toUtf8());
        }
        out.close();
        process.setProcessEnvironment(desktop.environment());
        process.start(QStringLiteral("wish"), {script});
        process.waitForStarted(5000);
        waitUntil([&] { return !desktop.windowsNamed(QStringLiteral("^") + title + QStringLiteral("$")).isEmpty(); });
    }
    ~TkTarget() { TestSupport::killIfRunning(process); }

    /// What arrived since the last call.
    QString received()
    {
        process.waitForReadyRead(50);
        return QString::fromUtf8(process.readAllStandardOutput());
    }

    QTemporaryDir dir;
    QProcess process;
};

constexpr int kKeycodeH = 35 + 8;

class DesktopGuard : public ::testing::Test
{
};

// A rule types "h" on every state. Wherever a window of the program has the keyboard, not one key
// reaches the server; back in the Tk window the typing goes on.
TEST_F(DesktopGuard, RulesTypeIntoNoWindowOfTheProgram)
{
    PrivateDesktop desktop(true);
    ASSERT_TRUE(desktop.isReady());
    ASSERT_TRUE(desktop.watchKey(kKeycodeH));
    TkTarget target(desktop, QStringLiteral("Tk target"));
    Engine engine("user add 0\nwaitrequest 7 5000\nstream 0 20 60 mentrix=push mentrixPower=0.8\n");
    Senkey senkey(desktop,
                  {QStringLiteral("--engine"), QStringLiteral("127.0.0.1:%1").arg(engine.port()),
                   QStringLiteral("--composer"), QStringLiteral("127.0.0.1:1")},
                  pushMapping(QStringLiteral("h"), false));
    ASSERT_TRUE(senkey.mainWindowShown());

    ASSERT_TRUE(desktop.activate(QStringLiteral("^Tk target$")));
    EXPECT_TRUE(waitUntil([&] { return target.received().contains(QLatin1Char('h')); })) << "the rule types";

    const auto quietWhile = [&](const QString& window, const QString& keysToOpen, const QString& keysToClose) {
        SCOPED_TRACE(window.toStdString());
        ASSERT_TRUE(desktop.activate(QStringLiteral("^Velmor Orrin SenKey")));
        if (!keysToOpen.isEmpty()) {
            desktop.key(keysToOpen);
        }
        ASSERT_TRUE(waitUntil([&] { return !desktop.windowsNamed(window).isEmpty(); })) << "did not open";
        ASSERT_TRUE(desktop.activate(window));
        QThread::msleep(200);
        desktop.keyPressesSinceLastAsked();
        QThread::msleep(1000);
        EXPECT_EQ(desktop.keyPressesSinceLastAsked(), 0) << "typed while the program had the keyboard";
        if (!keysToClose.isEmpty()) {
            desktop.key(keysToClose);
            EXPECT_TRUE(waitUntil([&] { return desktop.windowsNamed(window).isEmpty(); })) << "did not close";
        }
    };
    quietWhile(QStringLiteral("^Velmor Orrin SenKey"), {}, {});
    quietWhile(QStringLiteral("^Save mapping file$"), QStringLiteral("ctrl+shift+s"), QStringLiteral("Escape"));
    quietWhile(QStringLiteral("^Load SenKey Mapping$"), QStringLiteral("ctrl+l"), QStringLiteral("Escape"));
    quietWhile(QStringLiteral("^About Velmor Orrin SenKey$"), QStringLiteral("F1"), QStringLiteral("Escape"));
    // The rules' table has the keyboard after a load; the Key(s) cell is two to the right of the player.
    quietWhile(QStringLiteral("^Configure key / mouse emulation$"), QStringLiteral("Right Right Return"),
               QStringLiteral("Escape"));
    quietWhile(QStringLiteral("^Target Application...$"), QStringLiteral("Right Right Return"),
               QStringLiteral("Escape"));
    // A rule added first, so that Quit asks; the prompt comes only once the title shows the change.
    ASSERT_TRUE(desktop.activate(QStringLiteral("^Velmor Orrin SenKey")));
    desktop.key(QStringLiteral("alt+r"));
    ASSERT_TRUE(waitUntil([&] { return !desktop.windowsNamed(QStringLiteral("^Velmor Orrin SenKey.* \\*$")).isEmpty(); }));
    quietWhile(QStringLiteral("^SenKey$"), QStringLiteral("ctrl+q"), QStringLiteral("Escape"));

    ASSERT_TRUE(desktop.activate(QStringLiteral("^Tk target$")));
    target.received();
    EXPECT_TRUE(waitUntil([&] { return target.received().contains(QLatin1Char('h')); }))
        << "typing goes on once the focus is back in the other program";
}

// A window chosen from the dialog's list of open windows is stored with its title, found again by that
// title after a load, and typed into.
TEST_F(DesktopGuard, AWindowChosenFromTheListSurvivesSaveAndLoad)
{
    PrivateDesktop desktop(true);
    ASSERT_TRUE(desktop.isReady());
    TkTarget target(desktop, QStringLiteral("Tk target"));
    Engine engine("user add 0\nwaitrequest 7 5000\nstream 0 20 60 mentrix=push mentrixPower=0.8\n");
    const QStringList arguments{QStringLiteral("--engine"), QStringLiteral("127.0.0.1:%1").arg(engine.port()),
                                QStringLiteral("--composer"), QStringLiteral("127.0.0.1:1")};
    QString saved;
    {
        Senkey senkey(desktop, arguments, pushMappingToWindow(QStringLiteral("h"), QString()));
        ASSERT_TRUE(senkey.mainWindowShown());
        ASSERT_TRUE(desktop.activate(QStringLiteral("^Velmor Orrin SenKey")));
        // From the rules' table: the Target cell, its dialog, the list, its first entry, Apply.
        desktop.key(QStringLiteral("Right Right Right Right Return"));
        ASSERT_TRUE(waitUntil([&] { return !desktop.windowsNamed(QStringLiteral("^Target Application")).isEmpty(); }));
        ASSERT_TRUE(desktop.activate(QStringLiteral("^Target Application")));
        // The list's entry is found by typing its first letters, as in any list.
        desktop.key(QStringLiteral("alt+w T k alt+a"));
        ASSERT_TRUE(waitUntil([&] { return desktop.windowsNamed(QStringLiteral("^Target Application")).isEmpty(); }));
        // Tk takes sent characters only while it has the focus.
        ASSERT_TRUE(desktop.activate(QStringLiteral("^Tk target$")));
        EXPECT_TRUE(waitUntil([&] { return target.received().contains(QLatin1Char('h')); }))
            << "the rule posts to the chosen window";
        ASSERT_TRUE(desktop.activate(QStringLiteral("^Velmor Orrin SenKey")));
        desktop.key(QStringLiteral("ctrl+s"));
        const QString file = senkey.home.filePath(QStringLiteral("Documents/Velmor/SenKeyMappingFiles/push.skm"));
        ASSERT_TRUE(waitUntil([&] { return QFile::exists(file); }));
        QFile in(file);
        ASSERT_TRUE(in.open(QIODevice::ReadOnly));
        saved = QString::fromUtf8(in.readAll());
        EXPECT_TRUE(saved.contains(QStringLiteral("targetApp=\"Tk target\""))) << saved.toStdString();
        senkey.process.terminate();
        ASSERT_TRUE(senkey.process.waitForFinished(10000));
    }
    target.received();
    Senkey again(desktop, arguments, saved);
    ASSERT_TRUE(again.mainWindowShown());
    ASSERT_TRUE(desktop.activate(QStringLiteral("^Tk target$")));
    EXPECT_TRUE(waitUntil([&] { return target.received().contains(QLatin1Char('h')); }))
        << "after the load the rule finds the window by its title and posts to it";
}

} // namespace
