#pragma once
// A named worker thread that runs only after start() and can be joined from several threads.

#include <atomic>
#include <cstdint>
#include <string>
#include <thread>

#include "SenMutex.h"
#include "SenSignal.h"

namespace Velmor {

class SenThread
{
public:
    enum RunState : std::int32_t { Created = 0, Started = 1, Finished = 2 };

    /// A null name becomes "Unnamed SenThread"; longer names are cut to 255 characters.
    /// startNow starts the base thread at once; a subclass that overrides run() must pass false
    /// and call start() itself, since its body must not run before the subclass is built.
    /// An autoDelete thread deletes itself when its body ends, so it must be made with new.
    explicit SenThread(const char* name = nullptr, bool startNow = false, bool autoDelete = false);
    virtual ~SenThread();
    SenThread(const SenThread&) = delete;
    SenThread& operator=(const SenThread&) = delete;

    /// Lets the thread run; does nothing when it was started before.
    void start();
    /// Waits until a started thread has finished. False without waiting when autoDelete is set,
    /// when the thread is not running, or when called from the thread itself.
    bool join();

    const char* name() const { return m_name; }
    RunState runState() const { return m_runState.load(); }
    bool isAutoDelete() const { return m_autoDelete; }

protected:
    virtual void run() {}
    virtual void beforeRun() {}
    virtual void afterRun() {}

private:
    static void threadRoutine(SenThread* self);

    std::thread m_thread;
    SenMutex m_mutex;
    SenGate m_gate{1};
    std::thread::id m_threadId;
    std::atomic<RunState> m_runState{Created};
    bool m_autoDelete;
    char m_name[256];
};

} // namespace Velmor
