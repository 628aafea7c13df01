#include "SenThread.h"

#include <cstring>
#include <exception>

#include "SenLog.h"

namespace Velmor {

namespace {
constexpr const char* kRoutineName = "SenThread::threadRoutine";
} // namespace

SenThread::SenThread(const char* name, bool startNow, bool autoDelete) : m_autoDelete(autoDelete)
{
    const char* source = name != nullptr ? name : "Unnamed SenThread";
    std::strncpy(m_name, source, sizeof(m_name) - 1);
    m_name[sizeof(m_name) - 1] = '\0';
    if (startNow) {
        start();
    }
}

SenThread::~SenThread()
{
    if (!m_autoDelete) {
        join();
    }
    if (m_thread.joinable()) {
        // The routine has released the gate and only has to return.
        if (m_thread.get_id() == std::this_thread::get_id()) {
            m_thread.detach();
        } else {
            m_thread.join();
        }
    }
}

void SenThread::start()
{
    SenMutexLocker locker(m_mutex);
    if (m_runState.load() != Created) {
        return;
    }
    m_gate.acquire();
    m_runState.store(Started);
    try {
        m_thread = std::thread(&SenThread::threadRoutine, this);
    } catch (const std::exception& e) {
        // No thread could be made: behave as a thread whose body ended at once.
        logException(e, kRoutineName);
        m_runState.store(Finished);
        m_gate.release();
        return;
    }
    m_threadId = m_thread.get_id();
    if (m_autoDelete) {
        m_thread.detach();
    }
}

bool SenThread::join()
{
    {
        SenMutexLocker locker(m_mutex);
        if (m_autoDelete || m_runState.load() != Started || m_threadId == std::this_thread::get_id()) {
            return false;
        }
    }
    m_gate.acquire();
    m_gate.release();
    return true;
}

void SenThread::threadRoutine(SenThread* self)
{
    {
        // start() holds the mutex until the thread id is stored.
        SenMutexLocker locker(self->m_mutex);
    }
    try {
        self->beforeRun();
        self->run();
        self->afterRun();
    } catch (const std::exception& e) {
        logException(e, kRoutineName);
    } catch (...) {
        logMessage(LogError, "Unknown exception caught in %s", kRoutineName);
    }
    const bool autoDelete = self->m_autoDelete;
    {
        SenMutexLocker locker(self->m_mutex);
        self->m_runState.store(Finished);
    }
    self->m_gate.release();
    if (autoDelete) {
        delete self;
    }
}

} // namespace Velmor
