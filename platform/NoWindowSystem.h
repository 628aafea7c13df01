#pragma once

#include "WindowSystem.h"

/// Stands in when there is no desktop to talk to: no windows, nothing posted.
class NoWindowSystem : public WindowSystem
{
public:
    bool isAvailable() const override { return false; }

    WindowHandle foregroundWindow() override { return 0; }
    WindowHandle findWindow(const QString&) override { return 0; }
    bool postChar(WindowHandle window, char32_t ch) override;
    bool isValidWindow(WindowHandle) override { return false; }
    WindowHandle windowAt(int, int) override { return 0; }
    QString windowCaption(WindowHandle) override { return {}; }
    QString windowClassName(WindowHandle) override { return {}; }
    WindowRect windowRect(WindowHandle) override { return {}; }
};
