#include <QMetaEnum>
#include <QVariant>
#include <cmath>
#include <limits>
#include <memory>

#include <gtest/gtest.h>

#include "SenAction.h"
#include "SenActionFactory.h"
#include "TestState.h"

namespace {

using Type = SenAction::ActionType;

std::unique_ptr<SenAction> make(int type)
{
    return std::unique_ptr<SenAction>(SenActionFactory::create(static_cast<Type>(type), nullptr));
}

QVariant valueOf(int type, SenStateHandle state)
{
    return make(type)->value(state);
}

// Restores the process-wide headset type after each test.
class HeadsetGuard : public ::testing::Test
{
protected:
    void TearDown() override { SenActionFactory::setHeadsetType(QStringLiteral("TESSARA")); }
};

bool isSupported(int type)
{
    return (type >= 0 && type <= 11) || (type >= 18 && type <= 31);
}

} // namespace

TEST(SenAction, FactoryBuildsTheClassNamedAfterEachSupportedType)
{
    const QMetaEnum types = QMetaEnum::fromType<SenAction::ActionType>();
    for (int type = 0; type < SenAction::MAX_ACTION_TYPE; ++type) {
        if (!isSupported(type)) {
            continue;
        }
        auto action = make(type);
        SCOPED_TRACE(type);
        EXPECT_EQ(action->actionType(), type);
        EXPECT_STREQ(action->metaObject()->className(), types.valueToKey(type));
        const bool binary = type <= 2 || type == 5 || type == 6 || type == 18;
        EXPECT_EQ(action->triggerType(), binary ? SenAction::Binary : SenAction::Range);
    }
}

TEST(SenAction, UnsupportedTypesGiveTheUnknownDetection)
{
    TestState state;
    for (int type : {-1, 12, 14, 17, 32, 40, -7}) {
        SCOPED_TRACE(type);
        auto action = make(type);
        EXPECT_EQ(action->actionType(), SenAction::UnknownAction);
        EXPECT_EQ(action->triggerType(), SenAction::UnknownTrigger);
        EXPECT_EQ(action->name(), QStringLiteral("Unknown action type"));
        EXPECT_FALSE(action->value(state).isValid());
    }
}

TEST(SenAction, FactoryParentOwnsTheDetection)
{
    QObject owner;
    SenAction* action = SenActionFactory::create(SenAction::Push, &owner);
    EXPECT_EQ(action->parent(), &owner);
    SenAction* unknown = SenActionFactory::create(SenAction::Meditation, &owner);
    EXPECT_EQ(unknown->parent(), &owner);
}

TEST(SenAction, EnumerationsAreKnownToTheMetaObjectSystem)
{
    EXPECT_STREQ(QMetaEnum::fromType<SenAction::ActionType>().valueToKey(19), "Push");
    EXPECT_STREQ(QMetaEnum::fromType<SenAction::ActionType>().valueToKey(-1), "UnknownAction");
    EXPECT_STREQ(QMetaEnum::fromType<SenAction::TriggerType>().valueToKey(1), "Range");
    auto action = make(SenAction::Smile);
    EXPECT_EQ(action->property("actionType").toInt(), SenAction::Smile);
    EXPECT_EQ(action->property("triggerType").toInt(), SenAction::Range);
}

TEST(SenAction, NullStateGivesEmptyValues)
{
    for (int type = -1; type <= SenAction::MAX_ACTION_TYPE; ++type) {
        EXPECT_FALSE(valueOf(type, nullptr).isValid()) << type;
    }
}

TEST(SenAction, NewStateReadsNeutralAndNothingElse)
{
    TestState state;
    for (int type = 0; type < SenAction::MAX_ACTION_TYPE; ++type) {
        if (!isSupported(type)) {
            continue;
        }
        const QVariant value = valueOf(type, state);
        SCOPED_TRACE(type);
        if (make(type)->triggerType() == SenAction::Binary) {
            ASSERT_EQ(value.typeId(), QMetaType::Bool);
            EXPECT_EQ(value.toBool(), type == SenAction::Neutral);
        } else {
            ASSERT_EQ(value.typeId(), QMetaType::Double);
            EXPECT_EQ(value.toDouble(), 0.0);
        }
    }
}

TEST(SenAction, MentrixCodesMatchExactly)
{
    TestState push;
    push.mentrix(2, 0.37F);
    EXPECT_EQ(valueOf(SenAction::Push, push).toDouble(), static_cast<double>(0.37F));
    EXPECT_EQ(valueOf(SenAction::Pull, push).toDouble(), 0.0);
    EXPECT_FALSE(valueOf(SenAction::Neutral, push).toBool());

    TestState twoBits;
    twoBits.mentrix(3, 0.9F);
    EXPECT_FALSE(valueOf(SenAction::Neutral, twoBits).toBool());
    EXPECT_EQ(valueOf(SenAction::Push, twoBits).toDouble(), 0.0);

    TestState disappear;
    disappear.mentrix(8192, 1.5F);
    EXPECT_EQ(valueOf(SenAction::Disappear, disappear).toDouble(), 1.5) << "powers are neither clamped nor scaled";
}

TEST(SenAction, FaceGroupsReadTheirOwnPower)
{
    TestState state;
    state.upperFace(0x40, 0.6F).lowerFace(0xC00, 0.8F);
    EXPECT_EQ(valueOf(SenAction::Furrow, state).toDouble(), static_cast<double>(0.6F));
    EXPECT_EQ(valueOf(SenAction::Eyebrows, state).toDouble(), 0.0);
    // Two adjacent lower-face bits decode to 2048.
    EXPECT_EQ(valueOf(SenAction::SmirkRight, state).toDouble(), static_cast<double>(0.8F));
    EXPECT_EQ(valueOf(SenAction::SmirkLeft, state).toDouble(), 0.0);
    EXPECT_EQ(valueOf(SenAction::Smile, state).toDouble(), 0.0);
}

