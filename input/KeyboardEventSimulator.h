#pragma once

#include "InputInjector.h"
#include "KeyEventRequest.h"
#include "WindowSystem.h"

#include <QList>
#include <QString>
#include <QThread>

#include <array>
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <vector>

/// Turns key and mouse requests into synthetic input. Requests for the application in focus are queued
/// and performed in order on the simulator's own thread, where hold times and delays are plain sleeps: a
/// request starts as soon as it is queued when the thread is idle, and the next one as soon as the one
/// before has finished. Releases and posts to a particular window run at once on the caller's thread.
///
/// Mouse button numbers: 0 left click, 1 middle click, 2 right click, 3 double click, 4 held left button.
class KeyboardEventSimulator : public QThread
{
    Q_OBJECT

public:
    /// Requests beyond this many waiting ones are dropped, so a flood of states cannot grow the queue
    /// without bound.
    static constexpr qsizetype kMaxQueuedRequests = 1000;

    /// The injector and window system must outlive the simulator. The thread is started by the owner.
    KeyboardEventSimulator(InputInjector& injector, WindowSystem& windowSystem, QObject* parent = nullptr);
    /// Stops the thread (see stop()) and releases whatever is still held down.
    ~KeyboardEventSimulator() override;

    void queueKeys(const QString& keys, bool holdKey, bool enterKey, uint holdTime, uint triggerDelayTime);
    void queueKeyCombo(const QList<int>& keyCombo, uint holdTime);
    void queueMouse(int mouseButNum, bool holdKey, uint holdTime);

    qsizetype queuedRequestCount() const;
    /// Requests dropped because the queue was full, since construction.
    quint64 droppedRequestCount() const;
    /// Ends the thread's loop and waits for it, cutting short a hold or delay under way, then releases
    /// whatever is held; requests still queued are never performed. Sleeps do not wait any more afterwards.
    void stop();

signals:
    /// The queue was full and a request was dropped; sent once per overflow, on the queuing thread.
    void requestsDropped(qsizetype waiting);

public slots:
    /// Performs the oldest queued request, if any, on the calling thread.
    void processKeyEvents();
    /// Characters are Unicode code points, typed as the keys of the injector's keyboard layout.
    void simulateKey(char32_t keychar, bool holdKey = false, bool enterKey = false, uint holdTime = 20);
    void simulateMouse(int mouseButNum, bool holdKey, uint holdTime);
    void triggerKey(char32_t keychar);
    void releaseKey(char32_t keychar);
    void triggerMouse(int butnum);
    void releaseMouse(int butnum);
    void simulateKeys(const QString& keys, bool holdKey = false, bool enterKey = false, uint holdTime = 20,
                      uint triggerDelayTime = 20);
    void simulateKeyCombo(const QList<int>& keyCombo, uint holdTime = 20);
    void triggerKeyCombo(const QList<int>& keyCombo);
    void releaseKeyCombo(const QList<int>& keyCombo);
    void sendKeyToWindow(WindowHandle windowHandle, char32_t key);
    void sendKeysToWindow(WindowHandle windowHandle, const QString& keys);
    void sendKeyToWindow(const QString& windowTitle, char32_t key);
    void sendKeysToWindow(const QString& windowTitle, const QString& keys);
    void sendMouseToWindow(WindowHandle windowHandle, int butnum);
    /// Releases every key and button this simulator pressed and has not released (Shift included), clears
    /// the mouse flags, drops the requests not yet started, and cuts short a request in progress (its hold or
    /// delay ends at once and no further character is typed).
    /// For when keystrokes are disabled or the engine connection ends.
    void releaseAll();

protected:
    void run() override;

private:
    static constexpr int kButtonCount = 5;

    void releaseHeld();
    void enqueue(std::unique_ptr<KeyEventRequest> request);
    /// False when releaseAll() or stop() cut the sleep short.
    bool sleepMs(uint ms, const char* warningIfOtherThread);
    void pressScanCode(std::uint16_t scanCode);
    void releaseScanCode(std::uint16_t scanCode);
    /// False, with a debug line and nothing pressed, when the keyboard layout cannot type the character.
    bool pressChar(char32_t ch, bool reportSkipped = true);
    void releaseChar(char32_t ch);
    bool isCharDown(char32_t ch);
    void pressButton(MouseButton button);
    void releaseButton(MouseButton button);
    void postChar(WindowHandle windowHandle, char32_t key);

    InputInjector& injector_;
    WindowSystem& windowSystem_;

    // Standard types, not QMutex/QWaitCondition: the checked builds see their waits.
    mutable std::mutex queueMutex_;
    std::condition_variable queueChanged_;
    std::deque<std::unique_ptr<KeyEventRequest>> queue_;
    bool droppingRequests_ = false;
    bool stopRequested_ = false;
    quint64 droppedRequests_ = 0;

    // What this simulator holds down, so that nothing is left pressed. Held while the injector is called
    // so that the list and the system agree.
    std::mutex pressedMutex_;
    /// A key pressed by its scan code, or a character pressed as the keys of the layout.
    struct PressedKey {
        bool isChar = false;
        std::uint32_t code = 0;
        bool operator==(const PressedKey& other) const = default;
    };
    std::vector<PressedKey> pressedKeys_;
    std::vector<MouseButton> pressedButtons_;

    // Set by the simulator thread, cleared by the caller's thread, each read and written whole.
    std::array<std::atomic<bool>, kButtonCount> mousePressed_{};
    std::atomic<bool> heldLeftDown_{false};

    // Bumped by releaseAll(), so that a key string being typed stops after its current character.
    std::atomic<unsigned> releaseGeneration_{0};
    std::mutex sleepMutex_;
    std::condition_variable sleepEnded_;
    bool stopping_ = false;
};
