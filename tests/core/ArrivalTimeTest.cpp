// The rules' timing runs on when each state arrived, not on when the core gets round to evaluating it.

#include <gtest/gtest.h>

#include <QCoreApplication>

#include <chrono>

#include "EmulatorScript.h"
#include "QtApplicationEnvironment.h"
#include "RecordingBackend.h"
#include "SenKeyCore.h"
#include "SenMappingModel.h"
#include "SenStateRecord.h"

namespace {

using namespace std::chrono_literals;

constexpr WindowHandle kWindow = 0x4200001;

const auto* const kEnvironment = TestSupport::addApplicationEnvironment<QCoreApplication>();

SenStateSnapshot blink(SenStateSnapshot::Clock::time_point arrival)
{
    StateBytes bytes = newStateBytes();
    Velmor::StateLayout::writeFloat(bytes.data(), Velmor::StateLayout::kLeftEyeClosure, 1.0F);
    Velmor::StateLayout::writeFloat(bytes.data(), Velmor::StateLayout::kRightEyeClosure, 1.0F);
    return SenStateSnapshot::fromBytes(bytes.data(), arrival);
}

} // namespace

TEST(ArrivalTime, DwellIsMeasuredBetweenArrivals)
{
    RecordingBackend recording;
    recording.addWindow(kWindow, QStringLiteral("Notes"));
    SenKeyCore core(recording, recording);
    SenMapping mapping(QStringLiteral("long blink"), nullptr);
    mapping.setKeys(QStringLiteral("b"));
    mapping.setSendToFocus(false);
    mapping.setWindowHandle(kWindow);
    mapping.setDwellTime(100);
    mapping.addCondition(SenStateCondition(SenAction::Blink, nullptr));
    core.mappingModel()->addMapping(mapping);

    // All three are evaluated at once, as after a burst; only their arrival times are 100 ms apart.
    const auto start = SenStateSnapshot::Clock::now() - 1s;
    core.evaluateState(0, blink(start));
    core.evaluateState(0, blink(start + 50ms));
    EXPECT_TRUE(recording.events().empty());
    core.evaluateState(0, blink(start + 100ms));
    EXPECT_EQ(recording.events(), std::vector<RecordedEvent>{RecordedEvent::posted(kWindow, 'b')});
}
