// Nothing stays pressed on a real X server, whichever way a session with held keys, a held button and
// a hot key in progress comes to an end: in process through the evaluation pass, and end to end through
// senkey-run against a real TCP engine. The X server is asked directly (XQueryKeymap, the pointer's
// button mask), since a key the program forgot is still down there after the program is gone.

#include <gtest/gtest.h>

#include "QtApplicationEnvironment.h"

#include <QCoreApplication>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <iterator>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "EmulatorScript.h"
#include "KeyboardEventSimulator.h"
#include "MappingEvaluation.h"
#include "MappingFile.h"
#include "PlatformFactory.h"
#include "RawEnginePeer.h"
#include "SenEvent.h"
#include "SenMapping.h"
#include "SenMappingModel.h"

#include "ChildProcess.h"

// Last: it includes Xlib, whose macros (Bool, Status) clash with names in the headers above.
#include "HeldInput.h"

namespace {

const QString kHeldMappings = TestSupport::heldInputMappings(400);

using Robustness::RawEnginePeer;
using Velmor::SenEngineEvent;

const auto* const environment = TestSupport::addApplicationEnvironment<QCoreApplication>();

bool waitFor(const std::function<bool()>& condition, int timeoutMs = 5000)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (std::chrono::steady_clock::now() < deadline) {
        QCoreApplication::processEvents();
        if (condition()) {
            return true;
        }
        QThread::msleep(3);
    }
    return condition();
}

StateBytes scriptedState(const char* line)
{
    std::vector<ScriptCommand> commands;
    ScriptError error;
    if (!parseScript(line, commands, error) || commands.size() != 1) {
        ADD_FAILURE() << "bad state line: " << line << ": " << error.message;
        return newStateBytes();
    }
    return commands.front().state;
}

std::string stateFrame(std::uint32_t user, const StateBytes& state)
{
    SenEngineEvent update;
    update.setState(user, state.data());
    return RawEnginePeer::frame(update);
}

class NoStuckKey : public TestSupport::XServerTest
{
protected:
    void TearDown() override
    {
        if (server.open()) {
            EXPECT_TRUE(waitFor([&] { return server.nothingPressed(); })) << "left down: " << server.pressed();
        }
    }

    /// The held key, the held button and the hot key are all down at once.
    bool everythingDown()
    {
        return waitFor([&] { return TestSupport::heldInputIsDown(server); });
    }
};

// The ways the program itself lets go while it keeps running.
TEST_F(NoStuckKey, InProcessEndings)
{
    PlatformOptions options;
    options.kind = BackendKind::X11;
    Platform platform = createPlatform(options);
    ASSERT_EQ(platform.injectorKind, BackendKind::X11) << platform.fallbackReason.toStdString();

    const StateBytes push = scriptedState("state 0 mentrix=push mentrixPower=0.8");
    const StateBytes neutral = scriptedState("state 0");
    const struct {
        const char* what;
        std::function<void(SenMappingModel&, KeyboardEventSimulator&)> end;
    } endings[] = {
        {"conditions end",
         [&](SenMappingModel& model, KeyboardEventSimulator& simulator) {
             StateBytes state = neutral;
             evaluateMappings(&model, 0, state.data(), std::chrono::steady_clock::now(), &simulator, {});
         }},
        {"mappings disabled",
         [&](SenMappingModel& model, KeyboardEventSimulator& simulator) {
             for (int i = 0; i < model.mappingCount(); ++i) {
                 model.mapping(i)->setEnabled(false);
             }
             StateBytes state = push;
             evaluateMappings(&model, 0, state.data(), std::chrono::steady_clock::now(), &simulator, {});
         }},
        {"mappings removed", [](SenMappingModel& model, KeyboardEventSimulator&) { model.clearMappings(); }},
        {"one mapping removed at a time",
         [](SenMappingModel& model, KeyboardEventSimulator&) {
             while (model.mappingCount() > 0) {
                 model.removeMapping(0);
             }
         }},
        {"keystrokes disabled", [](SenMappingModel&, KeyboardEventSimulator& simulator) { simulator.releaseAll(); }},
        {"simulator destroyed", [](SenMappingModel& model, KeyboardEventSimulator&) { model.setReleaseHandler({}); }},
    };
    for (const auto& ending : endings) {
        SCOPED_TRACE(ending.what);
        auto simulator = std::make_unique<KeyboardEventSimulator>(*platform.injector, *platform.windowSystem);
        simulator->start();
        SenMappingModel model;
        ASSERT_TRUE(parseModelXml(kHeldMappings, &model));
        releaseRemovedMappings(model, *simulator);

        StateBytes state = push;
        evaluateMappings(&model, 0, state.data(), std::chrono::steady_clock::now(), simulator.get(), {});
        ASSERT_TRUE(everythingDown()) << server.pressed();
        ending.end(model, *simulator);
        if (std::string(ending.what) == "simulator destroyed") {
            simulator.reset();
        }
        EXPECT_TRUE(waitFor([&] { return server.nothingPressed(); })) << "left down: " << server.pressed();
        model.setReleaseHandler({});
    }
}

