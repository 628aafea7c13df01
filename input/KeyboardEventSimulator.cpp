#include "KeyboardEventSimulator.h"

#include "KeyNames.h"

#include <QDebug>

#include <algorithm>
#include <chrono>

namespace {


const char* const kSimulateKeyWarning = "Warning: KeyboardEventSimulator::simulateKey() is blocking another thread!";
const char* const kSimulateKeysWarning = "Warning: KeyboardEventSimulator::simulateKeys() is blocking another thread!";
const char* const kSimulateKeyComboWarning =
    "Warning: KeyboardEventSimulator::simulateKeyCombo() is blocking another thread!";

} // namespace

KeyboardEventSimulator::KeyboardEventSimulator(InputInjector& injector, WindowSystem& windowSystem, QObject* parent)
    : QThread(parent), injector_(injector), windowSystem_(windowSystem)
{
}

KeyboardEventSimulator::~KeyboardEventSimulator()
{
    stop();
}

void KeyboardEventSimulator::stop()
{
    // The loop is told first, so that a hold cut short below is not followed by the next request.
    {
        std::unique_lock lock(queueMutex_);
        stopRequested_ = true;
    }
    queueChanged_.notify_all();
    {
        std::lock_guard lock(sleepMutex_);
        stopping_ = true;
    }
    sleepEnded_.notify_all();
    wait();
    // QThread::wait() joins through a futex that ThreadSanitizer cannot see; taking the mutex that run()
    // released last makes the join visible, so the checked builds report only real races.
    { std::lock_guard lock(sleepMutex_); }
    releaseAll();
}

void KeyboardEventSimulator::run()
{
    // Sleeps only while there is nothing to do: a queued request wakes the thread at once.
    for (;;) {
        {
            std::unique_lock lock(queueMutex_);
            while (queue_.empty() && !stopRequested_) {
                queueChanged_.wait(lock);
            }
            if (stopRequested_) {
                break;
            }
        }
        processKeyEvents();
    }
    std::lock_guard lock(sleepMutex_);
}

void KeyboardEventSimulator::queueKeys(const QString& keys, bool holdKey, bool enterKey, uint holdTime,
                                       uint triggerDelayTime)
{
    enqueue(std::make_unique<KeyEventRequest>(keys, holdKey, enterKey, holdTime, triggerDelayTime));
}

void KeyboardEventSimulator::queueKeyCombo(const QList<int>& keyCombo, uint holdTime)
{
    enqueue(std::make_unique<KeyEventRequest>(keyCombo, holdTime));
}

void KeyboardEventSimulator::queueMouse(int mouseButNum, bool holdKey, uint holdTime)
{
    enqueue(std::make_unique<KeyEventRequest>(mouseButNum, holdKey, holdTime));
}

qsizetype KeyboardEventSimulator::queuedRequestCount() const
{
    std::unique_lock lock(queueMutex_);
    return static_cast<qsizetype>(queue_.size());
}

quint64 KeyboardEventSimulator::droppedRequestCount() const
{
    std::unique_lock lock(queueMutex_);
    return droppedRequests_;
}

void KeyboardEventSimulator::enqueue(std::unique_ptr<KeyEventRequest> request)
{
    std::unique_lock lock(queueMutex_);
    if (static_cast<qsizetype>(queue_.size()) >= kMaxQueuedRequests) {
        // One report per overflow, not one per state: the states keep coming.
        const bool firstDrop = !droppingRequests_;
        droppingRequests_ = true;
        ++droppedRequests_;
        lock.unlock();
        if (firstDrop) {
            qDebug("KeyboardEventSimulator: %lld requests are waiting; new requests are dropped",
                   static_cast<long long>(kMaxQueuedRequests));
            emit requestsDropped(kMaxQueuedRequests);
        }
        return;
    }
    // The burst is over once the queue has room again after running down to half.
    if (droppingRequests_ && static_cast<qsizetype>(queue_.size()) <= kMaxQueuedRequests / 2) {
        droppingRequests_ = false;
    }
    queue_.push_back(std::move(request));
    lock.unlock();
    queueChanged_.notify_one();
}

void KeyboardEventSimulator::processKeyEvents()
{
    std::unique_ptr<KeyEventRequest> request;
    {
        std::unique_lock lock(queueMutex_);
        if (queue_.empty()) {
            return;
        }
        request = std::move(queue_.front());
        queue_.pop_front();
    }
    const unsigned generation = releaseGeneration_;
    switch (request->kind) {
    case KeyEventRequest::KeyString:
        simulateKeys(request->keys, request->holdKey, request->enterKey, request->holdTime, request->triggerDelayTime);
        break;
    case KeyEventRequest::KeyCombination:
        simulateKeyCombo(request->keyCombo, request->holdTime);
        break;
    case KeyEventRequest::MouseClick:
        triggerMouse(request->mouseButNum);
        break;
    }
    // A releaseAll() that came while this request was under way may have missed what it pressed since.
    if (releaseGeneration_ != generation) {
        releaseHeld();
    }
}

