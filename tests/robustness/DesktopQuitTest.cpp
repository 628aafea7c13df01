// The desktop program lets go of everything when it ends or loses its engine, checked on a real X
// server: the real senkey on the XTest backend, fed by a real TCP engine, holds a key, the left button
// and a hot key; then it is told to end. XQueryKeymap and the pointer's button mask say what is down.

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>

#include <chrono>
#include <cstdio>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "EngineEmulator.h"

// Last: Xlib defines macros (Bool, Status) that clash with names in the headers above.
#include <X11/Xlib.h>

namespace {

// Linux key codes plus 8, as the X server numbers them.
constexpr int kKeycodeW = 17 + 8;
constexpr int kKeycodeLeftCtrl = 29 + 8;

bool waitFor(const std::function<bool()>& condition, int timeoutMs = 10000)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (std::chrono::steady_clock::now() < deadline) {
        if (condition()) {
            return true;
        }
        QThread::msleep(5);
    }
    return condition();
}

/// What the X server says is down.
class ServerView
{
public:
    ServerView() : display_(XOpenDisplay(nullptr)) {}
    ~ServerView()
    {
        if (display_) {
            XCloseDisplay(display_);
        }
    }
    ServerView(const ServerView&) = delete;
    ServerView& operator=(const ServerView&) = delete;

    bool open() const { return display_ != nullptr; }

    bool keyDown(int keycode)
    {
        char keys[32] = {};
        XQueryKeymap(display_, keys);
        return (keys[keycode / 8] & (1 << (keycode % 8))) != 0;
    }

    unsigned buttonMask()
    {
        Window root = 0, child = 0;
        int rootX = 0, rootY = 0, x = 0, y = 0;
        unsigned mask = 0;
        XQueryPointer(display_, DefaultRootWindow(display_), &root, &child, &rootX, &rootY, &x, &y, &mask);
        return mask & (Button1Mask | Button2Mask | Button3Mask | Button4Mask | Button5Mask);
    }

    /// Every key and button that is down, as text; empty when nothing is.
    std::string pressed()
    {
        char keys[32] = {};
        XQueryKeymap(display_, keys);
        std::string text;
        for (int keycode = 0; keycode < 256; ++keycode) {
            if (keys[keycode / 8] & (1 << (keycode % 8))) {
                text += "key " + std::to_string(keycode) + " ";
            }
        }
        if (const unsigned mask = buttonMask()) {
            text += "buttons " + std::to_string(mask >> 8);
        }
        return text;
    }

private:
    Display* display_;
};

// While Push is above 0.5: W held, the left button held, and Ctrl+Shift+F5 held for eight seconds.
const char* const kMappingFile = R"(<SenMappingModel mappingName="held.skm" >
    <SenMapping enabled="1" name="held key" keys="w" sendOnce="1" sendToFocus="1" targetApp="" sendHotKeys="0" ctrlKey="0" altKey="0" shiftKey="0" winKey="0" enterKey="0" hotKey="0" holdKey="1" holdTime="20" triggerDelayTime="20" player="0" mouseclickset="0" mousebutnum="-1">
        <SenStateCondition>
            <enabled value="1" />
            <action value="19" />
            <threshold type="double" value="0.5" />
            <actionRule value="2" />
        </SenStateCondition>
    </SenMapping>
    <SenMapping enabled="1" name="held button" keys="" sendOnce="1" sendToFocus="1" targetApp="" sendHotKeys="0" ctrlKey="0" altKey="0" shiftKey="0" winKey="0" enterKey="0" hotKey="0" holdKey="1" holdTime="20" triggerDelayTime="20" player="0" mouseclickset="1" mousebutnum="4">
        <SenStateCondition>
            <enabled value="1" />
            <action value="19" />
            <threshold type="double" value="0.5" />
            <actionRule value="2" />
        </SenStateCondition>
    </SenMapping>
    <SenMapping enabled="1" name="hot key" keys="" sendOnce="1" sendToFocus="1" targetApp="" sendHotKeys="1" ctrlKey="1" altKey="0" shiftKey="1" winKey="0" enterKey="0" hotKey="16777268" holdKey="0" holdTime="8000" triggerDelayTime="20" player="0" mouseclickset="0" mousebutnum="-1">
        <SenStateCondition>
            <enabled value="1" />
            <action value="19" />
            <threshold type="double" value="0.5" />
            <actionRule value="2" />
        </SenStateCondition>
    </SenMapping>
