#include "KeyboardEventSimulator.h"

#include "SimulatorTestSupport.h"

#include <memory>

namespace {

using namespace testsupport;

// The simulator's thread runs an event loop, which needs an application object.
const auto* const environment = TestSupport::addApplicationEnvironment<QCoreApplication>();

constexpr std::uint16_t kShift = 0x2A, kCtrl = 0x1D, kA = 0x1E, kB = 0x30, kC = 0x2E, kEnter = 0x1C, kF5 = 0x3F,
                        kOne = 0x02;

class Simulator : public ::testing::Test
{
protected:
    RecordingBackend backend;
    std::unique_ptr<KeyboardEventSimulator> simulator = std::make_unique<KeyboardEventSimulator>(backend, backend);
};

TEST_F(Simulator, KeyStringIsTypedWithShiftHoldAndDelay)
{
    simulator->queueKeys("Ab", false, false, 50, 20);
    simulator->queueKeys("1", false, false, 0, 0); // shows the pause after the last character
    simulator->start();

    const auto events = waitForEvents(backend, 8);
    ASSERT_EQ(events, (std::vector{RE::keyDown(kShift), RE::keyDown(kA), RE::keyUp(kShift), RE::keyUp(kA),
                                   RE::keyDown(kB), RE::keyUp(kB), RE::keyDown(kOne), RE::keyUp(kOne)}));
    EXPECT_GE(elapsedMs(events[1], events[2]), 50); // hold
    EXPECT_GE(elapsedMs(events[3], events[4]), 20); // delay
    EXPECT_GE(elapsedMs(events[4], events[5]), 50);
    EXPECT_GE(elapsedMs(events[5], events[6]), 20); // delay after the last character
}

TEST_F(Simulator, OnlyAOneCharacterKeyStringIsHeld)
{
    const struct {
        const char* keys;
        bool enterKey;
        std::vector<RecordedEvent> expected;
    } cases[] = {
        {"a", false, {RE::keyDown(kA)}},
        {"", true, {RE::keyDown(kEnter)}},
        {"ab", false, {RE::keyDown(kA), RE::keyUp(kA), RE::keyDown(kB), RE::keyUp(kB)}},
        {"a", true, {RE::keyDown(kA), RE::keyUp(kA), RE::keyDown(kEnter), RE::keyUp(kEnter)}},
        {"", false, {}},
    };
    simulator->start();
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << '"' << c.keys << "\" enter " << c.enterKey);
        backend.clear();
        simulator->queueKeys(c.keys, true, c.enterKey, 20, 20);
        waitForEvents(backend, c.expected.size());
        std::this_thread::sleep_for(Ms(60)); // anything more would show up by now
        EXPECT_EQ(backend.events(), c.expected);
        simulator->releaseAll();
    }
}

TEST_F(Simulator, AHeldCharacterIsLiftedByReleaseKey)
{
    simulator->start();
    simulator->queueKeys("A", true, false, 20, 20);
    waitForEvents(backend, 2);
    simulator->releaseKey('A');
    EXPECT_EQ(backend.events(), (std::vector{RE::keyDown(kShift), RE::keyDown(kA), RE::keyUp(kShift), RE::keyUp(kA)}));
}

TEST_F(Simulator, KeyCombinationIsPressedInOrderAndReleasedInReverse)
{
    simulator->queueKeyCombo({Qt::Key_Control, Qt::Key_C}, 20);
    // A hot key with Enter and no key of its own: the trailing 0 presses nothing.
    simulator->queueKeyCombo({Qt::Key_Control, Qt::Key_Shift, Qt::Key_Enter, Qt::Key_F5, 0}, 0);
    simulator->queueKeyCombo({}, 20);
    simulator->start();

    const auto events = waitForEvents(backend, 12);
    EXPECT_EQ(events, (std::vector{RE::keyDown(kCtrl), RE::keyDown(kC), RE::keyUp(kC), RE::keyUp(kCtrl),
                                   RE::keyDown(kCtrl), RE::keyDown(kShift), RE::keyDown(kEnter), RE::keyDown(kF5),
                                   RE::keyUp(kF5), RE::keyUp(kEnter), RE::keyUp(kShift), RE::keyUp(kCtrl)}));
    ASSERT_GE(events.size(), 3U);
    EXPECT_GE(elapsedMs(events[1], events[2]), 20);
}

TEST_F(Simulator, RequestsQueuedTogetherRunOneAfterTheOther)
{
    simulator->queueKeys("a", false, false, 60, 0);
    simulator->queueKeys("b", false, false, 0, 0);
    simulator->start();
    const auto events = waitForEvents(backend, 4);
    ASSERT_EQ(events, (std::vector{RE::keyDown(kA), RE::keyUp(kA), RE::keyDown(kB), RE::keyUp(kB)}));
    EXPECT_GE(elapsedMs(events[0], events[2]), 60); // the second waited for all of the first's sleeps
}

TEST_F(Simulator, CharactersWithoutAKeyAreSkipped)
{
    simulator->start();
    simulator->queueKeys(QString::fromUtf8("\xC3\xA9\x01"
                                           "1\xE2\x82\xAC"),
                         false, false, 0, 0);
    simulator->queueKeys("\t", false, false, 0, 0);
    const auto events = waitForEvents(backend, 4);
    EXPECT_EQ(events, (std::vector{RE::keyDown(kOne), RE::keyUp(kOne), RE::keyDown(0x0F), RE::keyUp(0x0F)}));
}