TEST(SenAction, EyeAndGazeTestsAreExact)
{
    const float nan = std::numeric_limits<float>::quiet_NaN();
    struct Case {
        float left, right, gaze;
        bool blink, winkLeft, winkRight, lookLeft, lookRight;
    };
    const Case cases[] = {
        {1.0F, 1.0F, 0.0F, true, false, false, false, false},    {1.0F, 0.0F, 0.0F, false, true, false, false, false},
        {0.0F, 1.0F, 0.0F, false, false, true, false, false},    {0.5F, 0.5F, 0.0F, false, false, false, false, false},
        {0.999F, 1.0F, -1.0F, false, false, false, true, false}, {nan, 1.0F, -0.99F, false, false, false, false, false},
        {1.0F, nan, 1.0F, false, false, false, false, true},     {0.0F, 0.0F, nan, false, false, false, false, false},
    };
    for (const Case& c : cases) {
        TestState state;
        state.eyes(c.left, c.right).gaze(c.gaze);
        SCOPED_TRACE(testing::Message() << c.left << " " << c.right << " " << c.gaze);
        EXPECT_EQ(valueOf(SenAction::Blink, state).toBool(), c.blink);
        EXPECT_EQ(valueOf(SenAction::WinkLeft, state).toBool(), c.winkLeft);
        EXPECT_EQ(valueOf(SenAction::WinkRight, state).toBool(), c.winkRight);
        EXPECT_EQ(valueOf(SenAction::LookLeft, state).toBool(), c.lookLeft);
        EXPECT_EQ(valueOf(SenAction::LookRight, state).toBool(), c.lookRight);
    }
}

TEST_F(HeadsetGuard, NamesFollowTheHeadsetTypeAtEachCall)
{
    EXPECT_EQ(SenActionFactory::headsetType(), QStringLiteral("TESSARA"));
    auto brow = make(SenAction::Eyebrows);
    ASSERT_TRUE(SenActionFactory::setHeadsetType(QStringLiteral("ORVA")));
    EXPECT_EQ(brow->name(), QStringLiteral("Raise Brow"));
    EXPECT_EQ(SenActionFactory::actionName(SenAction::Furrow), QStringLiteral("Furrow Brow"));
    ASSERT_TRUE(SenActionFactory::setHeadsetType(QStringLiteral("TESSARA")));
    EXPECT_EQ(brow->name(), QStringLiteral("Surprise"));
    EXPECT_EQ(SenActionFactory::actionName(SenAction::Furrow), QStringLiteral("Frown"));
    EXPECT_EQ(SenActionFactory::actionName(SenAction::RotateCounterClockwise),
              QStringLiteral("Rotate Counter-clockwise"));

    EXPECT_FALSE(SenActionFactory::setHeadsetType(QStringLiteral("orva")));
    EXPECT_EQ(SenActionFactory::headsetType(), QStringLiteral("TESSARA"));
}

TEST_F(HeadsetGuard, TessaraListAndItsPositionRules)
{
    const QStringList names = SenActionFactory::actionNames();
    ASSERT_EQ(names.size(), 21);
    EXPECT_EQ(names.mid(0, 8),
              (QStringList{"Blink", "Wink Left", "Wink Right", "Surprise", "Frown", "Smile", "Clench", "Neutral"}));
    EXPECT_EQ(names.last(), QStringLiteral("Disappear"));
    for (int position = 0; position < names.size(); ++position) {
        const Type type = SenActionFactory::actionTypeAt(position);
        EXPECT_EQ(SenActionFactory::actionName(type), names[position]) << position;
        EXPECT_EQ(SenActionFactory::positionOfActionType(type), position) << position;
    }
    EXPECT_EQ(SenActionFactory::actionTypeAt(7), SenAction::Neutral);
    EXPECT_EQ(SenActionFactory::positionOfActionType(SenAction::Clench), 6);
    // Detections this headset does not offer land on other entries by plain arithmetic.
    EXPECT_EQ(SenActionFactory::positionOfActionType(SenAction::Laugh), 9);
    EXPECT_EQ(SenActionFactory::actionTypeAt(9), SenAction::Pull);
    EXPECT_EQ(SenActionFactory::positionOfActionType(SenAction::LookLeft), 5);
    EXPECT_EQ(SenActionFactory::positionOfActionType(SenAction::SmirkRight), 11);
}

TEST_F(HeadsetGuard, OrvaListAndItsPositionRules)
{
    SenActionFactory::setHeadsetType(QStringLiteral("ORVA"));
    const QStringList names = SenActionFactory::actionNames();
    ASSERT_EQ(names.size(), 26);
    EXPECT_EQ(names[3], QStringLiteral("Raise Brow"));
    EXPECT_EQ(names[12], QStringLiteral("Neutral"));
    for (int position = 0; position < names.size(); ++position) {
        const Type type = SenActionFactory::actionTypeAt(position);
        EXPECT_EQ(SenActionFactory::actionName(type), names[position]) << position;
        EXPECT_EQ(SenActionFactory::positionOfActionType(type), position) << position;
    }
    EXPECT_EQ(SenActionFactory::actionTypeAt(25), SenAction::Disappear);
}
