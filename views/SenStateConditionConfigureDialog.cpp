#include "SenStateConditionConfigureDialog.h"

#include "SenActionFactory.h"
#include "SenActionRule.h"
#include "ui_SenStateConditionConfigureDialog.h"

#include <QSignalBlocker>

#include <algorithm>
#include <memory>

SenStateConditionConfigureDialog::SenStateConditionConfigureDialog(QWidget* parent)
    : QDialog(parent), ui(new Ui::SenStateConditionConfigureDialog)
{
    ui->setupUi(this);
    initUi();
}

SenStateConditionConfigureDialog::~SenStateConditionConfigureDialog()
{
    delete ui;
}

void SenStateConditionConfigureDialog::initUi()
{
    createActionList();
    SenAction* first = SenActionFactory::create(SenAction::Blink, this);
    createTriggerList(first);
    delete first;
    ui->descriptionLabel->hide();
}

void SenStateConditionConfigureDialog::createActionList()
{
    // The names already follow the headset type ("Surprise" and "Frown" on TESSARA).
    const QStringList names = SenActionFactory::actionNames();
    ui->actionComboBox->clear();
    ui->actionComboBox->insertItems(0, names);
}

void SenStateConditionConfigureDialog::createTriggerList(SenAction* action)
{
    ui->triggerComboBox->clear();
    ui->triggerComboBox->insertItems(0, SenActionRule::ruleNames(action));
    const bool range = action != nullptr && action->triggerType() == SenAction::Range;
    if (range) {
        ui->triggerComboBox->setCurrentIndex(SenActionRule::GreaterThan);
        ui->limitSpinBox->setValue(0.2);
    }
    ui->limitLabel->setEnabled(range);
    ui->limitSpinBox->setEnabled(range);
}

void SenStateConditionConfigureDialog::on_actionComboBox_currentIndexChanged(int index)
{
    const std::unique_ptr<SenAction> action(SenActionFactory::create(SenActionFactory::actionTypeAt(index), nullptr));
    createTriggerList(action.get());
}

void SenStateConditionConfigureDialog::loadCondition(const SenStateCondition& condition)
{
    const int position = SenActionFactory::positionOfActionType(condition.actionType());
    ui->actionComboBox->setCurrentIndex(position);
    // A type the list cannot show leaves nothing selected; the trigger list must still be its own.
    if (ui->actionComboBox->currentIndex() != position || position < 0) {
        const std::unique_ptr<SenAction> action(SenActionFactory::create(condition.actionType(), nullptr));
        createTriggerList(action.get());
    }
    ui->triggerComboBox->setCurrentIndex(condition.actionRule().rule());
    const QVariant threshold = condition.threshold();
    if (threshold.typeId() == QMetaType::Double || threshold.typeId() == QMetaType::Float) {
        ui->limitSpinBox->setValue(std::clamp(threshold.toDouble(), 0.0, 1.0));
    }
}

SenStateCondition SenStateConditionConfigureDialog::buildCondition() const
{
    const SenAction::ActionType type = SenActionFactory::actionTypeAt(ui->actionComboBox->currentIndex());
    SenStateCondition condition(type);
    const int ruleIndex = ui->triggerComboBox->currentIndex();
    condition.setActionRule(ruleIndex >= 0 ? static_cast<SenActionRule::Rule>(ruleIndex) : SenActionRule::Equal);
    if (condition.action()->triggerType() == SenAction::Binary) {
        condition.setThreshold(true);
    } else {
        condition.setThreshold(ui->limitSpinBox->value());
    }
    return condition;
}
