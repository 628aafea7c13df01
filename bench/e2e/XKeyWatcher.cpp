// An X client that prints, with CLOCK_MONOTONIC seconds, every key press it is given: the end point of
// the XTest latency run. Its window takes the input focus and carries the title the latency mappings
// post to, so both the typed key and the posted characters land here.
//
//   senkey-xwatch TITLE        prints "SECONDS key down 0xSCAN" for a real key press (XTest),
//                              "SECONDS char 0xCHAR" for a character sent to the window; ends on SIGTERM

#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <csignal>
#include <string>
#include <cstdio>
#include <ctime>
#include <poll.h>

namespace {

volatile std::sig_atomic_t stopRequested = 0;

void onStop(int)
{
    stopRequested = 1;
}

double monotonicSeconds()
{
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: senkey-xwatch TITLE\n");
        return 2;
    }
    Display* display = XOpenDisplay(nullptr);
    if (display == nullptr) {
        std::fprintf(stderr, "senkey-xwatch: no X display\n");
        return 1;
    }
    const Window window = XCreateSimpleWindow(display, DefaultRootWindow(display), 0, 0, 200, 100, 0, 0, 0);
    XStoreName(display, window, argv[1]);
    const Atom netWmName = XInternAtom(display, "_NET_WM_NAME", False);
    const Atom utf8 = XInternAtom(display, "UTF8_STRING", False);
    XChangeProperty(display, window, netWmName, utf8, 8, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(argv[1]), static_cast<int>(std::char_traits<char>::length(argv[1])));
    XSelectInput(display, window, KeyPressMask | StructureNotifyMask);
    XMapRaised(display, window);
    XEvent event;
    do {
        XNextEvent(display, &event);
    } while (event.type != MapNotify);
    XSetInputFocus(display, window, RevertToParent, CurrentTime);
    XSync(display, False);
    std::printf("%.9f ready\n", monotonicSeconds());
    std::fflush(stdout);

    std::signal(SIGTERM, onStop);
    std::signal(SIGINT, onStop);
    pollfd connection{ConnectionNumber(display), POLLIN, 0};
    while (stopRequested == 0) {
        if (XPending(display) == 0) {
            ::poll(&connection, 1, 100);
            continue;
        }
        XNextEvent(display, &event);
        if (event.type != KeyPress) {
            continue;
        }
        const double now = monotonicSeconds();
        if (event.xkey.send_event) {
            char text[8] = {};
            KeySym keysym = 0;
            if (XLookupString(&event.xkey, text, sizeof text, &keysym, nullptr) > 0) {
                std::printf("%.9f char 0x%02x\n", now, static_cast<unsigned char>(text[0]));
            }
        } else {
            std::printf("%.9f key down 0x%02x\n", now, event.xkey.keycode - 8);
        }
    }
    std::fflush(stdout);
    XDestroyWindow(display, window);
    XCloseDisplay(display);
    return 0;
}