TEST_F(Simulator, SleepingOutsideTheSimulatorThreadIsReported)
{
    MessageCapture capture;
    const auto before = std::chrono::steady_clock::now();
    simulator->simulateKey('x', false, false, 30);
    EXPECT_GE(std::chrono::steady_clock::now() - before, Ms(30));
    simulator->simulateKeys("ab", false, false, 0, 5);
    simulator->simulateKeyCombo({Qt::Key_A}, 5);
    EXPECT_EQ(capture.taken(),
              (QStringList{"Warning: KeyboardEventSimulator::simulateKey() is blocking another thread!",
                           "Warning: KeyboardEventSimulator::simulateKeys() is blocking another thread!",
                           "Warning: KeyboardEventSimulator::simulateKeys() is blocking another thread!",
                           "Warning: KeyboardEventSimulator::simulateKeyCombo() is blocking another thread!"}));

    // The same sleeps on the simulator's own thread say nothing.
    backend.clear();
    simulator->start();
    simulator->queueKeys("ab", false, false, 5, 5);
    simulator->queueKeyCombo({Qt::Key_A}, 5);
    waitForEvents(backend, 6);
    EXPECT_EQ(capture.taken().size(), 4);
}

TEST_F(Simulator, CharactersForAWindowArePostedAtOnce)
{
    backend.addWindow(0x400001, "Notes");
    simulator->sendKeysToWindow(WindowHandle{0x400001}, "a\n");
    simulator->sendKeysToWindow(WindowHandle{0}, "lost");
    simulator->sendKeyToWindow(QString("Notes"), 'Z');
    simulator->sendKeysToWindow(QString("Nowhere"), "lost");
    simulator->sendKeysToWindow(QString("Notes"), QString::fromUtf8("\xC3\xA9!"));
    EXPECT_EQ(backend.events(), (std::vector{RE::posted(0x400001, 'a'), RE::posted(0x400001, '\n'),
                                             RE::posted(0x400001, 'Z'), RE::posted(0x400001, '!')}));
}

TEST_F(Simulator, ReleaseAllLiftsEverythingHeldAndDropsWaitingRequests)
{
    simulator->triggerKey('A');
    simulator->triggerKeyCombo({Qt::Key_Control, Qt::Key_F5});
    simulator->triggerMouse(4);
    simulator->triggerMouse(2);
    simulator->queueKeys("abc", false, false, 0, 0);
    backend.clear();

    simulator->releaseAll();
    EXPECT_EQ(simulator->queuedRequestCount(), 0);
    EXPECT_EQ(backend.events(), (std::vector{RE::keyUp(kF5), RE::keyUp(kCtrl), RE::keyUp(kA), RE::keyUp(kShift),
                                             RE::buttonUp(MouseButton::Right), RE::buttonUp(MouseButton::Left)}));

    // Nothing is held any more, and the held left button can be pressed again.
    backend.clear();
    simulator->releaseAll();
    simulator->releaseMouse(4);
    simulator->triggerMouse(4);
    EXPECT_EQ(backend.events(), (std::vector{RE::buttonDown(MouseButton::Left)}));
}

TEST_F(Simulator, ReleaseAllCutsShortTheRequestUnderWay)
{
    simulator->start();
    simulator->queueKeys("abc", false, false, 20000, 0); // a hold far longer than the wait below
    waitForEvents(backend, 1);
    simulator->releaseAll();
    waitForEvents(backend, 2);
    std::this_thread::sleep_for(Ms(50));
    EXPECT_EQ(backend.events(), (std::vector{RE::keyDown(kA), RE::keyUp(kA)}));
}

TEST_F(Simulator, DestructionEndsTheThreadAndReleasesHeldKeys)
{
    simulator->start();
    simulator->queueKeys("q", true, false, 0, 0);
    waitForEvents(backend, 1);
    simulator.reset();
    EXPECT_EQ(backend.events(), (std::vector{RE::keyDown(0x10), RE::keyUp(0x10)}));
}

TEST_F(Simulator, DestructionDoesNotWaitForALongHold)
{
    simulator->start();
    simulator->queueKeyCombo({Qt::Key_Control, Qt::Key_C}, 600000);
    simulator->queueKeys("never", false, false, 0, 0);
    waitForEvents(backend, 2);
    simulator.reset(); // would block for ten minutes if the hold ran out
    EXPECT_EQ(backend.events(), (std::vector{RE::keyDown(kCtrl), RE::keyDown(kC), RE::keyUp(kC), RE::keyUp(kCtrl)}));
}

TEST_F(Simulator, TheQueueIsBounded)
{
    MessageCapture capture;
    for (int i = 0; i < KeyboardEventSimulator::kMaxQueuedRequests + 3; ++i) {
        simulator->queueMouse(0, false, 0);
    }
    EXPECT_EQ(simulator->queuedRequestCount(), KeyboardEventSimulator::kMaxQueuedRequests);
    EXPECT_EQ(capture.taken().size(), 1);
    EXPECT_EQ(simulator->droppedRequestCount(), 3U);

    // A flood that keeps the queue full is one burst: room for one more request ends nothing.
    simulator->processKeyEvents();
    simulator->queueMouse(1, false, 0);
    simulator->queueMouse(1, false, 0);
    EXPECT_EQ(capture.taken().size(), 1);

    // Once the queue has run down to half, requests are taken again and a new overflow is a new burst.
    while (simulator->queuedRequestCount() > KeyboardEventSimulator::kMaxQueuedRequests / 2) {
        simulator->processKeyEvents();
    }
    while (simulator->queuedRequestCount() < KeyboardEventSimulator::kMaxQueuedRequests) {
        simulator->queueMouse(1, false, 0);
    }
    simulator->queueMouse(1, false, 0);
    EXPECT_EQ(capture.taken().size(), 2);
    EXPECT_EQ(simulator->droppedRequestCount(), 5U);
}

} // namespace
