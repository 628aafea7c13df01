#include "KeepAliveThread.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QElapsedTimer>

#include <memory>
#include <thread>

#include "SenStateRecord.h"
#include "TestEngine.h"

namespace StateLayout = Velmor::StateLayout;

namespace {

QCoreApplication& application()
{
    static int argc = 1;
    static char name[] = "KeepAliveThreadTest";
    static char* argv[] = {name, nullptr};
    static QCoreApplication app(argc, argv);
    return app;
}

/// Everything the controller reports, in order, as received on the test's thread.
class Recorder : public QObject
{
public:
    explicit Recorder(KeepAliveThread& thread)
    {
        auto note = [this](QString what) { reports.append(what); };
        connect(&thread, &KeepAliveThread::engineConnected, this, [=] { note("connected"); });
        connect(&thread, &KeepAliveThread::engineDisconnected, this, [=] { note("disconnected"); });
        connect(&thread, &KeepAliveThread::engineCannotBeConnected, this, [=] { note("cannot connect"); });
        connect(&thread, &KeepAliveThread::headsetConnected, this, [=](uint u) { note(QString("headset %1").arg(u)); });
        connect(&thread, &KeepAliveThread::headsetDisconnected, this,
                [=](uint u) { note(QString("headset %1 gone").arg(u)); });
        connect(&thread, &KeepAliveThread::SendModeApp, this, [=](QString mode) { note("mode " + mode); });
        connect(&thread, &KeepAliveThread::SenStateChanged, this, [this](uint user, SenStateSnapshot state) {
            reports.append(QString("state %1").arg(user));
            states.append(state);
        });
    }

    /// Runs the event loop until `done` holds; false after 60 s.
    template <class Predicate> bool waitFor(Predicate done)
    {
        QDeadlineTimer deadline(60000);
        while (!done()) {
            if (deadline.hasExpired()) {
                return false;
            }
            QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        }
        return true;
    }

    bool waitForSignal(const QString& what)
    {
        return waitFor([&] { return reports.contains(what); });
    }

    QStringList reports;
    QList<SenStateSnapshot> states;
};

std::string scriptOfStates(int count)
{
    std::string script;
    for (int i = 0; i < count; ++i) {
        script += "state 1 upperBits=" + std::to_string(i) + "\n";
    }
    return script;
}

} // namespace

