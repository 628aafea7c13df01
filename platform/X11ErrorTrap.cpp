#include "X11ErrorTrap.h"

#include <atomic>

namespace {

std::mutex trapMutex;
std::atomic<int> trappedError{Success};

int recordError(Display*, XErrorEvent* event)
{
    trappedError = event->error_code;
    return 0;
}

} // namespace

X11ErrorTrap::X11ErrorTrap(Display* display) : display_(display), lock_(trapMutex)
{
    XSync(display_, False);
    trappedError = Success;
    previous_ = XSetErrorHandler(recordError);
}

X11ErrorTrap::~X11ErrorTrap()
{
    XSync(display_, False);
    XSetErrorHandler(previous_);
}

bool X11ErrorTrap::ok()
{
    XSync(display_, False);
    return trappedError == Success;
}
