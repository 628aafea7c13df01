#include "RecordingBackend.h"

#include <gtest/gtest.h>

#include <thread>

namespace {

TEST(RecordingBackend, KeepsEveryPrimitiveInOrderAcrossThreads)
{
    RecordingBackend backend;
    constexpr int kPerThread = 500;
    auto press = [&backend](std::uint16_t code) {
        for (int i = 0; i < kPerThread; ++i) {
            backend.pressKey(code);
            backend.releaseKey(code);
        }
    };
    std::thread first(press, 0x1E);
    std::thread second(press, 0x30);
    backend.pressButton(MouseButton::Right);
    first.join();
    second.join();

    const std::vector<RecordedEvent> events = backend.events();
    ASSERT_EQ(events.size(), 4U * kPerThread + 1);
    for (std::size_t i = 1; i < events.size(); ++i) {
        EXPECT_LE(events[i - 1].time, events[i].time);
    }
    backend.clear();
    EXPECT_TRUE(backend.events().empty());
}

TEST(RecordingBackend, WindowsArePostedToAndFound)
{
    RecordingBackend backend;
    backend.addWindow(7, "Notes", {10, 20, 109, 219});
    EXPECT_EQ(backend.findWindow("Notes"), 7U);
    EXPECT_EQ(backend.findWindow("notes"), 0U);
    EXPECT_EQ(backend.windowAt(10, 219), 7U);
    EXPECT_EQ(backend.windowAt(110, 20), 0U);
    EXPECT_TRUE(backend.postChar(7, 'x'));
    EXPECT_FALSE(backend.postChar(0, 'x'));
    EXPECT_EQ(backend.events(), (std::vector{RecordedEvent::posted(7, 'x')}));

    backend.setForegroundWindow(7);
    backend.removeWindow(7);
    EXPECT_FALSE(backend.isValidWindow(7));
    EXPECT_EQ(backend.foregroundWindow(), 0U);
}

TEST(RecordingBackend, KeepsOnlyTheNewestUpToItsCapacity)
{
    RecordingBackend backend(3);
    for (std::uint16_t code = 1; code <= 10; ++code) {
        backend.pressKey(code);
    }
    EXPECT_EQ(backend.events(), (std::vector<RecordedEvent>{RecordedEvent::keyDown(8), RecordedEvent::keyDown(9),
                                                           RecordedEvent::keyDown(10)}));
    EXPECT_EQ(backend.dropped(), 7U);
    backend.clear();
    EXPECT_EQ(backend.dropped(), 0U);
}

} // namespace
