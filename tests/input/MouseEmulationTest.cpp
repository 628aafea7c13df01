#include "KeyboardEventSimulator.h"

#include "SimulatorTestSupport.h"

namespace {

using namespace testsupport;

// The simulator's thread runs an event loop, which needs an application object.
const auto* const environment = TestSupport::addApplicationEnvironment<QCoreApplication>();

constexpr auto kLeft = MouseButton::Left, kMiddle = MouseButton::Middle, kRight = MouseButton::Right;

class Mouse : public ::testing::Test
{
protected:
    RecordingBackend backend;
    KeyboardEventSimulator simulator{backend, backend};
};

TEST_F(Mouse, EachActionPressesAndReleasesItsButtons)
{
    const struct {
        int butnum;
        std::vector<RecordedEvent> press;
        std::vector<RecordedEvent> release;
    } cases[] = {
        {0, {RE::buttonDown(kLeft)}, {RE::buttonUp(kLeft)}},
        {1, {RE::buttonDown(kMiddle)}, {RE::buttonUp(kMiddle)}},
        {2, {RE::buttonDown(kRight)}, {RE::buttonUp(kRight)}},
        {3,
         {RE::buttonDown(kLeft), RE::buttonUp(kLeft), RE::buttonDown(kLeft), RE::buttonUp(kLeft)},
         {RE::buttonUp(kLeft)}},
        {4, {RE::buttonDown(kLeft)}, {RE::buttonUp(kLeft)}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.butnum);
        backend.clear();
        simulator.triggerMouse(c.butnum);
        EXPECT_EQ(backend.events(), c.press);
        backend.clear();
        simulator.releaseMouse(c.butnum);
        simulator.releaseMouse(c.butnum); // the second finds nothing pressed
        EXPECT_EQ(backend.events(), c.release);
    }
}

TEST_F(Mouse, RepeatedPressesAndReleasesWithoutPress)
{
    for (int butnum : {-1, 5, 0, 1, 2, 3, 4}) {
        simulator.releaseMouse(butnum);
    }
    simulator.triggerMouse(-1);
    simulator.triggerMouse(5);
    EXPECT_TRUE(backend.events().empty());

    // A mapping that fires on every state: clicks repeat, the held button is pressed once, one release.
    simulator.triggerMouse(0);
    simulator.triggerMouse(0);
    simulator.triggerMouse(4);
    simulator.triggerMouse(4);
    simulator.releaseMouse(4);
    simulator.releaseMouse(0);
    EXPECT_EQ(backend.events(), (std::vector{RE::buttonDown(kLeft), RE::buttonDown(kLeft), RE::buttonDown(kLeft),
                                             RE::buttonUp(kLeft), RE::buttonUp(kLeft)}));
    backend.clear();
    simulator.triggerMouse(4);
    EXPECT_EQ(backend.events(), (std::vector{RE::buttonDown(kLeft)}));
}

TEST_F(Mouse, QueuedClickPressesOnTheSimulatorThreadAndTheReleaseComesFromTheCaller)
{
    simulator.start();
    simulator.queueMouse(2, false, 200); // hold time has no effect on a queued click
    waitForEvents(backend, 1);
    std::this_thread::sleep_for(Ms(30));
    EXPECT_EQ(backend.events(), (std::vector{RE::buttonDown(kRight)}));
    simulator.releaseMouse(2);
    EXPECT_EQ(backend.events(), (std::vector{RE::buttonDown(kRight), RE::buttonUp(kRight)}));
}

TEST_F(Mouse, SimulateMouseHoldsThenReleases)
{
    MessageCapture capture;
    simulator.simulateMouse(0, false, 30);
    simulator.simulateMouse(1, true, 30); // held: the release follows at once
    const auto events = backend.events();
    ASSERT_EQ(events, (std::vector{RE::buttonDown(kLeft), RE::buttonUp(kLeft), RE::buttonDown(kMiddle),
                                   RE::buttonUp(kMiddle)}));
    EXPECT_GE(elapsedMs(events[0], events[1]), 30);
    EXPECT_EQ(capture.taken(),
              QStringList{"Warning: KeyboardEventSimulator::simulateKey() is blocking another thread!"});
}

TEST_F(Mouse, AWindowGetsAClickOnlyWhenItIsInFront)
{
    backend.addWindow(0x500001, "Game");
    backend.addWindow(0x500002, "Other");
    backend.setForegroundWindow(0x500002);
    simulator.sendMouseToWindow(0x500001, 0);
    simulator.sendMouseToWindow(0, 0);
    simulator.releaseMouse(0); // nothing was marked pressed
    EXPECT_TRUE(backend.events().empty());

    backend.setForegroundWindow(0x500001);
    simulator.sendMouseToWindow(0x500001, 3);
    simulator.releaseMouse(3);
    EXPECT_EQ(backend.events(), (std::vector{RE::buttonDown(kLeft), RE::buttonUp(kLeft), RE::buttonDown(kLeft),
                                             RE::buttonUp(kLeft), RE::buttonUp(kLeft)}));
}

} // namespace
