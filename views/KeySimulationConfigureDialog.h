#pragma once

#include <QDialog>
#include <QString>
#include <QStringList>

class ApplicationListsEditor;
class WindowSystem;

namespace Ui {
class KeySimulationConfigureDialogClass;
}

/// Chooses what one mapping emits: a key string, a hot key or a mouse click, with the hold time and
/// trigger delay. Never touches a mapping: the caller loads the fields and reads them back.
class KeySimulationConfigureDialog : public QDialog
{
    Q_OBJECT

public:
    /// `windowSystem` lists the open applications for the "Pick…" buttons; without one they are disabled.
    explicit KeySimulationConfigureDialog(QWidget* parent = nullptr, WindowSystem* windowSystem = nullptr);
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

    /// The rule's "only in" and "never in" application lists.
    void setApplicationLists(const QStringList& onlyIn, const QStringList& neverIn);
    QStringList onlyInApps() const;
    QStringList neverInApps() const;

    /// Captures key presses in the hot-key field.
    bool eventFilter(QObject* watched, QEvent* event) override;

public slots:
    void accept() override;
    void on_keystrokes_lineEdit_textChanged(const QString& text);
    void radiotoggle();
    void clickedCheckbox();
    void on_cancelButton_clicked();
    void on_okButton_clicked();

private:
    void applyHoldRule(const QString& text);

    Ui::KeySimulationConfigureDialogClass* ui;
    int m_hotKey = 0;
    ApplicationListsEditor* m_applications = nullptr;
};
