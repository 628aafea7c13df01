#pragma once

#include "InputInjector.h"

#include <QByteArray>
#include <QString>

#include <mutex>

struct _XDisplay;

/// Injects through the XTest extension of an X server, on a connection of its own.
class X11Injector : public InputInjector
{
public:
    /// An empty display name means $DISPLAY.
    explicit X11Injector(const QByteArray& displayName = {});
    ~X11Injector() override;
    X11Injector(const X11Injector&) = delete;
    X11Injector& operator=(const X11Injector&) = delete;

    bool isAvailable() const override { return display_ != nullptr; }
    /// Why the injector cannot be used; empty when it can.
    QString errorString() const { return error_; }

    void pressKey(std::uint16_t scanCode) override;
    void releaseKey(std::uint16_t scanCode) override;
    void pressButton(MouseButton button) override;
    void releaseButton(MouseButton button) override;

private:
    void sendKey(std::uint16_t scanCode, bool down);
    void sendButton(MouseButton button, bool down);

    _XDisplay* display_ = nullptr;
    std::mutex mutex_;
    QString error_;
};