bool KeyboardEventSimulator::sleepMs(uint ms, const char* warningIfOtherThread)
{
    if (QThread::currentThread() != this) {
        qDebug("%s", warningIfOtherThread);
    }
    // Cut short by releaseAll() and stop(), so that neither waits for a long hold to run out.
    const unsigned generation = releaseGeneration_;
    std::unique_lock lock(sleepMutex_);
    return !sleepEnded_.wait_for(lock, std::chrono::milliseconds(ms),
                                 [&] { return stopping_ || releaseGeneration_ != generation; });
}

void KeyboardEventSimulator::simulateKey(char32_t keychar, bool holdKey, bool /*enterKey*/, uint holdTime)
{
    triggerKey(keychar);
    if (holdKey) {
        return;
    }
    // A hold cut short means everything was released already.
    if (holdTime > 0 && !sleepMs(holdTime, kSimulateKeyWarning)) {
        return;
    }
    releaseKey(keychar);
}

void KeyboardEventSimulator::triggerKey(char32_t keychar)
{
    pressChar(keychar);
}

void KeyboardEventSimulator::releaseKey(char32_t keychar)
{
    releaseChar(keychar);
}

void KeyboardEventSimulator::simulateKeys(const QString& keys, bool holdKey, bool /*enterKey*/, uint holdTime,
                                          uint triggerDelayTime)
{
    const unsigned generation = releaseGeneration_;
    const QList<uint> chars = keys.toUcs4();
    for (const uint ch : chars) {
        if (releaseGeneration_ != generation) {
            return;
        }
        if (!pressChar(ch)) {
            continue;
        }
        // Only a key string of exactly one character (an appended Enter counts) is held down.
        if (!(holdKey && chars.size() == 1)) {
            if (holdTime > 0 && !sleepMs(holdTime, kSimulateKeyWarning)) {
                return;
            }
            releaseChar(ch);
        }
        if (triggerDelayTime > 0 && !sleepMs(triggerDelayTime, kSimulateKeysWarning)) {
            return;
        }
    }
}

void KeyboardEventSimulator::simulateKeyCombo(const QList<int>& keyCombo, uint holdTime)
{
    if (keyCombo.isEmpty()) {
        return;
    }
    triggerKeyCombo(keyCombo);
    if (holdTime > 0 && !sleepMs(holdTime, kSimulateKeyComboWarning)) {
        return;
    }
    releaseKeyCombo(keyCombo);
}

void KeyboardEventSimulator::triggerKeyCombo(const QList<int>& keyCombo)
{
    for (int keyCode : keyCombo) {
        // A key that names a character is the key that types it in the layout, so that Ctrl+Z stays Ctrl+Z
        // on a German keyboard; where the layout has no such key, the key of a US keyboard is pressed.
        if (const char32_t ch = hotKeyChar(keyCode); ch != 0 && pressChar(ch, false)) {
            continue;
        }
        // Only the low 16 bits are a scan code ("Left Click" carries more); 0 is a combination without key.
        if (const auto scanCode = static_cast<std::uint16_t>(scanCodeForKey(keyCode))) {
            pressScanCode(scanCode);
        }
    }
}

void KeyboardEventSimulator::releaseKeyCombo(const QList<int>& keyCombo)
{
    for (auto it = keyCombo.crbegin(); it != keyCombo.crend(); ++it) {
        const auto scanCode = static_cast<std::uint16_t>(scanCodeForKey(*it));
        const char32_t ch = hotKeyChar(*it);
        if (ch != 0 && (isCharDown(ch) || scanCode == 0)) {
            releaseChar(ch);
        } else if (scanCode != 0) {
            releaseScanCode(scanCode);
        }
    }
}

void KeyboardEventSimulator::simulateMouse(int mouseButNum, bool holdKey, uint holdTime)
{
    triggerMouse(mouseButNum);
    if (!holdKey && holdTime > 0 && !sleepMs(holdTime, kSimulateKeyWarning)) {
        return;
    }
    releaseMouse(mouseButNum);
}

void KeyboardEventSimulator::triggerMouse(int butnum)
{
    switch (butnum) {
    case 0:
        pressButton(MouseButton::Left);
        break;
    case 1:
        pressButton(MouseButton::Middle);
        break;
    case 2:
        pressButton(MouseButton::Right);
        break;
    case 3:
        for (int click = 0; click < 2; ++click) {
            pressButton(MouseButton::Left);
            releaseButton(MouseButton::Left);
        }
        break;
    case 4:
        // Pressed once until released. No pointer capture is taken: X11 and the kernel keep sending the
        // motion of a pressed button to the window it was pressed on.
        if (!heldLeftDown_.exchange(true)) {
            pressButton(MouseButton::Left);
        }
        break;
    default:
        return;
    }
    mousePressed_[static_cast<std::size_t>(butnum)] = true;
}

