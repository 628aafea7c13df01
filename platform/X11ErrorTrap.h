#pragma once

#include <X11/Xlib.h>

#include <mutex>

/// Catches the X errors of the requests made while it lives, instead of letting Xlib's default handler
/// end the process (a window can vanish between finding it and using it). The handler is process-wide,
/// so traps are serialised.
class X11ErrorTrap
{
public:
    explicit X11ErrorTrap(Display* display);
    ~X11ErrorTrap();
    X11ErrorTrap(const X11ErrorTrap&) = delete;
    X11ErrorTrap& operator=(const X11ErrorTrap&) = delete;

    /// Waits for the server to answer every request so far; true if none of them failed.
    bool ok();

private:
    Display* display_;
    std::unique_lock<std::mutex> lock_;
    XErrorHandler previous_;
};
