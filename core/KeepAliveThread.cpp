#include "KeepAliveThread.h"

#include <QDebug>
#include <QMutexLocker>
#include <QSocketNotifier>
#include <QTimer>

#include <condition_variable>
#include <deque>
#include <map>
#include <mutex>
#include <thread>

namespace {

enum : quint32 {
    EngineError = NXL_EVENT_ENGINE_ERROR,
    UserAdded = NXL_EVENT_USER_ADDED,
    UserRemoved = NXL_EVENT_USER_REMOVED,
    StateUpdated = NXL_EVENT_STATE_UPDATED,
};

} // namespace

/// The hardware-version questions of user-added events, asked one at a time on a thread of their own.
class KeepAliveThread::HardwareQuestions
{
public:
    explicit HardwareQuestions(KeepAliveThread& owner) : m_owner(owner) {}
    ~HardwareQuestions()
    {
        stop();
        if (m_thread.joinable()) {
            m_thread.join();
        }
    }

    /// A user-added event of `userId`: answered at once when its type is known, else once it is.
    void userAdded(uint userId)
    {
        std::unique_lock lock(m_mutex);
        if (m_stopping) {
            return;
        }
        if (const auto known = m_known.find(userId); known != m_known.end()) {
            const QString type = known->second;
            lock.unlock();
            announce(userId, type, 1);
            return;
        }
        if (const auto waiting = m_waiting.find(userId); waiting != m_waiting.end()) {
            ++waiting->second;
            return;
        }
        if (static_cast<int>(m_waiting.size()) >= kMaxWaitingQuestions) {
            lock.unlock();
            qDebug() << "Too many headsets wait for their version; user" << userId << "is taken as unknown";
            announce(userId, headsetTypeFromVersion(0), 1);
            return;
        }
        m_waiting.emplace(userId, 1);
        m_questions.push_back(userId);
        if (!m_thread.joinable()) {
            m_thread = std::thread([this] { run(); });
        }
        m_changed.notify_one();
    }

    /// The headset went away: a headset added again under the same id is asked again.
    void userRemoved(uint userId)
    {
        std::lock_guard lock(m_mutex);
        m_known.erase(userId);
    }

    /// A connection ended or began: what was asked or learnt belongs to the old one.
    void forget()
    {
        std::lock_guard lock(m_mutex);
        ++m_epoch;
        m_questions.clear();
        m_waiting.clear();
        m_known.clear();
    }

    /// No question is asked or answered from now on; one under way ends with the disconnect that follows.
    void stop()
    {
        {
            std::lock_guard lock(m_mutex);
            m_stopping = true;
            m_questions.clear();
        }
        m_changed.notify_all();
    }

private:
    void run()
    {
        std::unique_lock lock(m_mutex);
        for (;;) {
            m_changed.wait(lock, [this] { return m_stopping || !m_questions.empty(); });
            if (m_stopping) {
                return;
            }
            const uint userId = m_questions.front();
            m_questions.pop_front();
            const std::uint64_t epoch = m_epoch;
            lock.unlock();
            // Bounded by the library's reply time limit, and ended at once by a disconnect. A failed
            // request leaves the version undefined; 0 stands for an unknown headset.
            uint32_t version = 0;
            if (nxlEngineGetHardwareVersion(userId, &version) != NXL_OK) {
                version = 0;
            }
            const QString type = headsetTypeFromVersion(version);
            lock.lock();
            if (m_stopping) {
                return;
            }
            if (epoch != m_epoch) {
                continue;
            }
            const int events = m_waiting[userId];
            m_waiting.erase(userId);
            m_known[userId] = type;
            lock.unlock();
            announce(userId, type, events);
            lock.lock();
        }
    }

    void announce(uint userId, const QString& type, int events)
    {
        for (int i = 0; i < events; ++i) {
            emit m_owner.SendModeApp(type);
            emit m_owner.headsetConnected(userId);
        }
    }

    KeepAliveThread& m_owner;
    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::deque<uint> m_questions;
    std::map<uint, int> m_waiting;
    std::map<uint, QString> m_known;
    std::uint64_t m_epoch = 0;
    bool m_stopping = false;
    std::thread m_thread;
};

KeepAliveThread::KeepAliveThread(QObject* parent)
    : QThread(parent), eventHandle(nxlEngineEventCreate()), m_questions(std::make_unique<HardwareQuestions>(*this))
{
    qRegisterMetaType<SenStateSnapshot>("SenStateSnapshot");
}

KeepAliveThread::~KeepAliveThread()
{
    // No poll waits for the engine, so the thread ends at once; a hardware question still under way
    // ends with the disconnect.
    m_questions->stop();
    quit();
    wait();
    {
        QMutexLocker locker(&mutex);
        disconnectLocked();
    }
    m_questions.reset();
    nxlEngineEventFree(eventHandle);
}

void KeepAliveThread::setEngineAddress(const QString& hostAddress, uint hostPort)
{
    QMutexLocker locker(&mutex);
    host = hostAddress;
    initialPort = hostPort;
    port = hostPort;
}

bool KeepAliveThread::isConnected() const
{
    QMutexLocker locker(&mutex);
    return connected;
}

