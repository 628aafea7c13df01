#include <QVariant>

#include <gtest/gtest.h>

#include "MappingKeys.h"
#include "SenMapping.h"
#include "TestState.h"

namespace {

SenStateCondition conditionOf(SenAction::ActionType type, bool enabled = true)
{
    SenStateCondition condition(type, nullptr);
    condition.setEnabled(enabled);
    return condition;
}

} // namespace

TEST(SenMapping, NewMappingHasTheDefaults)
{
    const SenMapping m(QStringLiteral("Rule 1"), nullptr);
    EXPECT_EQ(m.name(), QStringLiteral("Rule 1"));
    EXPECT_TRUE(m.enabled());
    EXPECT_EQ(m.playerNum(), 0);
    EXPECT_TRUE(m.sendOnce());
    EXPECT_TRUE(m.sendToFocus());
    EXPECT_FALSE(m.sendHotKeys() || m.ctrlKey() || m.altKey() || m.shiftKey() || m.winKey());
    EXPECT_FALSE(m.mouseclickset());
    EXPECT_EQ(m.mousebutnum(), -1);
    EXPECT_EQ(m.hotKey(), 0);
    EXPECT_FALSE(m.holdKey() || m.enterKey() || m.alreadySent());
    EXPECT_EQ(m.holdTime(), 20U);
    EXPECT_EQ(m.triggerDelayTime(), 20U);
    EXPECT_TRUE(m.keys().isEmpty() && m.appTitle().isEmpty());
    EXPECT_EQ(m.windowHandle(), 0U);
    EXPECT_EQ(m.conditionCount(), 0);
}

TEST(SenMapping, PropertiesReadAndWriteTheFields)
{
    SenMapping m(QStringLiteral("a"), nullptr);
    ASSERT_TRUE(m.setProperty("playerNum", 1));
    ASSERT_TRUE(m.setProperty("keys", QStringLiteral("xyz")));
    ASSERT_TRUE(m.setProperty("sendToFocus", false));
    EXPECT_EQ(m.playerNum(), 1);
    EXPECT_EQ(m.keys(), QStringLiteral("xyz"));
    EXPECT_FALSE(m.sendToFocus());
    m.addCondition(conditionOf(SenAction::Push));
    const auto conditions = m.property("conditions").value<QList<SenStateCondition>>();
    ASSERT_EQ(conditions.size(), 1);
    EXPECT_TRUE(conditions[0].hasActionType(SenAction::Push));
}

TEST(SenMapping, CopyKeepsEverythingButTheLatchAndSharesNoCondition)
{
    QObject owner;
    auto* source = new SenMapping(QStringLiteral("src"), &owner);
    source->setEnabled(false);
    source->setPlayerNum(1);
    source->setSendOnce(false);
    source->setSendToFocus(false);
    source->setSendHotKeys(true);
    source->setCtrlKey(true);
    source->setAltKey(true);
    source->setShiftKey(true);
    source->setWinKey(true);
    source->setMouseclickset(true);
    source->setMousebutnum(3);
    source->setHotKey(0x01000034);
    source->setHoldKey(true);
    source->setEnterKey(true);
    source->setHoldTime(55);
    source->setTriggerDelayTime(66);
    source->setKeys(QStringLiteral("k"));
    source->setWindowHandle(0x1234);
    source->setAppTitle(QStringLiteral("Editor"));
    source->addCondition(conditionOf(SenAction::Push));
    source->setAlreadySent(true);

    SenMapping copy(*source);
    EXPECT_EQ(copy.parent(), &owner);
    copy.setParent(nullptr);
    EXPECT_FALSE(copy.alreadySent());
    EXPECT_EQ(copy.name(), QStringLiteral("src"));
    EXPECT_FALSE(copy.enabled());
    EXPECT_EQ(copy.playerNum(), 1);
    EXPECT_FALSE(copy.sendOnce() || copy.sendToFocus());
    EXPECT_TRUE(copy.sendHotKeys() && copy.ctrlKey() && copy.altKey() && copy.shiftKey() && copy.winKey());
    EXPECT_TRUE(copy.mouseclickset() && copy.holdKey() && copy.enterKey());
    EXPECT_EQ(copy.mousebutnum(), 3);
    EXPECT_EQ(copy.hotKey(), 0x01000034);
    EXPECT_EQ(copy.holdTime(), 55U);
    EXPECT_EQ(copy.triggerDelayTime(), 66U);
    EXPECT_EQ(copy.keys(), QStringLiteral("k"));
    EXPECT_EQ(copy.windowHandle(), 0x1234U);
    EXPECT_EQ(copy.appTitle(), QStringLiteral("Editor"));
    ASSERT_EQ(copy.conditionCount(), 1);
    EXPECT_NE(copy.condition(0), source->condition(0));

    copy.condition(0)->setAction(SenAction::Lift);
    copy.condition(0)->setThreshold(0.9);
    EXPECT_TRUE(source->condition(0)->hasActionType(SenAction::Push));
    EXPECT_EQ(source->condition(0)->threshold().toDouble(), 0.2);
}

