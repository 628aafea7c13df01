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
    WindowHandle topLevelWindow(WindowHandle window) override;
    std::vector<WindowHandle> topLevelWindows() override;
    WindowApplication windowApplication(WindowHandle window) override;
    void showHighlight(WindowHandle window) override;
    void hideHighlight() override;

    /// The override-redirect window that draws the outline; 0 while none is shown.
    WindowHandle highlightFrame();

private:
    QString captionLocked(unsigned long window);
    void destroyHighlightLocked();
    unsigned long highlightPixelLocked();

    _XDisplay* display_ = nullptr;
    std::mutex mutex_;
    unsigned long highlight_ = 0;
    unsigned long highlightPixel_ = 0;
    bool highlightPixelKnown_ = false;
};
