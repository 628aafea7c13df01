#include "WindowInspection.h"

QRect toQRect(const WindowRect& rect)
{
    if (rect.isEmpty()) {
        return {};
    }
    return QRect(QPoint(rect.left, rect.top), QPoint(rect.right, rect.bottom));
}

QRect windowQRect(WindowSystem& windows, WindowHandle window)
{
    return toQRect(windows.windowRect(window));
}
