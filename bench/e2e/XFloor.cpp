// The physical floor of the XTest latency run: the same 689-byte state frame written to a loopback TCP
// socket and read by a thread that waits for it, which then makes one XTest key press and waits until
// its own focused window is given that press. No rule engine, no queue: what any program would need.
//
//   senkey-xfloor PRESSES_PER_SECOND SECONDS     prints one JSON object: count, p50_ms, p99_ms, max_ms

#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>

#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "SenEvent.h"
#include "SenWireCodec.h"
#include "nxl.h"

namespace {

using Clock = std::chrono::steady_clock;

bool readAll(int fd, char* data, std::size_t size)
{
    while (size > 0) {
        const ssize_t got = ::read(fd, data, size);
        if (got <= 0) {
            return false;
        }
        data += got;
        size -= static_cast<std::size_t>(got);
    }
    return true;
}

double percentile(std::vector<double> values, double fraction)
{
    if (values.empty()) {
        return 0.0;
    }
    std::sort(values.begin(), values.end());
    const auto rank = static_cast<std::size_t>(std::max(1.0, std::ceil(fraction * static_cast<double>(values.size()))));
    return values[rank - 1];
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: senkey-xfloor PRESSES_PER_SECOND SECONDS\n");
        return 2;
    }
    const double rate = std::atof(argv[1]);
    const int count = static_cast<int>(std::lround(rate * std::atof(argv[2])));

    Display* display = XOpenDisplay(nullptr);
    if (display == nullptr) {
        std::fprintf(stderr, "senkey-xfloor: no X display\n");
        return 1;
    }
    const Window window = XCreateSimpleWindow(display, DefaultRootWindow(display), 0, 0, 200, 100, 0, 0, 0);
    XSelectInput(display, window, KeyPressMask | StructureNotifyMask);
    XMapRaised(display, window);
    XEvent event;
    do {
        XNextEvent(display, &event);
    } while (event.type != MapNotify);
    XSetInputFocus(display, window, RevertToParent, CurrentTime);
    XSync(display, False);
    const KeyCode keyA = static_cast<KeyCode>(0x1E + 8);

    // One loopback TCP connection, as between the engine and the client library.
    const int listener = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (::bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 || ::listen(listener, 1) != 0 ||
        ::getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        std::perror("senkey-xfloor: listen");
        return 1;
    }
    const int writer = ::socket(AF_INET, SOCK_STREAM, 0);
    if (::connect(writer, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        std::perror("senkey-xfloor: connect");
        return 1;
    }
    const int reader = ::accept(listener, nullptr, nullptr);
    const int one = 1;
    ::setsockopt(writer, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);

    Velmor::SenEngineEvent update;
    std::vector<unsigned char> record(NXL_STATE_SIZE, 0);
    update.setState(0, record.data());
    const std::string frame = *Velmor::SenWire::encodeFrame(update);

    std::vector<Clock::time_point> written(static_cast<std::size_t>(count));
    std::vector<double> latencies;
    latencies.reserve(static_cast<std::size_t>(count));
    std::thread receiver([&] {
        std::string buffer(frame.size(), '\0');
        for (int i = 0; i < count; ++i) {
            if (!readAll(reader, buffer.data(), buffer.size())) {
                return;
            }
            XTestFakeKeyEvent(display, keyA, True, 0);
            XFlush(display);
            for (;;) {
                XNextEvent(display, &event);
                if (event.type == KeyPress && !event.xkey.send_event) {
                    break;
                }
            }
            const auto seen = Clock::now();
            latencies.push_back(std::chrono::duration<double, std::milli>(seen - written[static_cast<std::size_t>(i)]).count());
            XTestFakeKeyEvent(display, keyA, False, 0);
            XFlush(display);
        }
    });
    const auto start = Clock::now();
    for (int i = 0; i < count; ++i) {
        std::this_thread::sleep_until(start + std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(i / rate)));
        written[static_cast<std::size_t>(i)] = Clock::now();
        if (::write(writer, frame.data(), frame.size()) != static_cast<ssize_t>(frame.size())) {
            std::perror("senkey-xfloor: write");
            break;
        }
    }
    receiver.join();
    std::printf("{\"count\": %zu, \"p50_ms\": %.4f, \"p99_ms\": %.4f, \"max_ms\": %.4f}\n", latencies.size(),
                percentile(latencies, 0.5), percentile(latencies, 0.99), percentile(latencies, 1.0));
    ::close(reader);
    ::close(writer);
    ::close(listener);
    XCloseDisplay(display);
    return 0;
}