TEST(KeepAliveThread, HeadsetTypeComesFromTheHeadsetHalfOfTheVersion)
{
    struct Case {
        quint32 version;
        const char* type;
    };
    const Case cases[] = {
        {0x0170'0000, "TESSARA"}, {0x0565'0000, "ORVA"},    {0x5023'0000, "TESSARA"},
        {0x5123'0000, "ORVA"},    {0x0912'0000, "TESSARA"}, {0, "ORVA"},
        {0x1000'0005, "ORVA"},    {0x17B0'0000, "TESSARA"}, {0x1E00'0000, "ORVA"},
        {0x9042'0000, "TESSARA"}, {0x08FF'0000, "TESSARA"}, {0x0170'FFFF, "TESSARA"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(KeepAliveThread::headsetTypeFromVersion(c.version), c.type) << std::hex << c.version;
    }
}

TEST(KeepAliveThread, UserAddedAsksTheEngineForTheHeadsetVersion)
{
    application();
    struct Case {
        std::uint16_t headset;
        const char* type;
    };
    for (const Case c : {Case{0x0170, "TESSARA"}, Case{0x0565, "ORVA"}, Case{0x5023, "TESSARA"}, Case{0x5123, "ORVA"},
                         Case{0x0912, "TESSARA"}, Case{0, "ORVA"}}) {
        SCOPED_TRACE(c.headset);
        EmulatorOptions options;
        options.headsetVersion = c.headset;
        options.dongleVersion = 0x0912; // must not matter
        Engine engine("user add 4\n", options);
        KeepAliveThread thread;
        thread.setEngineAddress("127.0.0.1", engine.port());
        Recorder recorder(thread);
        thread.start();
        ASSERT_TRUE(recorder.waitForSignal("headset 4"));
        EXPECT_EQ(recorder.reports, QStringList({"connected", QString("mode ") + c.type, "headset 4"}));
    }
}

TEST(KeepAliveThread, EachStateIsItsOwnCopyWithATwelveBitUserId)
{
    application();
    Engine engine("state 0x1001 mentrix=push mentrixPower=0.25\n"
                  "state 2 mentrix=lift mentrixPower=0.75\n"
                  "user remove 2\n");
    KeepAliveThread thread;
    thread.setEngineAddress("127.0.0.1", engine.port());
    Recorder recorder(thread);
    thread.start();
    ASSERT_TRUE(recorder.waitForSignal("headset 2 gone"));
    EXPECT_EQ(recorder.reports, QStringList({"connected", "state 1", "state 2", "headset 2 gone"}));
    ASSERT_EQ(recorder.states.size(), 2);
    // The first record still holds the first state after the second one came.
    EXPECT_NE(recorder.states[0].handle(), recorder.states[1].handle());
    EXPECT_EQ(nxlStateMentrixAction(recorder.states[0].handle()), 2);
    EXPECT_EQ(nxlStateMentrixPower(recorder.states[0].handle()), 0.25F);
    EXPECT_EQ(nxlStateMentrixAction(recorder.states[1].handle()), 8);
    EXPECT_EQ(nxlStateMentrixPower(recorder.states[1].handle()), 0.75F);
}

TEST(KeepAliveThread, ABurstOfStatesIsTakenWholeAndInOrder)
{
    application();
    constexpr int kStates = 5000;
    Engine engine(scriptOfStates(kStates));
    KeepAliveThread thread;
    thread.setEngineAddress("127.0.0.1", engine.port());
    Recorder recorder(thread);
    thread.start();
    ASSERT_TRUE(recorder.waitFor([&] { return recorder.states.size() >= kStates; }))
        << "only " << recorder.states.size() << " states arrived";
    ASSERT_EQ(recorder.states.size(), kStates);
    for (int i = 0; i < kStates; ++i) {
        ASSERT_EQ(StateLayout::readU32(recorder.states[i].handle(), StateLayout::kUpperFaceBits),
                  static_cast<quint32>(i));
    }
}

TEST(KeepAliveThread, NoEngineIsReportedOnceAndNotRetried)
{
    application();
    uint freePort = 0;
    {
        Engine probe("");
        freePort = probe.port();
    }
    KeepAliveThread thread;
    thread.setEngineAddress("127.0.0.1", freePort);
    Recorder recorder(thread);
    thread.start();
    ASSERT_TRUE(recorder.waitForSignal("cannot connect"));
    QDeadlineTimer settle(300);
    recorder.waitFor([&] { return settle.hasExpired(); });
    EXPECT_EQ(recorder.reports, QStringList({"cannot connect"}));
    EXPECT_FALSE(thread.isConnected());
}

TEST(KeepAliveThread, AnEngineErrorDisconnectsAndOnlyAReconnectComesBack)
{
    application();
    Engine engine("state 1\n"
                  "error the engine gave up\n"
                  "wait 60000\n");
    KeepAliveThread thread;
    thread.setEngineAddress("127.0.0.1", engine.port());
    Recorder recorder(thread);
    thread.start();
    ASSERT_TRUE(recorder.waitForSignal("cannot connect"));
    EXPECT_EQ(recorder.reports, QStringList({"connected", "state 1", "disconnected", "cannot connect"}));
    EXPECT_FALSE(thread.isConnected());

    recorder.reports.clear();
    thread.onReconnectEngine();
    EXPECT_TRUE(thread.isConnected());
    // A connect while connected keeps the live connection and reports nothing.
    EXPECT_TRUE(thread.onConnectEngine("127.0.0.1", 1));
    ASSERT_TRUE(recorder.waitForSignal("state 1"));
    thread.disconnectEngine();
    thread.disconnectEngine();
    recorder.waitForSignal("disconnected");
    EXPECT_EQ(recorder.reports.mid(0, 3), QStringList({"connected", "state 1", "disconnected"}));
    EXPECT_EQ(recorder.reports.count("disconnected"), 1);
}

TEST(KeepAliveThread, DestroyingAConnectedThreadDisconnects)
{
    application();
    Engine engine("state 3\n");
    QStringList seen;
    {
        KeepAliveThread thread;
        thread.setEngineAddress("127.0.0.1", engine.port());
        Recorder recorder(thread);
        thread.start();
        ASSERT_TRUE(recorder.waitForSignal("state 3"));
        QObject::connect(&thread, &KeepAliveThread::engineDisconnected, [&] { seen << "disconnected"; });
    }
    EXPECT_EQ(seen, QStringList({"disconnected"}));
}

TEST(KeepAliveThread, AnUnansweredHardwareQuestionHoldsUpNeitherOtherEventsNorTheEnd)
{
    application();
    EmulatorOptions options;
    options.unansweredRequests = {7};
    // Three user-added events of one headset cost one question; the states and the removal behind them
    // are not held up by it.
    Engine engine("user add 4\nuser add 4\nuser add 4\nstate 1\nuser remove 9\nwait 60000\n", options);
    auto thread = std::make_unique<KeepAliveThread>();
    thread->setEngineAddress("127.0.0.1", engine.port());
    Recorder recorder(*thread);
    thread->start();
    ASSERT_TRUE(recorder.waitForSignal("headset 9 gone"));
    EXPECT_EQ(recorder.reports, QStringList({"connected", "state 1", "headset 9 gone"}));
    // The one question runs out (the library's limit is 2 s) and answers all three events.
    ASSERT_TRUE(recorder.waitFor([&] { return recorder.reports.count("headset 4") == 3; }));
    EXPECT_EQ(recorder.reports.mid(3), QStringList({"mode ORVA", "headset 4", "mode ORVA", "headset 4", "mode ORVA",
                                                    "headset 4"}));

    // A headset added later under another id is asked again; destroying the thread does not wait for that.
    recorder.reports.clear();
    Engine silent("user add 5\nwait 60000\n", options);
    thread->disconnectEngine();
    thread->onConnectEngine("127.0.0.1", silent.port());
    QDeadlineTimer asked(300);
    recorder.waitFor([&] { return asked.hasExpired(); });
    QElapsedTimer ending;
    ending.start();
    thread.reset();
    EXPECT_LT(ending.elapsed(), 1000) << "the end waited for the unanswered question";
    EXPECT_FALSE(recorder.reports.contains("headset 5"));
}
