#include "UinputInjector.h"

#include <QDebug>

#include "ScanCodeTable.h"
#include "UinputEventWriter.h"

#include <libevdev/libevdev-uinput.h>
#include <libevdev/libevdev.h>

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace {

int buttonCode(MouseButton button)
{
    switch (button) {
    case MouseButton::Left:
        return BTN_LEFT;
    case MouseButton::Middle:
        return BTN_MIDDLE;
    case MouseButton::Right:
        return BTN_RIGHT;
    }
    return BTN_LEFT;
}

// Opens the uinput node and makes one device on it from the description. Returns the descriptor, or -1
// with the reason in error.
int createDevice(const QString& path, libevdev* description, libevdev_uinput** device, QString& error)
{
    const QByteArray nativePath = path.toLocal8Bit();
    const int fd = ::open(nativePath.constData(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        error = QStringLiteral("cannot open %1: %2").arg(path, QString::fromLocal8Bit(std::strerror(errno)));
        return -1;
    }
    const int rc = libevdev_uinput_create_from_device(description, fd, device);
    if (rc != 0) {
        error = QStringLiteral("cannot create a virtual device on %1: %2")
                    .arg(path, QString::fromLocal8Bit(std::strerror(-rc)));
        *device = nullptr;
        ::close(fd);
        return -1;
    }
    return fd;
}

} // namespace

UinputInjector::UinputInjector(const QString& devicePath, std::unique_ptr<KeyboardLayout> layout)
    : m_layout(std::move(layout)),
      m_chars([this](std::uint32_t key, bool down) { sendLinuxKey(static_cast<int>(key) - 8, down); })
{
    libevdev* keyboard = libevdev_new();
    libevdev_set_name(keyboard, "SenKey virtual keyboard");
    libevdev_set_id_bustype(keyboard, BUS_VIRTUAL);
    libevdev_enable_event_type(keyboard, EV_KEY);
    for (int key : allLinuxKeys()) {
        libevdev_enable_event_code(keyboard, EV_KEY, static_cast<unsigned>(key), nullptr);
    }

    // Relative axes make the device count as a mouse for the input stack, though it never moves.
    libevdev* mouse = libevdev_new();
    libevdev_set_name(mouse, "SenKey virtual mouse");
    libevdev_set_id_bustype(mouse, BUS_VIRTUAL);
    libevdev_enable_event_type(mouse, EV_KEY);
    for (int button : {BTN_LEFT, BTN_MIDDLE, BTN_RIGHT}) {
        libevdev_enable_event_code(mouse, EV_KEY, static_cast<unsigned>(button), nullptr);
    }
    libevdev_enable_event_type(mouse, EV_REL);
    libevdev_enable_event_code(mouse, EV_REL, REL_X, nullptr);
    libevdev_enable_event_code(mouse, EV_REL, REL_Y, nullptr);

    keyboardFd_ = createDevice(devicePath, keyboard, &keyboard_, error_);
    if (keyboardFd_ >= 0) {
        mouseFd_ = createDevice(devicePath, mouse, &mouse_, error_);
    }
    libevdev_free(keyboard);
    libevdev_free(mouse);
}

UinputInjector::~UinputInjector()
{
    for (auto [device, fd] : {std::pair{keyboard_, keyboardFd_}, std::pair{mouse_, mouseFd_}}) {
        if (device) {
            libevdev_uinput_destroy(device);
        }
        if (fd >= 0) {
            ::close(fd);
        }
    }
}

void UinputInjector::pressKey(std::uint16_t scanCode)
{
    sendKey(scanCode, true);
}

void UinputInjector::releaseKey(std::uint16_t scanCode)
{
    sendKey(scanCode, false);
}

bool UinputInjector::pressChar(char32_t ch)
{
    std::lock_guard lock(m_charMutex);
    if (!m_layout) {
        return false;
    }
    m_layout->refresh();
    const std::optional<KeyStroke> stroke = m_layout->strokeFor(ch);
    if (!stroke) {
        return false;
    }
    m_chars.press(ch, *stroke);
    return true;
}

void UinputInjector::releaseChar(char32_t ch)
{
    std::lock_guard lock(m_charMutex);
    if (m_chars.release(ch) || !m_layout) {
        return;
    }
    if (const std::optional<KeyStroke> stroke = m_layout->strokeFor(ch)) {
        m_chars.releaseStroke(*stroke);
    }
}

void UinputInjector::pressButton(MouseButton button)
{
    sendButton(button, true);
}

void UinputInjector::releaseButton(MouseButton button)
{
    sendButton(button, false);
}

void UinputInjector::sendKey(std::uint16_t scanCode, bool down)
{
    if (!isAvailable()) {
        return;
    }
    const int key = linuxKeyForScanCode(scanCode);
    if (key == 0) {
        qDebug("Scan code 0x%x names no key; nothing pressed", scanCode);
        return;
    }
    sendLinuxKey(key, down);
}

void UinputInjector::sendLinuxKey(int key, bool down)
{
    if (!isAvailable()) {
        return;
    }
    if (!UinputEventWriter(keyboardFd_).writeKey(key, down)) {
        qDebug("Writing to the virtual keyboard failed: %s", std::strerror(errno));
    }
}

void UinputInjector::sendButton(MouseButton button, bool down)
{
    if (isAvailable() && !UinputEventWriter(mouseFd_).writeKey(buttonCode(button), down)) {
        qDebug("Writing to the virtual mouse failed: %s", std::strerror(errno));
    }
}
