#include "KeySimulationConfigureDialog.h"

#include "KeyNames.h"
#include "SenMapping.h"
#include "SenStateCondition.h"
#include "ui_KeySimulationConfigureDialog.h"

#include <QKeyEvent>
#include <QSignalBlocker>

#include <algorithm>
#include <array>

namespace {

constexpr int kKeysLength = 50;

// Indexed by mouse button number.
const std::array<QString, 5> kClickLabels = {
    QStringLiteral("Mouse Left Click"),   QStringLiteral("Mouse Middle Click"), QStringLiteral("Mouse Right Click"),
    QStringLiteral("Mouse Double Click"), QStringLiteral("Hold Left Mouse"),
};

} // namespace

KeySimulationConfigureDialog::KeySimulationConfigureDialog(QWidget* parent)
    : QDialog(parent), ui(new Ui::KeySimulationConfigureDialogClass)
{
    ui->setupUi(this);
    for (QRadioButton* button : {ui->leftMouseButton, ui->middleMouseButton, ui->rightMouseButton,
                                 ui->doubleMouseButton, ui->holdLeftMouseButton}) {
        button->setEnabled(false);
    }
    ui->enter_checkBox->setEnabled(true);
    ui->hotKey_lineEdit->installEventFilter(this);
    connect(ui->sendmouseclick, &QRadioButton::toggled, this, &KeySimulationConfigureDialog::radiotoggle);
    connect(ui->pauseToggle_radioButton, &QRadioButton::toggled, this, &KeySimulationConfigureDialog::onPauseToggled);
    connect(ui->enter_checkBox, &QCheckBox::clicked, this, &KeySimulationConfigureDialog::clickedCheckbox);
}

KeySimulationConfigureDialog::~KeySimulationConfigureDialog()
{
    delete ui;
}

void KeySimulationConfigureDialog::setKeySimulation(bool sendHotKeys, const QString& keys, bool ctrlKey, bool altKey,
                                                    bool shiftKey, bool winKey, bool enterKey, int hotKey, bool holdKey,
                                                    int holdTime, int triggerDelayTime, bool mouseclickset,
                                                    int mousebutnum)
{
    m_hotKey = hotKey;
    if (sendHotKeys) {
        ui->sendHotkeys->setChecked(true);
        ui->ctrl_checkBox->setChecked(ctrlKey);
        ui->alt_checkBox->setChecked(altKey);
        ui->shift_checkBox->setChecked(shiftKey);
        ui->win_checkBox->setChecked(winKey);
        ui->enter_checkBox->setChecked(enterKey);
        ui->hotKey_lineEdit->setText(keyName(hotKey));
        ui->holdKey_checkBox->setEnabled(false);
    } else if (mouseclickset) {
        ui->sendmouseclick->setChecked(true);
        const std::array<QRadioButton*, 5> buttons = {ui->leftMouseButton, ui->middleMouseButton, ui->rightMouseButton,
                                                      ui->doubleMouseButton, ui->holdLeftMouseButton};
        if (mousebutnum >= 0 && mousebutnum < static_cast<int>(buttons.size())) {
            buttons[static_cast<std::size_t>(mousebutnum)]->setChecked(true);
        } else {
            // Exclusive buttons refuse to be unchecked one by one.
            for (QRadioButton* button : buttons) {
                button->setAutoExclusive(false);
                button->setChecked(false);
                button->setAutoExclusive(true);
            }
        }
    } else {
        ui->sendKeystrokes->setChecked(true);
        // Typing is limited, but a longer string from a file must come back whole.
        ui->keystrokes_lineEdit->setMaxLength(std::max<int>(kKeysLength, static_cast<int>(keys.size())));
        ui->keystrokes_lineEdit->setText(keys);
        ui->holdKey_checkBox->setEnabled(keys.size() == 1);
        ui->holdKey_checkBox->setChecked(holdKey);
        ui->enter_checkBox->setEnabled(true);
        ui->enter_checkBox->setChecked(enterKey);
        applyHoldRule(ui->keystrokes_lineEdit->text());
    }
    ui->holdTime_spinBox->setValue(holdTime);
    ui->triggerDelayTime_spinBox->setValue(triggerDelayTime);
}

