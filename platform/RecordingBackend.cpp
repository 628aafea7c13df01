#include "RecordingBackend.h"

#include <iomanip>
#include <sstream>

bool RecordedEvent::sameAs(const RecordedEvent& other) const
{
    if (kind != other.kind) {
        return false;
    }
    switch (kind) {
    case Kind::KeyDown:
    case Kind::KeyUp:
        return scanCode == other.scanCode;
    case Kind::ButtonDown:
    case Kind::ButtonUp:
        return button == other.button;
    case Kind::Char:
        return ch == other.ch && window == other.window;
    }
    return false;
}

std::string RecordedEvent::toString() const
{
    static const char* const kButtons[] = {"left", "middle", "right"};
    std::ostringstream out;
    switch (kind) {
    case Kind::KeyDown:
        out << "key down 0x" << std::hex << scanCode;
        break;
    case Kind::KeyUp:
        out << "key up 0x" << std::hex << scanCode;
        break;
    case Kind::ButtonDown:
        out << kButtons[static_cast<int>(button)] << " down";
        break;
    case Kind::ButtonUp:
        out << kButtons[static_cast<int>(button)] << " up";
        break;
    case Kind::Char:
        out << "char 0x" << std::hex << static_cast<std::uint32_t>(ch) << " to 0x" << window;
        break;
    }
    if ((kind == Kind::KeyDown || kind == Kind::KeyUp) && ch != 0) {
        out << " for U+" << std::hex << std::uppercase << std::setw(4) << std::setfill('0')
            << static_cast<std::uint32_t>(ch);
    }
    return out.str();
}

std::ostream& operator<<(std::ostream& out, const RecordedEvent& event)
{
    return out << event.toString();
}

RecordingBackend::RecordingBackend(std::unique_ptr<KeyboardLayout> layout, std::size_t capacity)
    : capacity_(capacity == 0 ? 1 : capacity),
      m_chars([this](std::uint16_t scanCode, bool down, char32_t ch) {
          record(down ? RecordedEvent::keyDown(scanCode, ch) : RecordedEvent::keyUp(scanCode, ch));
      },
              std::move(layout))
{
}

void RecordingBackend::pressKey(std::uint16_t scanCode)
{
    record(RecordedEvent::keyDown(scanCode));
}

void RecordingBackend::releaseKey(std::uint16_t scanCode)
{
    record(RecordedEvent::keyUp(scanCode));
}

bool RecordingBackend::pressChar(char32_t ch)
{
    return m_chars.press(ch);
}

void RecordingBackend::releaseChar(char32_t ch)
{
    m_chars.release(ch);
}

void RecordingBackend::pressButton(MouseButton button)
{
    record(RecordedEvent::buttonDown(button));
}

void RecordingBackend::releaseButton(MouseButton button)
{
    record(RecordedEvent::buttonUp(button));
}

WindowHandle RecordingBackend::foregroundWindow()
{
    std::lock_guard lock(mutex_);
    return foreground_;
}

WindowHandle RecordingBackend::findWindow(const QString& title)
{
    std::lock_guard lock(mutex_);
    for (const auto& [handle, window] : windows_) {
        if (window.caption == title) {
            return handle;
        }
    }
    return 0;
}

bool RecordingBackend::postChar(WindowHandle window, char32_t ch)
{
    if (window == 0) {
        return false;
    }
    record(RecordedEvent::posted(window, ch));
    return true;
}

bool RecordingBackend::isValidWindow(WindowHandle window)
{
    std::lock_guard lock(mutex_);
    return windows_.contains(window);
}

WindowHandle RecordingBackend::windowAt(int x, int y)
{
    std::lock_guard lock(mutex_);
    for (const auto& [handle, window] : windows_) {
        const WindowRect& r = window.rect;
        if (x >= r.left && x <= r.right && y >= r.top && y <= r.bottom) {
            return handle;
        }
    }
    return 0;
}

QString RecordingBackend::windowCaption(WindowHandle window)
{
    std::lock_guard lock(mutex_);
    const auto it = windows_.find(window);
    return it == windows_.end() ? QString() : it->second.caption;
}

QString RecordingBackend::windowClassName(WindowHandle window)
{
    return isValidWindow(window) ? QStringLiteral("Recorded") : QString();
}

WindowRect RecordingBackend::windowRect(WindowHandle window)
{
    std::lock_guard lock(mutex_);
    const auto it = windows_.find(window);
    return it == windows_.end() ? WindowRect{} : it->second.rect;
}

void RecordingBackend::showHighlight(WindowHandle window)
{
    std::lock_guard lock(mutex_);
    highlighted_ = window;
}

void RecordingBackend::hideHighlight()
{
    std::lock_guard lock(mutex_);
    highlighted_ = 0;
}

WindowHandle RecordingBackend::highlightedWindow() const
{
    std::lock_guard lock(mutex_);
    return highlighted_;
}

QList<WindowHandle> RecordingBackend::clientWindows()
{
    std::lock_guard lock(mutex_);
    QList<WindowHandle> handles;
    for (const auto& entry : windows_) {
        handles.append(entry.first);
    }
    return handles;
}

void RecordingBackend::addWindow(WindowHandle window, const QString& caption, const WindowRect& rect)
{
    std::lock_guard lock(mutex_);
    windows_[window] = {caption, rect};
}

void RecordingBackend::removeWindow(WindowHandle window)
{
    std::lock_guard lock(mutex_);
    windows_.erase(window);
    if (foreground_ == window) {
        foreground_ = 0;
    }
}

void RecordingBackend::setForegroundWindow(WindowHandle window)
{
    std::lock_guard lock(mutex_);
    foreground_ = window;
}

std::vector<RecordedEvent> RecordingBackend::events() const
{
    std::lock_guard lock(mutex_);
    return {events_.begin(), events_.end()};
}

std::uint64_t RecordingBackend::dropped() const
{
    std::lock_guard lock(mutex_);
    return dropped_;
}

void RecordingBackend::clear()
{
    std::lock_guard lock(mutex_);
    events_.clear();
    dropped_ = 0;
}

void RecordingBackend::record(RecordedEvent event)
{
    std::lock_guard lock(mutex_);
    // Stamped under the lock so that the order of the list and of the time stamps agree.
    event.time = std::chrono::steady_clock::now();
    if (events_.size() == capacity_) {
        events_.pop_front();
        ++dropped_;
    }
    events_.push_back(event);
}
