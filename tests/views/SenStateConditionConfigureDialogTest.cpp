#include "SenStateConditionConfigureDialog.h"

#include "SenActionFactory.h"

#include <QApplication>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QLabel>
#include <QPushButton>
#include <QSpinBox>
#include <QTimer>

#include <gtest/gtest.h>

#include "QtApplicationEnvironment.h"

#include <memory>
#include <optional>

namespace {

const auto* const kEnvironment = TestSupport::addApplicationEnvironment<QApplication>();

// The headset type is process-wide: every test starts on TESSARA and leaves it there.
class ConditionDialog : public ::testing::Test
{
protected:
    void TearDown() override { SenActionFactory::setHeadsetType(QStringLiteral("TESSARA")); }

    static QComboBox* actions(const QDialog& d) { return d.findChild<QComboBox*>(QStringLiteral("actionComboBox")); }
    static QComboBox* triggers(const QDialog& d) { return d.findChild<QComboBox*>(QStringLiteral("triggerComboBox")); }
    static QDoubleSpinBox* limit(const QDialog& d)
    {
        return d.findChild<QDoubleSpinBox*>(QStringLiteral("limitSpinBox"));
    }

    static SenStateCondition condition(SenAction::ActionType type, SenActionRule::Rule rule, const QVariant& threshold)
    {
        SenStateCondition c(type);
        c.setActionRule(rule);
        c.setThreshold(threshold);
        return c;
    }
};

TEST_F(ConditionDialog, FormHasItsNamesTextsAndSize)
{
    SenStateConditionConfigureDialog dialog;
    EXPECT_EQ(dialog.objectName(), "SenStateConditionConfigureDialog");
    EXPECT_EQ(dialog.windowTitle(), "Configure Condition");
    EXPECT_EQ(dialog.size(), QSize(329, 216));
    EXPECT_TRUE(dialog.findChild<QLabel*>(QStringLiteral("descriptionLabel"))->isHidden());
    EXPECT_EQ(dialog.findChild<QPushButton*>(QStringLiteral("okButton"))->text(), "&Apply");
    EXPECT_EQ(dialog.findChild<QPushButton*>(QStringLiteral("cancelButton"))->text(), "&Cancel");
    EXPECT_EQ(limit(dialog)->decimals(), 2);
    EXPECT_DOUBLE_EQ(limit(dialog)->maximum(), 1.0);
    EXPECT_DOUBLE_EQ(limit(dialog)->singleStep(), 0.1);
    // A new dialog stands on Blink, a detection without strength.
    EXPECT_EQ(triggers(dialog)->count(), 2);
    EXPECT_FALSE(limit(dialog)->isEnabled());
}

TEST_F(ConditionDialog, ListsTheDetectionsOfTheHeadsetTypeOfTheMoment)
{
    const struct {
        const char* headset;
        int entries;
        const char* third;
        const char* fourth;
        int position;
        SenAction::ActionType picked;
    } cases[] = {
        {"ORVA", 26, "Raise Brow", "Furrow Brow", 12, SenAction::Neutral},
        {"TESSARA", 21, "Surprise", "Frown", 7, SenAction::Neutral},
        {"TESSARA", 21, "Surprise", "Frown", 5, SenAction::Smile},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.headset + std::to_string(c.position));
        SenActionFactory::setHeadsetType(QString::fromLatin1(c.headset));
        SenStateConditionConfigureDialog dialog;
        EXPECT_EQ(actions(dialog)->count(), c.entries);
        EXPECT_EQ(actions(dialog)->itemText(3), c.third);
        EXPECT_EQ(actions(dialog)->itemText(4), c.fourth);
        actions(dialog)->setCurrentIndex(c.position);
        EXPECT_EQ(dialog.buildCondition().actionType(), c.picked);
    }
}

TEST_F(ConditionDialog, ChoosingADetectionRebuildsTheRules)
{
    SenStateConditionConfigureDialog dialog;
    limit(dialog)->setValue(0.9);
    actions(dialog)->setCurrentIndex(SenActionFactory::positionOfActionType(SenAction::Push));
    ASSERT_EQ(triggers(dialog)->count(), 4);
    EXPECT_EQ(triggers(dialog)->currentText(), "is greater than");
    EXPECT_DOUBLE_EQ(limit(dialog)->value(), 0.2);
    EXPECT_TRUE(limit(dialog)->isEnabled());

    actions(dialog)->setCurrentIndex(SenActionFactory::positionOfActionType(SenAction::WinkLeft));
    EXPECT_EQ(triggers(dialog)->count(), 2);
    EXPECT_EQ(triggers(dialog)->currentText(), "occurs");
    EXPECT_FALSE(limit(dialog)->isEnabled());
    EXPECT_DOUBLE_EQ(limit(dialog)->value(), 0.2);
}

