#include <QCoreApplication>
#include <QPointer>
#include <QVariant>
#include <limits>

#include <gtest/gtest.h>

#include "SenActionFactory.h"
#include "SenActionRule.h"
#include "SenStateCondition.h"
#include "TestState.h"

namespace {

using Rule = SenActionRule::Rule;

bool compare(int rule, const QVariant& value, const QVariant& threshold)
{
    return SenActionRule(static_cast<Rule>(rule)).compare(value, threshold);
}

} // namespace

TEST(SenActionRule, ComparesWithToleranceAndStrictBoundaries)
{
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const QVariant empty;
    // value, threshold, then the expected result for Equal, NotEqual, GreaterThan, LessThan.
    struct Case {
        QVariant value, threshold;
        bool equal, notEqual, greater, less;
    };
    const Case cases[] = {
        {0.5, 0.5, true, false, false, false},
        {true, true, true, false, false, false},
        {false, true, false, true, false, true},
        {0.2000005, 0.2, true, false, false, false},
        {0.2000011, 0.2, false, true, true, false},
        {0.1999995, 0.2, true, false, false, false},
        {0.1999989, 0.2, false, true, false, true},
        // A single-precision power of 0.2 is 0.20000000298 as a double.
        {static_cast<double>(0.2F), 0.2, true, false, false, false},
        {empty, 0.0, true, false, false, false},
        {empty, empty, true, false, false, false},
        {empty, true, false, true, false, true},
        {nan, 0.2, false, true, false, false},
        {0.2, nan, false, true, false, false},
        {nan, nan, false, true, false, false},
        // A Binary value under an order rule is compared numerically.
        {true, 0.5, false, true, true, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.value.toString().toStdString() << " vs "
                                        << c.threshold.toString().toStdString());
        EXPECT_EQ(compare(SenActionRule::Equal, c.value, c.threshold), c.equal);
        EXPECT_EQ(compare(SenActionRule::NotEqual, c.value, c.threshold), c.notEqual);
        EXPECT_EQ(compare(SenActionRule::GreaterThan, c.value, c.threshold), c.greater);
        EXPECT_EQ(compare(SenActionRule::LessThan, c.value, c.threshold), c.less);
        EXPECT_FALSE(compare(7, c.value, c.threshold));
        EXPECT_FALSE(compare(-1, c.value, c.threshold));
    }
}

TEST(SenActionRule, NamesFollowTheTriggerType)
{
    QObject owner;
    EXPECT_TRUE(SenActionRule::ruleNames(nullptr).isEmpty());
    EXPECT_TRUE(SenActionRule::ruleNames(SenActionFactory::create(SenAction::Interest, &owner)).isEmpty());
    EXPECT_EQ(SenActionRule::ruleNames(SenActionFactory::create(SenAction::LookLeft, &owner)),
              (QStringList{"occurs", "does not occur"}));
    EXPECT_EQ(SenActionRule::ruleNames(SenActionFactory::create(SenAction::Lift, &owner)),
              (QStringList{"is equal to", "is not equal to", "is greater than", "is less than"}));
}

TEST(SenActionRule, CopyTakesParentAssignmentOnlyTheRule)
{
    QObject owner;
    SenActionRule* source = new SenActionRule(SenActionRule::LessThan, &owner);
    SenActionRule copy(*source);
    EXPECT_EQ(copy.parent(), &owner);
    EXPECT_EQ(copy.rule(), SenActionRule::LessThan);
    copy.setParent(nullptr);

    SenActionRule target(SenActionRule::Equal);
    target = *source;
    EXPECT_EQ(target.rule(), SenActionRule::LessThan);
    EXPECT_EQ(target.parent(), nullptr);
    EXPECT_EQ(source->property("rule").toInt(), SenActionRule::LessThan);
}

TEST(SenStateCondition, DefaultsFollowTheTriggerType)
{
    const SenStateCondition blink(SenAction::Blink, nullptr);
    EXPECT_TRUE(blink.enabled());
    EXPECT_EQ(blink.actionRule().rule(), SenActionRule::Equal);
    EXPECT_EQ(blink.threshold(), QVariant(true));
    EXPECT_EQ(blink.action()->parent(), &blink);

    const SenStateCondition push(SenAction::Push, nullptr);
    EXPECT_EQ(push.threshold().typeId(), QMetaType::Double);
    EXPECT_EQ(push.threshold().toDouble(), 0.2);
    EXPECT_EQ(push.actionRule().rule(), SenActionRule::Equal);

    const SenStateCondition unknown(SenAction::Frustration, nullptr);
    EXPECT_FALSE(unknown.threshold().isValid());
    EXPECT_TRUE(unknown.hasActionType(SenAction::UnknownAction));
}

