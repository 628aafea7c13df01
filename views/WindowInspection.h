#pragma once

#include "WindowSystem.h"

#include <QRect>

// Validity, caption and class name of a window are asked of WindowSystem directly
// (isValidWindow, windowCaption, windowClassName); the views show rectangles as QRect.

/// The same inclusive corners as a QRect; an empty rectangle becomes the null QRect.
QRect toQRect(const WindowRect& rect);

/// The window's screen rectangle with inclusive corners; the null QRect when it cannot be read.
QRect windowQRect(WindowSystem& windows, WindowHandle window);