TEST_F(ConditionDialog, LoadThenBuildGivesTheConditionTheListCanShow)
{
    const struct {
        const char* headset;
        SenStateCondition loaded;
        SenAction::ActionType builtType;
        QVariant builtThreshold;
        bool limitEnabled;
    } cases[] = {
        {"TESSARA", condition(SenAction::Push, SenActionRule::LessThan, 0.75), SenAction::Push, 0.75, true},
        {"TESSARA", condition(SenAction::Smile, SenActionRule::NotEqual, 0.0), SenAction::Smile, 0.0, true},
        {"TESSARA", condition(SenAction::Blink, SenActionRule::NotEqual, true), SenAction::Blink, true, false},
        // A threshold beyond the spin box's range is clamped, not lost.
        {"ORVA", condition(SenAction::Lift, SenActionRule::GreaterThan, 1.5), SenAction::Lift, 1.0, true},
        // Detections the headset does not offer land on the entry that the position rule gives.
        {"TESSARA", condition(SenAction::LookLeft, SenActionRule::Equal, true), SenAction::Smile, 0.2, true},
        {"TESSARA", condition(SenAction::Laugh, SenActionRule::Equal, true), SenAction::Pull, 0.2, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(QStringLiteral("%1 %2").arg(c.headset).arg(c.loaded.actionType()).toStdString());
        SenActionFactory::setHeadsetType(QString::fromLatin1(c.headset));
        SenStateConditionConfigureDialog dialog;
        dialog.loadCondition(c.loaded);
        EXPECT_EQ(limit(dialog)->isEnabled(), c.limitEnabled);
        const SenStateCondition built = dialog.buildCondition();
        EXPECT_EQ(built.actionType(), c.builtType);
        if (c.builtType == c.loaded.actionType()) {
            EXPECT_EQ(built.actionRule().rule(), c.loaded.actionRule().rule());
        }
        EXPECT_EQ(built.threshold(), c.builtThreshold);
        EXPECT_EQ(built.threshold().typeId(), c.builtThreshold.typeId());
    }
}

TEST_F(ConditionDialog, ApplyAcceptsAndCancelRejects)
{
    for (const auto& [button, result] :
         {std::pair{"okButton", QDialog::Accepted}, {"cancelButton", QDialog::Rejected}}) {
        SenStateConditionConfigureDialog dialog;
        auto* push = dialog.findChild<QPushButton*>(QString::fromLatin1(button));
        QTimer::singleShot(0, push, &QPushButton::click);
        EXPECT_EQ(dialog.exec(), result) << button;
    }
}

} // namespace

TEST_F(ConditionDialog, ReleaseLevelAndSmoothingAreOfferedForStrengthsAndKept)
{
    SenStateConditionConfigureDialog dialog;
    auto* release = dialog.findChild<QDoubleSpinBox*>(QStringLiteral("releaseSpinBox"));
    auto* releaseLabel = dialog.findChild<QLabel*>(QStringLiteral("releaseLabel"));
    auto* smoothing = dialog.findChild<QSpinBox*>(QStringLiteral("smoothingSpinBox"));
    ASSERT_TRUE(release && releaseLabel && smoothing);
    EXPECT_EQ(dialog.findChild<QLabel*>(QStringLiteral("smoothingLabel"))->text(), "&Smoothing (ms):");

    dialog.loadCondition(condition(SenAction::Blink, SenActionRule::Equal, true));
    EXPECT_TRUE(release->isHidden());
    EXPECT_TRUE(smoothing->isHidden());
    EXPECT_EQ(dialog.buildCondition().smoothingTime(), 0U);

    SenStateCondition smile = condition(SenAction::Smile, SenActionRule::GreaterThan, 0.5);
    smile.setReleaseLevel(0.35);
    smile.setSmoothingTime(150);
    dialog.loadCondition(smile);
    EXPECT_FALSE(release->isHidden());
    EXPECT_EQ(releaseLabel->text(), "&Release below:");
    EXPECT_DOUBLE_EQ(release->value(), 0.35);
    EXPECT_DOUBLE_EQ(release->maximum(), 0.5) << "never on the wrong side of the limit";
    EXPECT_EQ(smoothing->value(), 150);
    SenStateCondition built = dialog.buildCondition();
    EXPECT_EQ(built.releaseLevel(), std::optional<double>(0.35));
    EXPECT_EQ(built.smoothingTime(), 150U);

    // "is less than": the release level lies above the limit; left at the limit it is no release level,
    // and it follows the limit while it stays there.
    dialog.loadCondition(condition(SenAction::Lift, SenActionRule::LessThan, 0.3));
    EXPECT_EQ(releaseLabel->text(), "&Release above:");
    EXPECT_DOUBLE_EQ(release->value(), 0.3);
    limit(dialog)->setValue(0.4);
    EXPECT_DOUBLE_EQ(release->value(), 0.4);
    EXPECT_EQ(dialog.buildCondition().releaseLevel(), std::nullopt);
    release->setValue(0.55);
    EXPECT_EQ(dialog.buildCondition().releaseLevel(), std::optional<double>(0.55));

    // "is equal to" has no side to release on, but a strength can still be smoothed.
    triggers(dialog)->setCurrentIndex(SenActionRule::Equal);
    EXPECT_TRUE(release->isHidden());
    EXPECT_FALSE(smoothing->isHidden());
    smoothing->setValue(50);
    built = dialog.buildCondition();
    EXPECT_EQ(built.releaseLevel(), std::nullopt);
    EXPECT_EQ(built.smoothingTime(), 50U);
}
