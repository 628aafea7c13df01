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
#include <functional>

#include "ChildProcess.h"
#include "TestEngine.h"

// Last: it includes Xlib, whose macros (Bool, Status) clash with names in the headers above.
#include "HeldInput.h"

namespace {

// The hot key is held for eight seconds, so that it is still down when the program is told to end.
const QString kHeldMappings = TestSupport::heldInputMappings(8000);

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

/// The real senkey, started in the tray with the mapping file, aimed at `engine`, in a home of its own.
class DesktopSession
{
public:
    explicit DesktopSession(const Engine& engine)
    {
        const QString file = home.filePath(QStringLiteral("held.skm"));
        QFile out(file);
        if (out.open(QIODevice::WriteOnly)) {
            out.write(kHeldMappings.toUtf8());
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

    ~DesktopSession() { TestSupport::killIfRunning(process); }

    /// Asks the program to end as a desktop session does; its exit code, or -1 when it crashes or hangs.
    int terminate()
    {
        process.terminate();
        return TestSupport::exitCodeWithin(process);
    }

    QTemporaryDir home;
    QProcess process;
};

class DesktopQuit : public TestSupport::XServerTest
{
protected:
    bool everythingDown()
    {
        return waitFor([&] { return TestSupport::heldInputIsDown(server); });
    }

    bool nothingDown()
    {
        return waitFor([&] { return server.nothingPressed(); }, 5000);
    }
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
