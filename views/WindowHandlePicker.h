#pragma once

#include "WindowSystem.h"

#include <QCursor>
#include <QLabel>
#include <QPixmap>
#include <QRect>
#include <QString>

#include <vector>

/// The window finder: press on it, drag over any window of the desktop and release. While the button
/// is down the window under the pointer is outlined and reported through foundWindow; the program's
/// own windows are skipped. The last window reported is the one picked.
class WindowHandlePicker : public QLabel
{
    Q_OBJECT

public:
    explicit WindowHandlePicker(WindowSystem& windows, QWidget* parent = nullptr);
    ~WindowHandlePicker() override;

    /// The window outlined now; 0 outside a drag.
    WindowHandle highlightedWindow() const { return m_highlighted; }

signals:
    void pickerActivated();
    void pickerDeactivated();
    void foundWindow(uint winHandle, QString caption, QString className, QRect rect);

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;

private:
    void endHighlight();
    bool isOwnWindow(WindowHandle window) const;

    WindowSystem& m_windows;
    QPixmap m_idleImage;
    QPixmap m_activeImage;
    QCursor m_dragCursor;
    WindowHandle m_highlighted = 0;
    std::vector<WindowHandle> m_ownWindows;
    bool m_dragging = false;
};