/// senkey-run on the X11 backend, fed by a real TCP engine played by the test.
class RunnerSession
{
public:
    explicit RunnerSession(const QString& mappingText, const QStringList& options = {})
    {
        const QString file = dir.filePath(QStringLiteral("mappings.skm"));
        QFile out(file);
        if (out.open(QIODevice::WriteOnly)) {
            out.write(mappingText.toUtf8());
        }
        out.close();
        process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        process.start(QStringLiteral(SENKEY_RUN_PATH), QStringList{QStringLiteral("--backend"), QStringLiteral("x11"),
                                                                   QStringLiteral("--port"),
                                                                   QString::number(peer.port())} +
                                                           options + QStringList{file});
    }

    ~RunnerSession() { TestSupport::killIfRunning(process); }

    /// Accepts the runner's connection and reads its version announcement.
    void connect()
    {
        peer.accept();
        peer.read();
    }

    /// Waits for the runner to end; its exit code, or -1 when it does not end or crashes.
    int exitCode() { return TestSupport::exitCodeWithin(process); }

    QTemporaryDir dir;
    RawEnginePeer peer;
    QProcess process;
};

// The ways the session ends from outside: the engine fails, the connection drops, the runner is told to stop.
TEST_F(NoStuckKey, RunnerEndings)
{
    const StateBytes push = scriptedState("state 0 mentrix=push mentrixPower=0.8");
    const struct {
        const char* what;
        std::function<void(RunnerSession&)> end;
        int exitCode;
    } endings[] = {
        {"engine error event",
         [](RunnerSession& s) {
             s.peer.write(RawEnginePeer::frame(SenEngineEvent(Velmor::SenEngineError, 0, "gone")));
         },
         4},
        {"connection dropped", [](RunnerSession& s) { s.peer.close(); }, 4},
        {"connection dropped inside a message",
         [&](RunnerSession& s) {
             s.peer.write(stateFrame(0, push).substr(0, 200));
             s.peer.close();
         },
         4},
        {"SIGTERM", [](RunnerSession& s) { s.process.terminate(); }, 0},
    };
    for (const auto& ending : endings) {
        SCOPED_TRACE(ending.what);
        RunnerSession session(kHeldMappings);
        ASSERT_TRUE(session.process.waitForStarted(5000));
        session.connect();
        session.peer.write(stateFrame(0, push));
        ASSERT_TRUE(everythingDown()) << server.pressed();
        ending.end(session);
        EXPECT_EQ(session.exitCode(), ending.exitCode);
        EXPECT_TRUE(server.nothingPressed()) << "left down: " << server.pressed();
        EXPECT_TRUE(waitFor([&] { return server.nothingPressed(); })) << "left down: " << server.pressed();
    }
}

