#include "SenThread.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <stdexcept>
#include <string>
#include <thread>

#include "SenMutex.h"
#include "SenSignal.h"

using namespace Velmor;

namespace {

// Runs until released, so tests decide when the body ends.
class HeldThread : public SenThread
{
public:
    explicit HeldThread(const char* name = "held") : SenThread(name) {}
    ~HeldThread() override
    {
        release.set();
        join();
    }

    SenSignal release;
    std::atomic<bool> ran{false};

protected:
    void run() override
    {
        ran = true;
        release.wait(-1);
    }
};

class ThrowingThread : public SenThread
{
public:
    explicit ThrowingThread(bool standard) : SenThread("throwing"), m_standard(standard) {}
    ~ThrowingThread() override { join(); }

protected:
    void run() override
    {
        if (m_standard) {
            throw std::runtime_error("body failed");
        }
        throw 42;
    }

private:
    bool m_standard;
};

void waitUntilFinished(const SenThread& thread)
{
    while (thread.runState() != SenThread::Finished) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
}

} // namespace

TEST(SenThread, DoesNotRunBeforeStartAndJoinReturnsFalseThen)
{
    HeldThread thread;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_FALSE(thread.ran);
    EXPECT_EQ(thread.runState(), SenThread::Created);
    EXPECT_FALSE(thread.join());

    thread.start();
    thread.start(); // a second start does nothing
    EXPECT_EQ(thread.runState(), SenThread::Started);
    // A join that comes after the body has ended returns false, so the body is released only well
    // after this thread has started waiting, even on a loaded machine.
    std::thread releaser([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        thread.release.set();
    });
    EXPECT_TRUE(thread.join());
    releaser.join();
    EXPECT_TRUE(thread.ran);
    EXPECT_EQ(thread.runState(), SenThread::Finished);
    EXPECT_FALSE(thread.join()); // already finished
}

TEST(SenThread, TwoJoinersBothReturnWhenTheBodyEnds)
{
    HeldThread thread;
    thread.start();
    std::atomic<int> joined{0};
    std::thread a([&] { joined += thread.join() ? 1 : 0; });
    std::thread b([&] { joined += thread.join() ? 1 : 0; });
    // Long enough for both joiners to be waiting before the body ends, even on a loaded machine.
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    EXPECT_EQ(joined, 0);
    thread.release.set();
    a.join();
    b.join();
    EXPECT_EQ(joined, 2);
}

TEST(SenThread, ThrowingBodyStillFinishes)
{
    for (const bool standard : {true, false}) {
        ThrowingThread thread(standard);
        thread.start();
        waitUntilFinished(thread);
        EXPECT_FALSE(thread.join());
    }
}

TEST(SenThread, NamesAreDefaultedAndCut)
{
    const std::string longName(300, 'n');
    SenThread named(longName.c_str());
    EXPECT_EQ(std::string(named.name()), longName.substr(0, 255));
    SenThread unnamed(nullptr);
    EXPECT_STREQ(unnamed.name(), "Unnamed SenThread");
}

TEST(SenThread, AutoDeleteThreadFreesItselfAndCannotBeJoined)
{
    // Under AddressSanitizer a missing self-delete shows up as a leak.
    std::atomic<bool> done{false};
    class Once : public SenThread
    {
    public:
        explicit Once(std::atomic<bool>& flag) : SenThread("once", false, true), m_flag(flag) {}

    protected:
        void run() override { m_flag = true; }

    private:
        std::atomic<bool>& m_flag;
    };
    auto* thread = new Once(done);
    EXPECT_FALSE(thread->join());
    thread->start();
    while (!done) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
}

TEST(SenMutex, OwnerMayLockAgain)
{
    SenMutex mutex;
    SenMutexLocker outer(mutex);
    SenMutexLocker inner(mutex);
    bool otherGotIt = true;
    std::thread([&] { otherGotIt = mutex.tryLock(); }).join();
    EXPECT_FALSE(otherGotIt);
}
