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

PrintBackend::PrintBackend(std::FILE* out, Clock clock)
    : out_(out), clock_(clock), start_(std::chrono::steady_clock::now())
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

void PrintBackend::printKey(const char* direction, std::uint16_t scanCode)
{
    char line[32];
    std::snprintf(line, sizeof line, "key %s 0x%02x", direction, static_cast<unsigned>(scanCode));
    print(line);
}

void PrintBackend::printButton(const char* direction, MouseButton button)
{
    char line[32];
    std::snprintf(line, sizeof line, "button %s %s", direction, buttonName(button));
    print(line);
}

void PrintBackend::printFocus(const QString& instance, const QString& className)
{
    const QByteArray line = QStringLiteral("focus \"%1\" \"%2\"").arg(instance, className).toUtf8();
    print(line.constData());
}

void PrintBackend::pressKey(std::uint16_t scanCode)
{
    printKey("down", scanCode);
}

void PrintBackend::releaseKey(std::uint16_t scanCode)
{
    printKey("up", scanCode);
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

bool PrintBackend::postChar(WindowHandle window, char ch)
{
    if (!isValidWindow(window)) {
        return false;
    }
    char line[48];
    std::snprintf(line, sizeof line, "char 0x%02x window 0x%08x", static_cast<unsigned>(static_cast<unsigned char>(ch)),
                  static_cast<unsigned>(window));
    print(line);
    return true;
}
