#pragma once

#include "WindowSystem.h"

#include <QDialog>
#include <QPointer>
#include <QRect>
#include <QString>

class QTimer;

namespace Ui {
class targetApplicationConfigureDialog;
}
class WindowHandlePicker;

/// Chooses where a mapping sends: to the application in focus, or to one window picked by dragging the
/// window finder over it. Can hide the main window meanwhile, and always shows it again when it goes.
class TargetApplicationConfigureDialog : public QDialog
{
    Q_OBJECT

public:
    /// `windowToHide` (may be null) is hidden while "Hide SenKey" is checked.
    TargetApplicationConfigureDialog(WindowSystem& windows, QWidget* windowToHide, QWidget* parent = nullptr);
    ~TargetApplicationConfigureDialog() override;

    void setTargetWindow(bool sendToFocus, uint winHandle, const QString& caption, const QString& className,
                         const QRect& rect);
    /// What the dialog holds; read it only after the dialog was accepted.
    void getTargetWindow(bool& sendToFocus, uint& winHandle, QString& caption, QString& className, QRect& rect) const;

    WindowHandlePicker* picker() const { return m_picker; }

    /// Fills the list of open windows again, from the window system, without the program's own.
    void refreshWindowList();
    /// Waits this long before taking the window in focus; for tests.
    void setFocusDelay(int milliseconds) { m_focusDelayMs = milliseconds; }

public slots:
    void onHideMainWindowToggled(bool checked);
    void displayWindowInfo(uint winHandle, const QString& caption, const QString& className, const QRect& rect);
    /// Aims at `window` as the picker would: its title, class and rectangle.
    void chooseWindow(WindowHandle window);
    /// Starts the count-down after which the window that has the focus is chosen.
    void startFocusCountdown();

private:
    void countDown();
    QList<WindowHandle> ownWindows() const;

    Ui::targetApplicationConfigureDialog* ui;
    WindowSystem& m_windows;
    QPointer<QWidget> m_windowToHide;
    WindowHandlePicker* m_picker = nullptr;
    QRect m_displayedRect;
    QTimer* m_focusTimer = nullptr;
    int m_focusDelayMs = 3000;
    int m_focusRemainingMs = 0;
};