void KeySimulationConfigureDialog::getKeySimulation(bool& sendHotKeys, QString& keys, bool& ctrlKey, bool& altKey,
                                                    bool& shiftKey, bool& winKey, bool& enterKey, int& hotKey,
                                                    bool& holdKey, int& holdTime, int& triggerDelayTime,
                                                    bool& mouseclickset, int& mousebutnum) const
{
    if (ui->pauseToggle_radioButton->isChecked()) {
        // Nothing to emit, so that a reader that knows no pause rules sees one that types nothing.
        sendHotKeys = mouseclickset = holdKey = enterKey = false;
        ctrlKey = altKey = shiftKey = winKey = false;
        keys.clear();
        hotKey = 0;
    } else if (ui->sendHotkeys->isChecked()) {
        sendHotKeys = true;
        mouseclickset = false;
        keys.clear();
        holdKey = false;
        ctrlKey = ui->ctrl_checkBox->isChecked();
        altKey = ui->alt_checkBox->isChecked();
        shiftKey = ui->shift_checkBox->isChecked();
        winKey = ui->win_checkBox->isChecked();
        // The box is shown and editable in this mode and Enter joins the combination, so what the user
        // leaves in it is what is sent.
        enterKey = ui->enter_checkBox->isChecked();
        hotKey = m_hotKey;
    } else if (ui->sendmouseclick->isChecked()) {
        mouseclickset = true;
        sendHotKeys = false;
        const std::array<const QRadioButton*, 5> buttons = {ui->leftMouseButton, ui->middleMouseButton,
                                                            ui->rightMouseButton, ui->doubleMouseButton,
                                                            ui->holdLeftMouseButton};
        for (std::size_t i = 0; i < buttons.size(); ++i) {
            if (buttons[i]->isChecked()) {
                mousebutnum = static_cast<int>(i);
            }
        }
        if (mousebutnum >= 0 && mousebutnum < static_cast<int>(kClickLabels.size())) {
            keys = kClickLabels[static_cast<std::size_t>(mousebutnum)];
        }
    } else {
        sendHotKeys = false;
        mouseclickset = false;
        keys = ui->keystrokes_lineEdit->text();
        holdKey = ui->holdKey_checkBox->isChecked();
        enterKey = ui->enter_checkBox->isChecked();
        ctrlKey = altKey = shiftKey = winKey = false;
        hotKey = 0;
    }
    holdTime = ui->holdTime_spinBox->value();
    triggerDelayTime = ui->triggerDelayTime_spinBox->value();
}

bool KeySimulationConfigureDialog::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == ui->hotKey_lineEdit && event->type() == QEvent::KeyPress) {
        // Unnamed keys capture as 0 and write their own debug line.
        const HotKeyCapture capture = captureHotKey(static_cast<QKeyEvent*>(event)->key());
        m_hotKey = capture.keyCode;
        ui->hotKey_lineEdit->setText(capture.text);
        return true;
    }
    return QDialog::eventFilter(watched, event);
}

void KeySimulationConfigureDialog::setTiming(uint dwellTime, uint cooldownTime, uint rearmTime)
{
    const auto toSpin = [](uint value) { return static_cast<int>(std::min(value, kMaxConditioningTime)); };
    ui->dwell_spinBox->setValue(toSpin(dwellTime));
    ui->cooldown_spinBox->setValue(toSpin(cooldownTime));
    ui->rearm_spinBox->setValue(toSpin(rearmTime));
}

void KeySimulationConfigureDialog::getTiming(uint& dwellTime, uint& cooldownTime, uint& rearmTime) const
{
    dwellTime = static_cast<uint>(ui->dwell_spinBox->value());
    cooldownTime = static_cast<uint>(ui->cooldown_spinBox->value());
    rearmTime = static_cast<uint>(ui->rearm_spinBox->value());
}

void KeySimulationConfigureDialog::setPauseToggle(bool pauseToggle)
{
    // Loading an existing pause rule keeps its dwell time, even 0.
    const QSignalBlocker blocker(ui->pauseToggle_radioButton);
    if (pauseToggle) {
        ui->pauseToggle_radioButton->setChecked(true);
    }
}

bool KeySimulationConfigureDialog::pauseToggle() const
{
    return ui->pauseToggle_radioButton->isChecked();
}

void KeySimulationConfigureDialog::onPauseToggled(bool checked)
{
    if (checked && ui->dwell_spinBox->value() == 0) {
        ui->dwell_spinBox->setValue(static_cast<int>(SenMapping::kDefaultPauseDwellTime));
    }
}

void KeySimulationConfigureDialog::accept()
{
    done(QDialog::Accepted);
}

void KeySimulationConfigureDialog::on_keystrokes_lineEdit_textChanged(const QString& text)
{
    applyHoldRule(text);
}

void KeySimulationConfigureDialog::radiotoggle()
{
    const bool mouse = ui->sendmouseclick->isChecked();
    for (QRadioButton* button : {ui->leftMouseButton, ui->middleMouseButton, ui->rightMouseButton,
                                 ui->doubleMouseButton, ui->holdLeftMouseButton}) {
        button->setEnabled(mouse);
    }
}

void KeySimulationConfigureDialog::clickedCheckbox()
{
    applyHoldRule(ui->keystrokes_lineEdit->text());
}

void KeySimulationConfigureDialog::on_cancelButton_clicked()
{
    done(QDialog::Rejected);
}

void KeySimulationConfigureDialog::on_okButton_clicked()
{
    accept();
}

void KeySimulationConfigureDialog::applyHoldRule(const QString& text)
{
    // Holding is offered only when the key string is one key: a single character, or Enter alone.
    const bool allowed = ui->enter_checkBox->isChecked() ? text.isEmpty() : text.size() == 1;
    if (allowed) {
        ui->holdKey_checkBox->setEnabled(true);
    } else {
        ui->holdKey_checkBox->setChecked(false);
        ui->holdKey_checkBox->setEnabled(false);
    }
}
