// Drives UinputInjector against the kernel's uinput driver and reads back what the kernel reports.
//
// Runs as /init of a small initramfs under qemu (tests/kernel/run-uinput-vm), or directly on a machine
// whose /dev/uinput is writable. A child process makes the virtual devices and sends a sequence of
// keys, a hot key and clicks; the parent reads them from the devices' /dev/input/eventN with libevdev
// and checks codes and order. The child then holds keys and a button and is killed with SIGKILL: the
// kernel must report all of them up. Those releases are read from the console keyboard (a VT in
// medium-raw mode) and from /dev/input/mice, which outlive the removed devices; an event node
// refuses every read once its device is gone, so it cannot be trusted to hand over the last events.
// Prints "uinput-probe: PASS" or "uinput-probe: FAIL ..." lines; as PID 1 it powers the machine off.

#include "UinputInjector.h"

#include <libevdev/libevdev.h>

#include <fcntl.h>
#include <linux/kd.h>
#include <linux/reboot.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/mount.h>
#include <sys/reboot.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <set>
#include <string>
#include <utility>
#include <vector>

namespace {

using KeyEvent = std::pair<int, int>; // code, value (1 down, 0 up)

bool g_failed = false;

void say(const char* format, ...)
{
    std::va_list args;
    va_start(args, format);
    std::fputs("uinput-probe: ", stdout);
    std::vprintf(format, args);
    std::fputc('\n', stdout);
    std::fflush(stdout);
    va_end(args);
}

void fail(const std::string& what)
{
    say("FAIL %s", what.c_str());
    g_failed = true;
}

// --- what the injector sends, and what the kernel must report for it --------------------------------

struct Step {
    enum Kind { PressKey, ReleaseKey, PressButton, ReleaseButton } kind;
    std::uint16_t scanCode = 0;
    MouseButton button = MouseButton::Left;
};

// Scan codes are set-1 (E0 keys + 0x80); the expected codes are the kernel's own, so the scan code
// table is checked too.
const std::vector<Step> kSequence = {
    {Step::PressKey, 0x1E},
    {Step::ReleaseKey, 0x1E}, // a
    {Step::PressKey, 0xCD},
    {Step::ReleaseKey, 0xCD}, // right arrow (E0 4D)
    {Step::PressKey, 0x1D},
    {Step::PressKey, 0x38}, // hot key ctrl+alt+t
    {Step::PressKey, 0x14},
    {Step::ReleaseKey, 0x14},
    {Step::ReleaseKey, 0x38},
    {Step::ReleaseKey, 0x1D},
    {Step::PressButton, 0, MouseButton::Left},
    {Step::ReleaseButton, 0, MouseButton::Left},
    {Step::PressButton, 0, MouseButton::Middle},
    {Step::ReleaseButton, 0, MouseButton::Middle},
    {Step::PressButton, 0, MouseButton::Right},
    {Step::ReleaseButton, 0, MouseButton::Right},
};
// Held when the injector is killed: shift, a, right ctrl (E0 1D) and the left button.
const std::vector<Step> kHeld = {
    {Step::PressKey, 0x2A}, {Step::PressKey, 0x1E}, {Step::PressKey, 0x9D}, {Step::PressButton, 0, MouseButton::Left}};
const std::set<int> kHeldKeys = {KEY_LEFTSHIFT, KEY_A, KEY_RIGHTCTRL};

// The sequence, then the held presses.
const std::vector<KeyEvent> kExpectedKeyboard = {
    {KEY_A, 1},         {KEY_A, 0}, {KEY_RIGHT, 1},     {KEY_RIGHT, 0},   {KEY_LEFTCTRL, 1},
    {KEY_LEFTALT, 1},   {KEY_T, 1}, {KEY_T, 0},         {KEY_LEFTALT, 0}, {KEY_LEFTCTRL, 0},
    {KEY_LEFTSHIFT, 1}, {KEY_A, 1}, {KEY_RIGHTCTRL, 1},
};
const std::vector<KeyEvent> kExpectedMouse = {
    {BTN_LEFT, 1}, {BTN_LEFT, 0}, {BTN_MIDDLE, 1}, {BTN_MIDDLE, 0}, {BTN_RIGHT, 1}, {BTN_RIGHT, 0}, {BTN_LEFT, 1},
};

void perform(UinputInjector& injector, const std::vector<Step>& steps)
{
    for (const Step& step : steps) {
        switch (step.kind) {
        case Step::PressKey:
            injector.pressKey(step.scanCode);
            break;
        case Step::ReleaseKey:
            injector.releaseKey(step.scanCode);
            break;
        case Step::PressButton:
            injector.pressButton(step.button);
            break;
        case Step::ReleaseButton:
            injector.releaseButton(step.button);
            break;
        }
    }
}

std::string describe(const std::vector<KeyEvent>& events)
{
    std::string text;
    for (const auto& [code, value] : events) {
        text += std::string(text.empty() ? "" : " ") + libevdev_event_code_get_name(EV_KEY, code) +
                (value ? " down" : " up");
    }
    return text.empty() ? "nothing" : text;
}

// --- the machine around the probe when it is PID 1 ---------------------------------------------------

void prepareMachine()
{
    ::mount("proc", "/proc", "proc", 0, nullptr);
    ::mount("sysfs", "/sys", "sysfs", 0, nullptr);
    ::mount("devtmpfs", "/dev", "devtmpfs", 0, nullptr);
    for (const char* module : {"/lib/modules/evdev.ko", "/lib/modules/uinput.ko"}) {
        const int fd = ::open(module, O_RDONLY | O_CLOEXEC);
        if (fd < 0 || (::syscall(SYS_finit_module, fd, "", 0) != 0 && errno != EEXIST)) {
            fail(std::string("cannot load ") + module + ": " + std::strerror(errno));
        }
        if (fd >= 0) {
            ::close(fd);
        }
    }
}

[[noreturn]] void powerOff()
{
    ::sync();
    ::reboot(LINUX_REBOOT_CMD_POWER_OFF);
    std::_Exit(1);
}

// --- the injector's process ---------------------------------------------------------------------------

// Child: makes the devices, says 'r' (or 'e' when it cannot), sends the sequence on 'g', then presses
// the held keys, says 'h' and waits to be killed.
[[noreturn]] void runInjector(int commands, int replies)
{
    UinputInjector injector;
    if (!injector.isAvailable()) {
        say("FAIL injector not available: %s", injector.errorString().toLocal8Bit().constData());
        [[maybe_unused]] auto n = ::write(replies, "e", 1);
        std::_Exit(1);
    }
    [[maybe_unused]] auto n = ::write(replies, "r", 1);
    char command = 0;
    if (::read(commands, &command, 1) != 1 || command != 'g') {
        std::_Exit(1);
    }
    perform(injector, kSequence);
    perform(injector, kHeld);
    n = ::write(replies, "h", 1);
    for (;;) {
        ::pause();
    }
}

char readReply(int fd, int timeoutMs)
{
    pollfd p{fd, POLLIN, 0};
    char reply = 0;
    if (::poll(&p, 1, timeoutMs) == 1 && ::read(fd, &reply, 1) == 1) {
        return reply;
    }
    return 0;
}

// --- readers -------------------------------------------------------------------------------------------

struct EventDevice {
    int fd = -1;
    libevdev* device = nullptr;
};

EventDevice openByName(const char* name)
{
    for (int i = 0; i < 64; ++i) {
        const std::string path = "/dev/input/event" + std::to_string(i);
        const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
        if (fd < 0) {
            continue;
        }
        libevdev* device = nullptr;
        if (libevdev_new_from_fd(fd, &device) == 0 && std::strcmp(libevdev_get_name(device), name) == 0) {
            say("%s is %s", name, path.c_str());
            return {fd, device};
        }
        libevdev_free(device);
        ::close(fd);
    }
    fail(std::string("no event device named ") + name);
    return {};
}

// Reads key events until `count` arrived or a second passed without one.
std::vector<KeyEvent> readKeys(const EventDevice& source, std::size_t count)
{
    std::vector<KeyEvent> events;
    while (source.device && events.size() < count) {
        pollfd p{source.fd, POLLIN, 0};
        if (::poll(&p, 1, 1000) != 1) {
            break;
        }
        input_event ev{};
        while (libevdev_next_event(source.device, LIBEVDEV_READ_FLAG_NORMAL, &ev) == LIBEVDEV_READ_STATUS_SUCCESS) {
            if (ev.type == EV_KEY) {
                events.emplace_back(ev.code, ev.value);
            }
        }
    }
    return events;
}

// The console keyboard in medium-raw mode: one byte a key event, the code with 0x80 for a release.
int openRawConsole()
{
    const int fd = ::open("/dev/tty1", O_RDONLY | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    termios mode{};
    if (fd < 0 || ::tcgetattr(fd, &mode) != 0) {
        fail(std::string("cannot open the console keyboard: ") + std::strerror(errno));
        return -1;
    }
    ::cfmakeraw(&mode);
    ::tcsetattr(fd, TCSANOW, &mode);
    if (::ioctl(fd, KDSKBMODE, K_MEDIUMRAW) != 0) {
        fail(std::string("cannot put the console keyboard into medium-raw mode: ") + std::strerror(errno));
    }
    return fd;
}

// Bytes that arrive on fd within timeoutMs of each other, for at most `limit` bytes.
std::vector<unsigned char> readBytes(int fd, std::size_t limit, int timeoutMs)
{
    std::vector<unsigned char> bytes;
    while (fd >= 0 && bytes.size() < limit) {
        pollfd p{fd, POLLIN, 0};
        unsigned char buffer[64];
        if (::poll(&p, 1, timeoutMs) != 1) {
            break;
        }
        const ssize_t n = ::read(fd, buffer, std::min(sizeof buffer, limit - bytes.size()));
        if (n <= 0) {
            break;
        }
        bytes.insert(bytes.end(), buffer, buffer + n);
    }
    return bytes;
}

// --- the checks -----------------------------------------------------------------------------------------

void expectSequence(const char* device, const std::vector<KeyEvent>& got, const std::vector<KeyEvent>& expected)
{
    say("%s reported: %s", device, describe(got).c_str());
    if (got != expected) {
        fail(std::string(device) + " expected: " + describe(expected));
    }
}

// The console keyboard's stream holds the whole session: the live sequence, then the releases the
// kernel made when the injector died (in any order).
void expectConsoleReleases(int console)
{
    const std::vector<unsigned char> bytes = readBytes(console, kExpectedKeyboard.size() + kHeldKeys.size(), 3000);
    std::vector<KeyEvent> live;
    std::set<int> released;
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        const KeyEvent event{bytes[i] & 0x7F, (bytes[i] & 0x80) ? 0 : 1};
        if (i < kExpectedKeyboard.size()) {
            live.push_back(event);
        } else if (event.second == 0) {
            released.insert(event.first);
        }
    }
    expectSequence("console keyboard", live, kExpectedKeyboard);
    std::vector<KeyEvent> releases;
    for (int code : released) {
        releases.emplace_back(code, 0);
    }
    say("after SIGKILL the kernel reported: %s", describe(releases).c_str());
    if (released != kHeldKeys) {
        fail("after SIGKILL not every held key was reported up");
    }
}

// PS/2 packets of the mixed mouse, one for each change: the low three bits of the first byte are the
// buttons down. The last one must show them all up.
void expectMouseReleases(int mice)
{
    const std::vector<unsigned char> packets = readBytes(mice, 3 * (kExpectedMouse.size() + 1), 3000);
    const bool buttonsUp = packets.size() >= 3 && (packets[packets.size() - 3] & 0x07) == 0;
    say("after SIGKILL the mouse buttons are %s", buttonsUp ? "all up" : "not reported up");
    if (!buttonsUp) {
        fail("after SIGKILL the held button was not reported up");
    }
}

void runChecks()
{
    int commands[2];
    int replies[2];
    if (::pipe(commands) != 0 || ::pipe(replies) != 0) {
        fail("cannot make pipes");
        return;
    }
    const pid_t child = ::fork();
    if (child == 0) {
        runInjector(commands[0], replies[1]);
    }
    if (readReply(replies[0], 10000) != 'r') {
        fail("the injector did not make its devices");
        ::kill(child, SIGKILL);
        ::waitpid(child, nullptr, 0);
        return;
    }
    const EventDevice keyboard = openByName("SenKey virtual keyboard");
    const EventDevice mouse = openByName("SenKey virtual mouse");
    const int console = openRawConsole();
    const int mice = ::open("/dev/input/mice", O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (mice < 0) {
        fail(std::string("cannot open /dev/input/mice: ") + std::strerror(errno));
    }

    [[maybe_unused]] auto n = ::write(commands[1], "g", 1);
    if (readReply(replies[0], 10000) != 'h') {
        fail("the injector did not finish its sequence");
    }
    expectSequence("keyboard", readKeys(keyboard, kExpectedKeyboard.size()), kExpectedKeyboard);
    expectSequence("mouse", readKeys(mouse, kExpectedMouse.size()), kExpectedMouse);
    ::kill(child, SIGKILL);
    ::waitpid(child, nullptr, 0);
    say("injector killed with SIGKILL");
    expectConsoleReleases(console);
    expectMouseReleases(mice);
    if (console >= 0) {
        ::ioctl(console, KDSKBMODE, K_XLATE);
    }
}

} // namespace

int main()
{
    const bool init = ::getpid() == 1;
    if (init) {
        prepareMachine();
    }
    const auto start = std::chrono::steady_clock::now();
    runChecks();
    say("checks took %lld ms",
        static_cast<long long>(
            std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start).count()));
    say("%s", g_failed ? "FAIL" : "PASS");
    if (init) {
        powerOff();
    }
    return g_failed ? 1 : 0;
}