// Two headsets stream; player 1's stops without being removed while player 0's goes on. The key player 1
// holds comes up once its stale time has passed since its last state, and not before.
TEST_F(NoStuckKey, SilentHeadsetIsReleasedWithinTheStaleTime)
{
    using Clock = std::chrono::steady_clock;
    const int staleMs = 500;
    QString mappings = TestSupport::heldInputMappings(400);
    // Only the held key, and for player 1.
    mappings = mappings.left(mappings.indexOf(QLatin1String("<SenMapping enabled=\"1\" name=\"held button\"")))
                   .replace(QLatin1String("player=\"0\""), QLatin1String("player=\"1\"")) +
               QStringLiteral("</SenMappingModel>\n");
    RunnerSession session(mappings, {QStringLiteral("--stale-ms"), QString::number(staleMs)});
    ASSERT_TRUE(session.process.waitForStarted(5000));
    session.connect();
    const std::string push = stateFrame(1, scriptedState("state 1 mentrix=push mentrixPower=0.8"));
    const std::string other = stateFrame(0, scriptedState("state 0"));

    Clock::time_point lastOfPlayer1;
    for (int beat = 0; beat < 250 && !(server.keyDown(TestSupport::kKeycodeW) && beat > 10); ++beat) {
        session.peer.write(push);
        lastOfPlayer1 = Clock::now();
        session.peer.write(other);
        QThread::msleep(20);
        QCoreApplication::processEvents();
    }
    ASSERT_TRUE(server.keyDown(TestSupport::kKeycodeW)) << server.pressed();

    Clock::time_point released;
    while (Clock::now() - lastOfPlayer1 < std::chrono::seconds(3)) {
        session.peer.write(other);
        QThread::msleep(5);
        if (!server.keyDown(TestSupport::kKeycodeW)) {
            released = Clock::now();
            break;
        }
        QThread::msleep(5);
    }
    ASSERT_NE(released, Clock::time_point{}) << "the key of the silent headset stayed down";
    const auto afterMs = std::chrono::duration_cast<std::chrono::milliseconds>(released - lastOfPlayer1).count();
    RecordProperty("released_after_ms", static_cast<int>(afterMs));
    EXPECT_GE(afterMs, staleMs - 20) << "released while its states were still fresh";
    EXPECT_LE(afterMs, staleMs + 50);
    session.process.terminate();
    EXPECT_EQ(session.exitCode(), 0);
}

