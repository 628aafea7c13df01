#pragma once

#include "InputInjector.h"
#include "WindowSystem.h"

#include <chrono>
#include <cstdint>
#include <map>
#include <mutex>
#include <ostream>
#include <string>
#include <vector>

/// One primitive that the program asked the OS boundary for.
struct RecordedEvent {
    enum class Kind { KeyDown, KeyUp, ButtonDown, ButtonUp, Char };

    Kind kind = Kind::KeyDown;
    std::uint16_t scanCode = 0;             ///< KeyDown, KeyUp
    MouseButton button = MouseButton::Left; ///< ButtonDown, ButtonUp
    char ch = 0;                            ///< Char
    WindowHandle window = 0;                ///< Char
    std::chrono::steady_clock::time_point time{};

    static RecordedEvent keyDown(std::uint16_t scanCode) { return {Kind::KeyDown, scanCode}; }
    static RecordedEvent keyUp(std::uint16_t scanCode) { return {Kind::KeyUp, scanCode}; }
    static RecordedEvent buttonDown(MouseButton b) { return {Kind::ButtonDown, 0, b}; }
    static RecordedEvent buttonUp(MouseButton b) { return {Kind::ButtonUp, 0, b}; }
    static RecordedEvent posted(WindowHandle window, char ch) { return {Kind::Char, 0, MouseButton::Left, ch, window}; }

    /// Equal in everything but the time stamp.
    bool sameAs(const RecordedEvent& other) const;
    bool operator==(const RecordedEvent& other) const { return sameAs(other); }
    std::string toString() const;
};

std::ostream& operator<<(std::ostream& out, const RecordedEvent& event);

/// Injects nothing and posts nothing: keeps every primitive with a monotonic time stamp. Used by tests
/// and dry runs, and as the fallback when no real injector can be set up. Its windows are the ones
/// registered with addWindow().
class RecordingBackend : public InputInjector, public WindowSystem
{
public:
    bool isAvailable() const override { return true; }

    void pressKey(std::uint16_t scanCode) override;
    void releaseKey(std::uint16_t scanCode) override;
    void pressButton(MouseButton button) override;
    void releaseButton(MouseButton button) override;

    WindowHandle foregroundWindow() override;
    WindowHandle findWindow(const QString& title) override;
    bool postChar(WindowHandle window, char ch) override;
    bool isValidWindow(WindowHandle window) override;
    WindowHandle windowAt(int x, int y) override;
    QString windowCaption(WindowHandle window) override;
    QString windowClassName(WindowHandle window) override;
    WindowRect windowRect(WindowHandle window) override;
    /// The registered windows, in the order of their handles.
    QList<WindowHandle> clientWindows() override;
    void showHighlight(WindowHandle window) override;
    void hideHighlight() override;

    /// The window outlined now, 0 when none.
    WindowHandle highlightedWindow() const;

    void addWindow(WindowHandle window, const QString& caption, const WindowRect& rect = {});
    void removeWindow(WindowHandle window);
    void setForegroundWindow(WindowHandle window);

    std::vector<RecordedEvent> events() const;
    void clear();

private:
    struct Window {
        QString caption;
        WindowRect rect;
    };

    void record(RecordedEvent event);

    mutable std::mutex mutex_;
    std::vector<RecordedEvent> events_;
    std::map<WindowHandle, Window> windows_;
    WindowHandle foreground_ = 0;
    WindowHandle highlighted_ = 0;
};
