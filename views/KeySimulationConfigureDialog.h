#pragma once

#include <QDialog>
#include <QString>

namespace Ui {
class KeySimulationConfigureDialogClass;
}

/// Chooses what one mapping emits: a key string, a hot key or a mouse click, with the hold time and
/// trigger delay; or makes it a pause rule, which emits nothing. Never touches a mapping: the caller loads the fields and reads them back.
class KeySimulationConfigureDialog : public QDialog
{
    Q_OBJECT

public:
    explicit KeySimulationConfigureDialog(QWidget* parent = nullptr);
    ~KeySimulationConfigureDialog() override;

    /// Loads the key fields of a mapping; the times are milliseconds, clamped to 0..1000.
    void setKeySimulation(bool sendHotKeys, const QString& keys, bool ctrlKey, bool altKey, bool shiftKey, bool winKey,
                          bool enterKey, int hotKey, bool holdKey, int holdTime, int triggerDelayTime,
                          bool mouseclickset, int mousebutnum);
    /// Writes back what the dialog holds. Fields the chosen mode does not set keep what the caller passed,
    /// so pass the mapping's current values.
    void getKeySimulation(bool& sendHotKeys, QString& keys, bool& ctrlKey, bool& altKey, bool& shiftKey, bool& winKey,
                          bool& enterKey, int& hotKey, bool& holdKey, int& holdTime, int& triggerDelayTime,
                          bool& mouseclickset, int& mousebutnum) const;

    /// Loads the dwell, cooldown and re-arm times of a mapping, in ms, clamped to 0..600000.
    void setTiming(uint dwellTime, uint cooldownTime, uint rearmTime);
    void getTiming(uint& dwellTime, uint& cooldownTime, uint& rearmTime) const;

    /// Whether the mapping is a pause rule; checking the choice gives a dwell time of 0 the pause default.
    void setPauseToggle(bool pauseToggle);
    bool pauseToggle() const;

    /// Captures key presses in the hot-key field.
    bool eventFilter(QObject* watched, QEvent* event) override;

public slots:
    void accept() override;
    void on_keystrokes_lineEdit_textChanged(const QString& text);
    void radiotoggle();
    void onPauseToggled(bool checked);
    void clickedCheckbox();
    void on_cancelButton_clicked();
    void on_okButton_clicked();

private:
    void applyHoldRule(const QString& text);

    Ui::KeySimulationConfigureDialogClass* ui;
    int m_hotKey = 0;
};