QString KeepAliveThread::headsetTypeFromVersion(quint32 version)
{
    const quint32 headset = version >> 16;
    switch (headset) {
    case 0x1000:
    case 0x0565:
    case 0x1E00:
        return QStringLiteral("ORVA");
    case 0x0170:
    case 0x17B0:
        return QStringLiteral("TESSARA");
    default:
        break;
    }
    switch (headset & 0xFF00) {
    case 0x5000:
    case 0x9000:
    case 0x0800:
    case 0x0900:
        return QStringLiteral("TESSARA");
    default:
        return QStringLiteral("ORVA");
    }
}

void KeepAliveThread::run()
{
    {
        QMutexLocker locker(&mutex);
        port = initialPort;
    }
    // Both timers belong to this thread, and the direct connections make their slots run here.
    QTimer reconnectTimer;
    connect(&reconnectTimer, &QTimer::timeout, this, &KeepAliveThread::onReconnectEngine, Qt::DirectConnection);
    reconnectTimer.setInterval(1);
    reconnectTimer.setSingleShot(true);
    reconnectTimer.start();

    // Events are taken when the client library says one has arrived; the slow timer only makes sure
    // nothing waits for ever should a wake-up be lost.
    QObject pollContext;
    {
        QMutexLocker locker(&mutex);
        m_pollContext = &pollContext;
    }
    std::unique_ptr<QSocketNotifier> arrivals;
    if (const int descriptor = nxlEngineEventNotifier(); descriptor >= 0) {
        arrivals = std::make_unique<QSocketNotifier>(descriptor, QSocketNotifier::Read);
        connect(arrivals.get(), &QSocketNotifier::activated, this, &KeepAliveThread::getNextEngineEvent,
                Qt::DirectConnection);
    }
    QTimer eventTimer;
    connect(&eventTimer, &QTimer::timeout, this, &KeepAliveThread::getNextEngineEvent, Qt::DirectConnection);
    eventTimer.setInterval(arrivals ? kSafetyPollMs : 20);
    eventTimer.start();

    exec();

    QMutexLocker locker(&mutex);
    m_pollContext = nullptr;
}

bool KeepAliveThread::onConnectEngine(const QString& hostAddress, uint hostPort)
{
    QMutexLocker locker(&mutex);
    if (connected) {
        return true;
    }
    port = hostPort;
    host = hostAddress;
    qDebug() << "Connecting...";
    const QByteArray hostText = hostAddress.toLatin1();
    if (hostPort > 0xFFFF || nxlEngineRemoteConnect(hostText.constData(), static_cast<uint16_t>(hostPort)) != NXL_OK) {
        qDebug() << "Error : connection cannot be established...";
        nxlEngineDisconnect();
        connected = false;
        emit engineCannotBeConnected();
    } else {
        qDebug() << "Velmor Engine is connected...";
        m_questions->forget();
        connected = true;
        emit engineConnected();
    }
    return connected;
}

void KeepAliveThread::onReconnectEngine()
{
    QString hostAddress;
    uint hostPort = 0;
    {
        QMutexLocker locker(&mutex);
        hostAddress = host;
        hostPort = port;
    }
    onConnectEngine(hostAddress, hostPort);
}

void KeepAliveThread::disconnectEngine()
{
    QMutexLocker locker(&mutex);
    disconnectLocked();
}

void KeepAliveThread::disconnectLocked()
{
    if (!connected) {
        return;
    }
    nxlEngineDisconnect();
    m_questions->forget();
    connected = false;
    emit engineDisconnected();
}

void KeepAliveThread::getNextEngineEvent()
{
    // The client interface has no lock of its own: a poll must not overlap a connect or disconnect.
    QMutexLocker locker(&mutex);
    // Cleared before the queue is emptied, so an event that arrives from now on wakes the next poll.
    nxlEngineEventNotifierClear();
    // Take everything that is waiting, so a fast engine does not build up an ever-growing backlog.
    for (int taken = 0; taken < kMaxEventsPerPoll && connected; ++taken) {
        if (nxlEngineGetNextEvent(eventHandle) != NXL_OK) {
            return;
        }
        handleEvent(SenStateSnapshot::Clock::now());
    }
    // The limit was reached: the rest follows once the loop has seen its other work.
    if (connected && m_pollContext != nullptr) {
        QMetaObject::invokeMethod(m_pollContext, [this] { getNextEngineEvent(); }, Qt::QueuedConnection);
    }
}

void KeepAliveThread::handleEvent(SenStateSnapshot::Clock::time_point arrival)
{
    const quint32 type = nxlEngineEventGetType(eventHandle);
    uint32_t userId = 0;
    nxlEngineEventGetUserId(eventHandle, &userId);

    switch (type) {
    case EngineError:
        disconnectLocked();
        emit engineCannotBeConnected();
        break;
    case UserAdded:
        m_questions->userAdded(userId);
        break;
    case UserRemoved:
        m_questions->userRemoved(userId);
        emit headsetDisconnected(userId);
        break;
    case StateUpdated: {
        SenStateSnapshot state = SenStateSnapshot::fromEvent(eventHandle, arrival);
        if (state.isNull()) {
            qDebug() << "A state update without a state was skipped";
            break;
        }
        emit SenStateChanged(userId & 0xFFFU, state);
        break;
    }
    default:
        break;
    }
}