// Random mappings, random states and a random end. SENKEY_SOAK_SECONDS makes it longer (default 10) and
// SENKEY_SOAK_SEED replays one run.
TEST_F(NoStuckKey, RandomSoak)
{
    const char* secondsText = std::getenv("SENKEY_SOAK_SECONDS");
    const int seconds = secondsText ? std::atoi(secondsText) : 10;
    const char* seedText = std::getenv("SENKEY_SOAK_SEED");
    const unsigned seed =
        seedText ? static_cast<unsigned>(std::strtoul(seedText, nullptr, 10)) : std::random_device{}();
    std::mt19937 random(seed);
    RecordProperty("seed", std::to_string(seed));
    const auto pick = [&](int n) { return static_cast<int>(random() % static_cast<unsigned>(n)); };

    // What a mapping emits, and the detections it may listen to (Push, Lift power; Blink; Clench strength).
    const char* const emits[] = {
        R"(keys="w" sendHotKeys="0" holdKey="1" mouseclickset="0" mousebutnum="-1" ctrlKey="0" shiftKey="0" hotKey="0" holdTime="20")",
        R"(keys="Ab" sendHotKeys="0" holdKey="1" mouseclickset="0" mousebutnum="-1" ctrlKey="0" shiftKey="0" hotKey="0" holdTime="30")",
        R"(keys="" sendHotKeys="0" holdKey="1" mouseclickset="1" mousebutnum="4" ctrlKey="0" shiftKey="0" hotKey="0" holdTime="20")",
        R"(keys="" sendHotKeys="0" holdKey="0" mouseclickset="1" mousebutnum="2" ctrlKey="0" shiftKey="0" hotKey="0" holdTime="20")",
        R"(keys="" sendHotKeys="0" holdKey="0" mouseclickset="1" mousebutnum="3" ctrlKey="0" shiftKey="0" hotKey="0" holdTime="20")",
        R"(keys="" sendHotKeys="1" holdKey="0" mouseclickset="0" mousebutnum="-1" ctrlKey="1" shiftKey="1" hotKey="16777268" holdTime="300")",
        R"(keys="x" sendHotKeys="0" holdKey="0" mouseclickset="0" mousebutnum="-1" ctrlKey="0" shiftKey="0" hotKey="0" holdTime="150")",
    };
    const char* const conditions[] = {
        R"(<action value="19" /><threshold type="double" value="0.5" /><actionRule value="2" />)",
        R"(<action value="21" /><threshold type="double" value="0.3" /><actionRule value="2" />)",
        R"(<action value="0" /><threshold type="bool" value="true" /><actionRule value="0" />)",
        R"(<action value="8" /><threshold type="double" value="0.4" /><actionRule value="2" />)",
    };
    const char* const states[] = {
        "state 0",
        "state 0 mentrix=push mentrixPower=0.9",
        "state 0 mentrix=lift mentrixPower=0.6",
        "state 0 leftEye=1 rightEye=1",
        "state 0 lowerBits=0x100 lowerPower=0.7",
        "state 0 mentrix=push mentrixPower=0.9 leftEye=1 rightEye=1 lowerBits=0x100 lowerPower=0.7",
    };

    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    int round = 0;
    while (std::chrono::steady_clock::now() < deadline && !HasFailure()) {
        ++round;
        QString text = QStringLiteral("<SenMappingModel mappingName=\"soak\" >\n");
        for (int m = 1 + pick(4); m > 0; --m) {
            text +=
                QStringLiteral("<SenMapping enabled=\"%1\" name=\"m\" sendOnce=\"%2\" sendToFocus=\"1\" targetApp=\"\" "
                               "altKey=\"0\" winKey=\"0\" enterKey=\"0\" triggerDelayTime=\"10\" player=\"%3\" %4>")
                    .arg(pick(5) > 0 ? 1 : 0)
                    .arg(pick(2))
                    .arg(pick(4) > 0 ? 0 : 1)
                    .arg(QString::fromLatin1(emits[pick(std::size(emits))]));
            for (int c = 1 + pick(2); c > 0; --c) {
                text += QStringLiteral("<SenStateCondition><enabled value=\"1\" />%1</SenStateCondition>")
                            .arg(QString::fromLatin1(conditions[pick(std::size(conditions))]));
            }
            text += QStringLiteral("</SenMapping>\n");
        }
        text += QStringLiteral("</SenMappingModel>\n");

        RunnerSession session(text);
        ASSERT_TRUE(session.process.waitForStarted(5000)) << "round " << round;
        session.connect();
        try {
            for (int n = pick(40); n > 0; --n) {
                const std::uint32_t user = pick(5) > 0 ? 0 : 1;
                session.peer.write(stateFrame(user, scriptedState(states[pick(std::size(states))])));
                QThread::msleep(static_cast<unsigned long>(pick(40)));
            }
            switch (pick(4)) {
            case 0:
                session.peer.write(RawEnginePeer::frame(SenEngineEvent(Velmor::SenEngineError, 0, "soak")));
                break;
            case 1:
                session.peer.write(stateFrame(0, scriptedState(states[1])).substr(0, 1 + pick(600)));
                session.peer.close();
                break;
            case 2:
                session.peer.close();
                break;
            default:
                session.process.terminate();
                break;
            }
        } catch (const std::exception& e) {
            ADD_FAILURE() << "round " << round << ": the runner went away early: " << e.what();
        }
        const int code = session.exitCode();
        EXPECT_TRUE(code == 0 || code == 4) << "round " << round << " exit " << code << ", seed " << seed;
        EXPECT_TRUE(server.nothingPressed()) << "round " << round << ", seed " << seed << ": " << server.pressed();
        if (!server.nothingPressed()) {
            break;
        }
    }
    std::printf("soak: %d rounds in %d s, seed %u\n", round, seconds, seed);
}

} // namespace
