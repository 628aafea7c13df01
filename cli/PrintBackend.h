#pragma once

#include "InputInjector.h"
#include "WindowSystem.h"

#include <QStringList>

#include <chrono>
#include <cstdio>
#include <mutex>

/// The runner's dry-run backend: sends nothing and writes one line per primitive, flushed at once:
///   T key down|up 0xHH
///   T button down|up left|middle|right
///   T char 0xHH window 0xHHHHHHHH
///   T focus INSTANCE CLASS            (printFocus, for --verbose)
/// T is seconds since the backend was made (three decimals), or CLOCK_MONOTONIC seconds (six decimals).
/// It has no real windows: every title asked for gets a stand-in handle, so that posted characters
/// show up too.
class PrintBackend : public InputInjector, public WindowSystem
{
public:
    enum class Clock { SinceStart, Monotonic };

    explicit PrintBackend(std::FILE* out = stdout, Clock clock = Clock::SinceStart);

    bool isAvailable() const override { return true; }

    void pressKey(std::uint16_t scanCode) override;
    void releaseKey(std::uint16_t scanCode) override;
    void pressButton(MouseButton button) override;
    void releaseButton(MouseButton button) override;

    WindowHandle foregroundWindow() override { return 0; }
    WindowHandle findWindow(const QString& title) override;
    bool postChar(WindowHandle window, char ch) override;
    bool isValidWindow(WindowHandle window) override;
    WindowHandle windowAt(int, int) override { return 0; }
    QString windowCaption(WindowHandle window) override;
    QString windowClassName(WindowHandle) override { return {}; }
    WindowRect windowRect(WindowHandle) override { return {}; }

    /// One line for a focus change the rules act on; names are quoted, empty for no application.
    void printFocus(const QString& instance, const QString& className);

private:
    static constexpr WindowHandle kFirstWindow = 0x01000000;

    void print(const char* line);
    void printKey(const char* direction, std::uint16_t scanCode);
    void printButton(const char* direction, MouseButton button);

    std::FILE* out_;
    Clock clock_;
    std::chrono::steady_clock::time_point start_;
    std::mutex mutex_;
    QStringList titles_; ///< index i is the window kFirstWindow + i
};
