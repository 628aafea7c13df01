#include "SenStateConditionConfigureDialog.h"

#include "SenActionFactory.h"
#include "SenActionRule.h"
#include "ui_SenStateConditionConfigureDialog.h"

#include <QSignalBlocker>

#include <algorithm>
#include <cmath>
#include <memory>

namespace {

// The spin boxes show two decimals: values closer than this are the same to the user.
constexpr double kLimitStep = 0.01;

} // namespace

SenStateConditionConfigureDialog::SenStateConditionConfigureDialog(QWidget* parent)
    : QDialog(parent), ui(new Ui::SenStateConditionConfigureDialog)
{
    ui->setupUi(this);
    connect(ui->triggerComboBox, &QComboBox::currentIndexChanged, this,
            &SenStateConditionConfigureDialog::updateConditioningFields);
    connect(ui->limitSpinBox, &QDoubleSpinBox::valueChanged, this,
            &SenStateConditionConfigureDialog::updateConditioningFields);
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
    m_range = action != nullptr && action->triggerType() == SenAction::Range;
    ui->triggerComboBox->clear();
    ui->triggerComboBox->insertItems(0, SenActionRule::ruleNames(action));
    const bool range = action != nullptr && action->triggerType() == SenAction::Range;
    if (range) {
        ui->triggerComboBox->setCurrentIndex(SenActionRule::GreaterThan);
        ui->limitSpinBox->setValue(0.2);
    }
    ui->limitLabel->setEnabled(range);
    ui->limitSpinBox->setEnabled(range);
    updateConditioningFields();
}

void SenStateConditionConfigureDialog::updateConditioningFields()
{
    const int rule = ui->triggerComboBox->currentIndex();
    const bool greater = rule == SenActionRule::GreaterThan;
    const bool release = m_range && (greater || rule == SenActionRule::LessThan);
    ui->releaseLabel->setVisible(release);
    ui->releaseSpinBox->setVisible(release);
    ui->smoothingLabel->setVisible(m_range);
    ui->smoothingSpinBox->setVisible(m_range);

    const double limit = ui->limitSpinBox->value();
    const bool atLimit = std::abs(ui->releaseSpinBox->value() - m_lastLimit) < kLimitStep / 2;
    ui->releaseLabel->setText(greater ? tr("&Release below:") : tr("&Release above:"));
    if (greater) {
        ui->releaseSpinBox->setRange(0.0, limit);
    } else {
        ui->releaseSpinBox->setRange(limit, 1.0);
    }
    if (atLimit) {
        ui->releaseSpinBox->setValue(limit);
    }
    m_lastLimit = limit;
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
    updateConditioningFields();
    ui->releaseSpinBox->setValue(condition.releaseLevel().value_or(ui->limitSpinBox->value()));
    ui->smoothingSpinBox->setValue(static_cast<int>(std::min(condition.smoothingTime(), kMaxConditioningTime)));
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
    // A release level at the limit is no release level: the condition lets go where it began to hold.
    const double release = ui->releaseSpinBox->value();
    if (ui->releaseSpinBox->isVisibleTo(this) && std::abs(release - ui->limitSpinBox->value()) >= kLimitStep / 2 &&
        condition.acceptsReleaseLevel(release)) {
        condition.setReleaseLevel(release);
    }
    if (condition.takesSmoothing()) {
        condition.setSmoothingTime(static_cast<uint>(ui->smoothingSpinBox->value()));
    }
    return condition;
}
