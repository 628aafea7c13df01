#pragma once

#include "CharacterScanCodes.h"
#include "InputInjector.h"
#include "WindowSystem.h"

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <deque>
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
    char32_t ch = 0;                        ///< Char; KeyDown and KeyUp: the character typed with it, 0 for none
    WindowHandle window = 0;                ///< Char
    std::chrono::steady_clock::time_point time{};

    static RecordedEvent keyDown(std::uint16_t scanCode, char32_t forChar = 0)
    {
        return {Kind::KeyDown, scanCode, MouseButton::Left, forChar};
    }
    static RecordedEvent keyUp(std::uint16_t scanCode, char32_t forChar = 0)
    {
        return {Kind::KeyUp, scanCode, MouseButton::Left, forChar};
    }
    static RecordedEvent buttonDown(MouseButton b) { return {Kind::ButtonDown, 0, b}; }
    static RecordedEvent buttonUp(MouseButton b) { return {Kind::ButtonUp, 0, b}; }
    static RecordedEvent posted(WindowHandle window, char32_t ch)
    {
        return {Kind::Char, 0, MouseButton::Left, ch, window};
    }

    /// Equal in everything but the time stamp and, for keys, the character they were typed for.
    bool sameAs(const RecordedEvent& other) const;
    bool operator==(const RecordedEvent& other) const { return sameAs(other); }
    std::string toString() const;
};

std::ostream& operator<<(std::ostream& out, const RecordedEvent& event);

/// Injects nothing and posts nothing: keeps the latest primitives with a monotonic time stamp, up to
/// its capacity (older ones go first). Used by tests and dry runs, and as the fallback when no real
/// injector can be set up. Its windows are the ones registered with addWindow().
class RecordingBackend : public InputInjector, public WindowSystem
{
public:
    /// About 2 MiB of primitives.
    static constexpr std::size_t kDefaultCapacity = 65536;

    /// Characters are recorded as the scan codes of the keys that type them in the layout; without one,
    /// in the US layout. Only the newest capacity primitives are kept.
    explicit RecordingBackend(std::unique_ptr<KeyboardLayout> layout = nullptr,
                              std::size_t capacity = kDefaultCapacity);
    explicit RecordingBackend(std::size_t capacity) : RecordingBackend(nullptr, capacity) {}

    bool isAvailable() const override { return true; }

    void pressKey(std::uint16_t scanCode) override;
    void releaseKey(std::uint16_t scanCode) override;
    bool pressChar(char32_t ch) override;
    void releaseChar(char32_t ch) override;
    void pressButton(MouseButton button) override;
    void releaseButton(MouseButton button) override;

    WindowHandle foregroundWindow() override;
    WindowHandle findWindow(const QString& title) override;
    bool postChar(WindowHandle window, char32_t ch) override;
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

    /// The kept primitives, oldest first.
    std::vector<RecordedEvent> events() const;
    /// Primitives that went to make room since the last clear().
    std::uint64_t dropped() const;
    void clear();

private:
    struct Window {
        QString caption;
        WindowRect rect;
    };

    void record(RecordedEvent event);

    const std::size_t capacity_;
    mutable std::mutex mutex_;
    std::deque<RecordedEvent> events_;
    std::uint64_t dropped_ = 0;
    std::map<WindowHandle, Window> windows_;
    WindowHandle foreground_ = 0;
    WindowHandle highlighted_ = 0;
    CharacterScanCodes m_chars;
};
