#pragma once

#include "WindowSystem.h"

#include <QByteArray>

#include <mutex>

struct _XDisplay;

/// The windows of an X display, on a connection of its own. Characters are handed to a window as sent
/// key events, which some programs ignore.
class X11WindowSystem : public WindowSystem
{
public:
    /// An empty display name means $DISPLAY.
    explicit X11WindowSystem(const QByteArray& displayName = {});
    ~X11WindowSystem() override;
    X11WindowSystem(const X11WindowSystem&) = delete;
    X11WindowSystem& operator=(const X11WindowSystem&) = delete;

    bool isAvailable() const override { return display_ != nullptr; }

    WindowHandle foregroundWindow() override;
    WindowHandle findWindow(const QString& title) override;
    bool postChar(WindowHandle window, char ch) override;
    bool isValidWindow(WindowHandle window) override;
    WindowHandle windowAt(int x, int y) override;
    QString windowCaption(WindowHandle window) override;
    QString windowClassName(WindowHandle window) override;
    WindowRect windowRect(WindowHandle window) override;

private:
    QString captionLocked(unsigned long window);

    _XDisplay* display_ = nullptr;
    std::mutex mutex_;
};