TEST(SenStateCondition, IsTriggeredReadsTheStateAndIgnoresEnabled)
{
    TestState closed;
    closed.eyes(1.0F, 1.0F);
    TestState open;
    SenStateCondition blink(SenAction::Blink, nullptr);
    EXPECT_TRUE(blink.isTriggered(closed));
    EXPECT_FALSE(blink.isTriggered(open));
    EXPECT_FALSE(blink.isTriggered(nullptr));
    blink.setEnabled(false);
    EXPECT_TRUE(blink.isTriggered(closed));

    SenStateCondition push(SenAction::Push, nullptr);
    push.setActionRule(SenActionRule::GreaterThan);
    TestState atThreshold;
    atThreshold.mentrix(2, 0.2F);
    TestState above;
    above.mentrix(2, 0.21F);
    EXPECT_FALSE(push.isTriggered(atThreshold));
    EXPECT_TRUE(push.isTriggered(above));

    // Another Mentrix action reads as 0.0, which is less than the threshold.
    push.setActionRule(SenActionRule::LessThan);
    TestState pull;
    pull.mentrix(4, 0.9F);
    EXPECT_TRUE(push.isTriggered(pull));

    // An unknown detection reads as 0.0 and holds under Equal against an empty threshold.
    const SenStateCondition unknown(SenAction::Meditation, nullptr);
    EXPECT_TRUE(unknown.isTriggered(open));
}

TEST(SenStateCondition, CopiesOwnTheirOwnDetection)
{
    QObject owner;
    auto* source = new SenStateCondition(SenAction::Push, &owner);
    source->setEnabled(false);
    source->setThreshold(0.55);
    source->setActionRule(SenActionRule::LessThan);

    SenStateCondition copy(*source);
    EXPECT_EQ(copy.parent(), &owner);
    copy.setParent(nullptr);
    EXPECT_FALSE(copy.enabled());
    EXPECT_EQ(copy.threshold().toDouble(), 0.55);
    EXPECT_EQ(copy.actionRule().rule(), SenActionRule::LessThan);
    EXPECT_EQ(copy.actionRule().parent(), nullptr);
    ASSERT_NE(copy.action(), source->action());
    EXPECT_EQ(copy.action()->parent(), &copy);

    copy.setAction(SenAction::Smile);
    EXPECT_TRUE(copy.hasActionType(SenAction::Smile));
    EXPECT_TRUE(source->hasActionType(SenAction::Push));
    EXPECT_EQ(copy.threshold().toDouble(), 0.55) << "setAction keeps the threshold";

    QList<SenStateCondition> list{*source, *source};
    list[0].setAction(SenAction::Blink);
    EXPECT_TRUE(list[1].hasActionType(SenAction::Push));
    for (auto& c : list) {
        c.setParent(nullptr);
    }
}

TEST(SenStateCondition, CopyFromReplacesEveryFieldAndRetiresTheOldDetection)
{
    int argc = 1;
    char name[] = "test";
    char* argv[] = {name};
    QCoreApplication app(argc, argv);

    SenStateCondition target(SenAction::Blink, nullptr);
    QPointer<SenAction> old = target.action();
    SenStateCondition edited(SenAction::RotateLeft, nullptr);
    edited.setEnabled(false);
    edited.setThreshold(0.7);
    edited.setActionRule(SenActionRule::GreaterThan);

    target.copyFrom(edited);
    EXPECT_FALSE(target.enabled());
    EXPECT_TRUE(target.hasActionType(SenAction::RotateLeft));
    EXPECT_NE(target.action(), edited.action());
    EXPECT_EQ(target.threshold().toDouble(), 0.7);
    EXPECT_EQ(target.actionRule().rule(), SenActionRule::GreaterThan);

    EXPECT_FALSE(old.isNull()) << "the old detection is deleted later, not at once";
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(old.isNull());
}
