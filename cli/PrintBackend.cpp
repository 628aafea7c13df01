#include "PrintBackend.h"

#include <ctime>

namespace {

const char* buttonName(MouseButton button)
{
    switch (button) {
    case MouseButton::Left:
        return "left";
    case MouseButton::Middle:
        return "middle";
    case MouseButton::Right:
        return "right";
    }
    return "left";
}

} // namespace

PrintBackend::PrintBackend(std::FILE* out, Clock clock, std::unique_ptr<KeyboardLayout> layout)
    : out_(out), clock_(clock), start_(std::chrono::steady_clock::now()),
      m_chars([this](std::uint16_t scanCode, bool down, char32_t ch) { printKey(down ? "down" : "up", scanCode, ch); },
              std::move(layout))
{
}

void PrintBackend::print(const char* line)
{
    std::lock_guard lock(mutex_);
    if (clock_ == Clock::Monotonic) {
        timespec now{};
        clock_gettime(CLOCK_MONOTONIC, &now);
        std::fprintf(out_, "%lld.%06ld ", static_cast<long long>(now.tv_sec), now.tv_nsec / 1000);
    } else {
        const auto elapsed = std::chrono::steady_clock::now() - start_;
        const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(elapsed).count();
        std::fprintf(out_, "%lld.%03lld ", static_cast<long long>(ms / 1000), static_cast<long long>(ms % 1000));
    }
    std::fputs(line, out_);
    std::fputc('\n', out_);
    // A reader on a pipe must see each primitive when it happens, not at exit.
    std::fflush(out_);
}

void PrintBackend::printKey(const char* direction, std::uint16_t scanCode, char32_t ch)
{
    char line[48];
    if (ch != 0) {
        std::snprintf(line, sizeof line, "key %s 0x%02x for U+%04X", direction, static_cast<unsigned>(scanCode),
                      static_cast<unsigned>(ch));
    } else {
        std::snprintf(line, sizeof line, "key %s 0x%02x", direction, static_cast<unsigned>(scanCode));
    }
    print(line);
}

void PrintBackend::printButton(const char* direction, MouseButton button)
{
    char line[32];
    std::snprintf(line, sizeof line, "button %s %s", direction, buttonName(button));
    print(line);
}

void PrintBackend::pressKey(std::uint16_t scanCode)
{
    printKey("down", scanCode);
}

void PrintBackend::releaseKey(std::uint16_t scanCode)
{
    printKey("up", scanCode);
}

bool PrintBackend::pressChar(char32_t ch)
{
    return m_chars.press(ch);
}

void PrintBackend::releaseChar(char32_t ch)
{
    m_chars.release(ch);
}

void PrintBackend::pressButton(MouseButton button)
{
    printButton("down", button);
}

void PrintBackend::releaseButton(MouseButton button)
{
    printButton("up", button);
}

WindowHandle PrintBackend::findWindow(const QString& title)
{
    std::lock_guard lock(mutex_);
    qsizetype index = titles_.indexOf(title);
    if (index < 0) {
        titles_.append(title);
        index = titles_.size() - 1;
    }
    return kFirstWindow + static_cast<WindowHandle>(index);
}

bool PrintBackend::isValidWindow(WindowHandle window)
{
    std::lock_guard lock(mutex_);
    return window >= kFirstWindow && window - kFirstWindow < static_cast<WindowHandle>(titles_.size());
}

QString PrintBackend::windowCaption(WindowHandle window)
{
    std::lock_guard lock(mutex_);
    if (window < kFirstWindow || window - kFirstWindow >= static_cast<WindowHandle>(titles_.size())) {
        return {};
    }
    return titles_.at(static_cast<qsizetype>(window - kFirstWindow));
}

bool PrintBackend::postChar(WindowHandle window, char32_t ch)
{
    if (!isValidWindow(window)) {
        return false;
    }
    char line[48];
    std::snprintf(line, sizeof line, "char 0x%02x window 0x%08x", static_cast<unsigned>(ch), static_cast<unsigned>(window));
    print(line);
    return true;
}