</SenMappingModel>
)";

/// A stand-in engine on a free port playing `script`, from its own thread.
class Engine
{
public:
    explicit Engine(std::string_view script) : emulator(freePort(), log, log)
    {
        ScriptError error;
        EXPECT_TRUE(parseScript(script, commands, error)) << error.message;
        std::string listenError;
        EXPECT_TRUE(emulator.listen(listenError)) << listenError;
        server = std::thread([this] { emulator.serve(commands); });
    }
    ~Engine()
    {
        emulator.stop();
        server.join();
        std::fclose(log);
    }
    Engine(const Engine&) = delete;
    Engine& operator=(const Engine&) = delete;

    uint port() const { return emulator.port(); }

private:
    static EmulatorOptions freePort()
    {
        EmulatorOptions options;
        options.port = 0;
        return options;
    }

    std::FILE* log = std::tmpfile();
    EngineEmulator emulator;
    std::vector<ScriptCommand> commands;
    std::thread server;
};

/// The real senkey, started in the tray with the mapping file, aimed at `engine`, in a home of its own.
class DesktopSession
{
public:
    explicit DesktopSession(const Engine& engine)
    {
        const QString file = home.filePath(QStringLiteral("held.skm"));
        QFile out(file);
        if (out.open(QIODevice::WriteOnly)) {
            out.write(kMappingFile);
        }
        out.close();
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("HOME"), home.path());
        environment.remove(QStringLiteral("QT_QPA_PLATFORM"));
        process.setProcessEnvironment(environment);
        process.setProcessChannelMode(QProcess::ForwardedChannels);
        process.start(QStringLiteral(SENKEY_PATH),
                      {QStringLiteral("--backend"), QStringLiteral("x11"), QStringLiteral("--engine"),
                       QStringLiteral("127.0.0.1:%1").arg(engine.port()), QStringLiteral("--composer"),
                       QStringLiteral("127.0.0.1:1"), QStringLiteral("--load"), file, QStringLiteral("--hidden")});
    }

    ~DesktopSession()
    {
        if (process.state() != QProcess::NotRunning) {
            process.kill();
            process.waitForFinished(5000);
        }
    }

    /// Asks the program to end as a desktop session does; its exit code, or -1 when it crashes or hangs.
    int terminate()
    {
        process.terminate();
        if (!process.waitForFinished(10000) || process.exitStatus() != QProcess::NormalExit) {
            return -1;
        }
        return process.exitCode();
    }

    QTemporaryDir home;
    QProcess process;
};

class DesktopQuit : public ::testing::Test
{
protected:
    void SetUp() override
    {
        if (qEnvironmentVariableIsEmpty("DISPLAY") || !server.open()) {
            GTEST_SKIP() << "no X display";
        }
        ASSERT_TRUE(server.pressed().empty()) << "down before the test: " << server.pressed();
    }

    bool everythingDown()
    {
        return waitFor([&] {
            return server.keyDown(kKeycodeW) && server.keyDown(kKeycodeLeftCtrl) && (server.buttonMask() & Button1Mask);
        });
    }

    bool nothingDown()
    {
        return waitFor([&] { return server.pressed().empty(); }, 5000);
    }

    ServerView server;
};

TEST_F(DesktopQuit, TerminatedWhileHoldingLetsGoOfEverything)
{
    Engine engine("user add 0\nwaitrequest 7 5000\nstream 0 20 60 mentrix=push mentrixPower=0.8\n");
    DesktopSession senkey(engine);
    ASSERT_TRUE(senkey.process.waitForStarted(10000));
    ASSERT_TRUE(everythingDown()) << "down: " << server.pressed();

    EXPECT_EQ(senkey.terminate(), 0);
    EXPECT_TRUE(nothingDown()) << "left down: " << server.pressed();
}

TEST_F(DesktopQuit, LostEngineLetsGoWhileTheProgramRuns)
{
    Engine engine("user add 0\nwaitrequest 7 5000\nstream 0 20 3 mentrix=push mentrixPower=0.8\nerror gone\n");
    DesktopSession senkey(engine);
    ASSERT_TRUE(senkey.process.waitForStarted(10000));
    ASSERT_TRUE(everythingDown()) << "down: " << server.pressed();

    EXPECT_TRUE(nothingDown()) << "left down: " << server.pressed();
    EXPECT_EQ(senkey.process.state(), QProcess::Running);
    EXPECT_EQ(senkey.terminate(), 0);
}

} // namespace