TEST(SenMapping, ConditionListOperationsIgnoreBadIndexes)
{
    SenMapping m;
    m.addCondition(conditionOf(SenAction::Blink));
    m.addCondition(conditionOf(SenAction::Push));
    SenStateCondition* first = m.condition(0);
    for (int i = 0; i < 20; ++i) {
        m.addCondition(conditionOf(SenAction::Lift));
    }
    EXPECT_EQ(m.condition(0), first) << "stored conditions stay where they are";
    EXPECT_EQ(m.condition(-1), nullptr);
    EXPECT_EQ(m.condition(22), nullptr);
    m.removeCondition(22);
    m.removeCondition(-1);
    EXPECT_EQ(m.conditionCount(), 22);

    SenStateCondition edited(SenAction::Smile, nullptr);
    edited.setThreshold(0.4);
    m.setCondition(1, edited);
    m.setCondition(99, edited);
    EXPECT_TRUE(m.condition(1)->hasActionType(SenAction::Smile));
    EXPECT_EQ(m.condition(1)->threshold().toDouble(), 0.4);
    EXPECT_NE(m.condition(1)->action(), edited.action());

    m.removeCondition(0);
    EXPECT_TRUE(m.condition(0)->hasActionType(SenAction::Smile));
    EXPECT_EQ(m.conditionCount(), 21);
}

TEST(SenMapping, ConditionsHoldOnlyWhenEveryEnabledOneHolds)
{
    TestState closedPush;
    closedPush.eyes(1.0F, 1.0F).mentrix(2, 0.5F);
    TestState closed;
    closed.eyes(1.0F, 1.0F);

    SenMapping none;
    EXPECT_FALSE(none.conditionsHold(closedPush));

    SenMapping disabledOnly;
    disabledOnly.addCondition(conditionOf(SenAction::Blink, false));
    EXPECT_FALSE(disabledOnly.conditionsHold(closedPush));

    SenMapping both;
    both.addCondition(conditionOf(SenAction::Blink));
    SenStateCondition push(SenAction::Push, nullptr);
    push.setActionRule(SenActionRule::GreaterThan);
    both.addCondition(push);
    EXPECT_TRUE(both.conditionsHold(closedPush));
    EXPECT_FALSE(both.conditionsHold(closed));
    EXPECT_FALSE(both.conditionsHold(nullptr));

    // A disabled condition that would fail does not count.
    both.condition(1)->setEnabled(false);
    EXPECT_TRUE(both.conditionsHold(closed));
}

TEST(MappingKeys, HotKeyComboAndDisplayText)
{
    SenMapping m;
    m.setKeys(QStringLiteral("Mouse Left Click"));
    EXPECT_EQ(keysDisplayText(m), QStringLiteral("Mouse Left Click"));
    EXPECT_EQ(hotKeyCombo(m), (QList<int>{0}));

    m.setKeys(QString());
    m.setSendHotKeys(true);
    m.setCtrlKey(true);
    m.setShiftKey(true);
    m.setEnterKey(true);
    m.setHotKey(0x01000034);
    EXPECT_EQ(hotKeyCombo(m), (QList<int>{0x01000021, 0x01000020, 0x01000005, 0x01000034}));
    EXPECT_EQ(keysDisplayText(m), QStringLiteral("Ctrl + Shift + F5"));

    m.setAltKey(true);
    m.setWinKey(true);
    m.setHotKey(0);
    EXPECT_EQ(hotKeyCombo(m), (QList<int>{0x01000021, 0x01000023, 0x01000020, 0x01000022, 0x01000005, 0}));
    EXPECT_EQ(keysDisplayText(m), QStringLiteral("Ctrl + Alt + Shift + Win"));

    SenMapping bare;
    bare.setSendHotKeys(true);
    bare.setHotKey(0x01000020);
    EXPECT_EQ(keysDisplayText(bare), QString());
    bare.setHotKey(0x41);
    EXPECT_EQ(keysDisplayText(bare), QStringLiteral("A"));
}
