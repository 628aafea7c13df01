#include "WindowHandlePicker.h"

#include "WindowInspection.h"

#include <QApplication>
#include <QGuiApplication>
#include <QMouseEvent>
#include <QPainter>
#include <QWindow>

#include <algorithm>

namespace {

// Drawn when the program's images are not built in, so the picker can still be found and dragged.
QPixmap fallbackImage(bool active)
{
    QPixmap image(31, 28);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setPen(QPen(Qt::black, 2));
    painter.drawRect(1, 1, 29, 26);
    if (!active) {
        painter.drawEllipse(QPoint(15, 14), 7, 7);
        painter.drawLine(15, 5, 15, 23);
        painter.drawLine(6, 14, 24, 14);
    }
    return image;
}

QPixmap loadImage(const QString& path, bool active)
{
    QPixmap image(path);
    return image.isNull() ? fallbackImage(active) : image;
}

QCursor loadDragCursor()
{
    const QPixmap image(QStringLiteral(":/./Resources/WindowFinderCur.png"));
    if (image.isNull()) {
        return QCursor(Qt::CrossCursor);
    }
    return QCursor(image, image.width() / 2, image.height() / 2);
}

} // namespace

WindowHandlePicker::WindowHandlePicker(WindowSystem& windows, QWidget* parent)
    : QLabel(parent), m_windows(windows),
      m_idleImage(loadImage(QStringLiteral(":/./Resources/WindowFinder1_16colors.bmp"), false)),
      m_activeImage(loadImage(QStringLiteral(":/./Resources/WindowFinder2_16colors.bmp"), true)),
      m_dragCursor(loadDragCursor())
{
    setPixmap(m_idleImage);
    resize(m_idleImage.size());
}

WindowHandlePicker::~WindowHandlePicker()
{
    // A picker that goes away in the middle of a drag must not leave the outline or the cursor behind.
    if (m_dragging) {
        QGuiApplication::restoreOverrideCursor();
        endHighlight();
    }
}

void WindowHandlePicker::mousePressEvent(QMouseEvent* event)
{
    event->accept();
    if (m_dragging) {
        return;
    }
    m_dragging = true;
    setPixmap(m_activeImage);
    QGuiApplication::setOverrideCursor(m_dragCursor);
    m_ownWindows.clear();
    for (QWindow* window : QGuiApplication::allWindows()) {
        // Only windows that already exist natively; asking others for an id would create them.
        if (window->handle() != nullptr) {
            const auto own = static_cast<WindowHandle>(window->winId());
            m_ownWindows.push_back(own);
            // Under a window manager the frame and title bar around a window of ours are ours as well.
            if (const WindowHandle frame = m_windows.topLevelWindow(own); frame != 0 && frame != own) {
                m_ownWindows.push_back(frame);
            }
        }
    }
    emit pickerActivated();
}

void WindowHandlePicker::mouseMoveEvent(QMouseEvent* event)
{
    event->accept();
    if (!m_dragging) {
        return;
    }
    // The window system counts device pixels; Qt reports device-independent ones.
    const QPointF global = event->globalPosition() * devicePixelRatioF();
    const WindowHandle window = m_windows.windowAt(qRound(global.x()), qRound(global.y()));
    if (window == 0 || window == m_highlighted || isOwnWindow(window) || !m_windows.isValidWindow(window) ||
        isOwnWindow(m_windows.topLevelWindow(window))) {
        return;
    }
    m_highlighted = window;
    m_windows.showHighlight(window);
    // The window under the pointer is often an unnamed part of an application (its text area); it keeps
    // receiving the characters, while the user sees, and the file keeps, the application window's title.
    const WindowHandle client = m_windows.clientWindow(window);
    const WindowHandle named = client != 0 ? client : window;
    emit foundWindow(window, m_windows.windowCaption(named), m_windows.windowClassName(named),
                     windowQRect(m_windows, named));
}

void WindowHandlePicker::mouseReleaseEvent(QMouseEvent* event)
{
    event->accept();
    if (!m_dragging) {
        return;
    }
    m_dragging = false;
    setPixmap(m_idleImage);
    QGuiApplication::restoreOverrideCursor();
    endHighlight();
    m_ownWindows.clear();
    emit pickerDeactivated();
}

void WindowHandlePicker::endHighlight()
{
    if (m_highlighted != 0) {
        m_windows.hideHighlight();
        m_highlighted = 0;
    }
}

bool WindowHandlePicker::isOwnWindow(WindowHandle window) const
{
    return std::find(m_ownWindows.begin(), m_ownWindows.end(), window) != m_ownWindows.end();
}