void KeyboardEventSimulator::releaseMouse(int butnum)
{
    if (butnum < 0 || butnum >= kButtonCount || !mousePressed_[static_cast<std::size_t>(butnum)].exchange(false)) {
        return;
    }
    switch (butnum) {
    case 1:
        releaseButton(MouseButton::Middle);
        break;
    case 2:
        releaseButton(MouseButton::Right);
        break;
    case 4:
        heldLeftDown_ = false;
        releaseButton(MouseButton::Left);
        break;
    default:
        releaseButton(MouseButton::Left);
        break; // 0, and the extra release after a double click
    }
}

void KeyboardEventSimulator::sendKeyToWindow(WindowHandle windowHandle, char32_t key)
{
    if (windowHandle != 0) {
        postChar(windowHandle, key);
    }
}

void KeyboardEventSimulator::sendKeysToWindow(WindowHandle windowHandle, const QString& keys)
{
    if (windowHandle == 0) {
        return;
    }
    for (const uint ch : keys.toUcs4()) {
        postChar(windowHandle, ch);
    }
}

void KeyboardEventSimulator::sendKeyToWindow(const QString& windowTitle, char32_t key)
{
    sendKeyToWindow(windowSystem_.findWindow(windowTitle), key);
}

void KeyboardEventSimulator::sendKeysToWindow(const QString& windowTitle, const QString& keys)
{
    sendKeysToWindow(windowSystem_.findWindow(windowTitle), keys);
}

void KeyboardEventSimulator::sendMouseToWindow(WindowHandle windowHandle, int butnum)
{
    // The click lands at the pointer; this only makes sure the chosen window is the one in front.
    if (windowHandle != 0 && windowHandle == windowSystem_.foregroundWindow()) {
        triggerMouse(butnum);
    }
}

void KeyboardEventSimulator::postChar(WindowHandle windowHandle, char32_t key)
{
    if (key == 0) {
        return;
    }
    windowSystem_.postChar(windowHandle, key);
}

void KeyboardEventSimulator::releaseAll()
{
    {
        std::lock_guard lock(sleepMutex_);
        ++releaseGeneration_;
    }
    sleepEnded_.notify_all();
    {
        std::unique_lock lock(queueMutex_);
        queue_.clear();
    }
    releaseHeld();
}

void KeyboardEventSimulator::releaseHeld()
{
    for (auto& pressed : mousePressed_) {
        pressed = false;
    }
    heldLeftDown_ = false;

    std::lock_guard lock(pressedMutex_);
    // Last pressed first, so modifiers go up after the keys they modify.
    for (auto it = pressedKeys_.crbegin(); it != pressedKeys_.crend(); ++it) {
        if (it->isChar) {
            injector_.releaseChar(it->code);
        } else {
            injector_.releaseKey(static_cast<std::uint16_t>(it->code));
        }
    }
    for (auto it = pressedButtons_.crbegin(); it != pressedButtons_.crend(); ++it) {
        injector_.releaseButton(*it);
    }
    pressedKeys_.clear();
    pressedButtons_.clear();
}

void KeyboardEventSimulator::pressScanCode(std::uint16_t scanCode)
{
    std::lock_guard lock(pressedMutex_);
    injector_.pressKey(scanCode);
    const PressedKey key{false, scanCode};
    if (std::find(pressedKeys_.cbegin(), pressedKeys_.cend(), key) == pressedKeys_.cend()) {
        pressedKeys_.push_back(key);
    }
}

void KeyboardEventSimulator::releaseScanCode(std::uint16_t scanCode)
{
    std::lock_guard lock(pressedMutex_);
    injector_.releaseKey(scanCode);
    std::erase(pressedKeys_, PressedKey{false, scanCode});
}

bool KeyboardEventSimulator::pressChar(char32_t ch, bool reportSkipped)
{
    std::lock_guard lock(pressedMutex_);
    if (!injector_.pressChar(ch)) {
        if (reportSkipped) {
            qDebug("Character U+%04X: no key of the keyboard layout types it; skipped", static_cast<unsigned>(ch));
        }
        return false;
    }
    const PressedKey key{true, ch};
    if (std::find(pressedKeys_.cbegin(), pressedKeys_.cend(), key) == pressedKeys_.cend()) {
        pressedKeys_.push_back(key);
    }
    return true;
}

void KeyboardEventSimulator::releaseChar(char32_t ch)
{
    std::lock_guard lock(pressedMutex_);
    injector_.releaseChar(ch);
    std::erase(pressedKeys_, PressedKey{true, ch});
}

bool KeyboardEventSimulator::isCharDown(char32_t ch)
{
    std::lock_guard lock(pressedMutex_);
    return std::find(pressedKeys_.cbegin(), pressedKeys_.cend(), PressedKey{true, ch}) != pressedKeys_.cend();
}

void KeyboardEventSimulator::pressButton(MouseButton button)
{
    std::lock_guard lock(pressedMutex_);
    injector_.pressButton(button);
    if (std::find(pressedButtons_.cbegin(), pressedButtons_.cend(), button) == pressedButtons_.cend()) {
        pressedButtons_.push_back(button);
    }
}

void KeyboardEventSimulator::releaseButton(MouseButton button)
{
    std::lock_guard lock(pressedMutex_);
    injector_.releaseButton(button);
    std::erase(pressedButtons_, button);
}
