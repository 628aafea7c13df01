#include "KeepAliveThread.h"

#include <QDebug>
#include <QMutexLocker>
#include <QTimer>

namespace {

enum : quint32 {
    EngineError = NXL_EVENT_ENGINE_ERROR,
    UserAdded = NXL_EVENT_USER_ADDED,
    UserRemoved = NXL_EVENT_USER_REMOVED,
    StateUpdated = NXL_EVENT_STATE_UPDATED,
};

} // namespace

KeepAliveThread::KeepAliveThread(QObject* parent) : QThread(parent), eventHandle(nxlEngineEventCreate())
{
    qRegisterMetaType<SenStateSnapshot>("SenStateSnapshot");
}

KeepAliveThread::~KeepAliveThread()
{
    // The poll may be waiting for a hardware reply; that wait is bounded, so joining is safe.
    quit();
    wait();
    {
        QMutexLocker locker(&mutex);
        disconnectLocked();
    }
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

    QTimer eventTimer;
    connect(&eventTimer, &QTimer::timeout, this, &KeepAliveThread::getNextEngineEvent, Qt::DirectConnection);
    eventTimer.setInterval(20);
    eventTimer.start();

    exec();
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
    connected = false;
    emit engineDisconnected();
}

void KeepAliveThread::getNextEngineEvent()
{
    // The client interface has no lock of its own: a poll must not overlap a connect or disconnect.
    QMutexLocker locker(&mutex);
    // Take everything that is waiting, so a fast engine does not build up an ever-growing backlog.
    for (int taken = 0; taken < kMaxEventsPerPoll && connected; ++taken) {
        if (nxlEngineGetNextEvent(eventHandle) != NXL_OK) {
            return;
        }
        handleEvent(SenStateSnapshot::Clock::now());
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
    case UserAdded: {
        // A failed request leaves the version undefined; 0 stands for an unknown headset.
        uint32_t version = 0;
        if (nxlEngineGetHardwareVersion(userId, &version) != NXL_OK) {
            version = 0;
        }
        emit SendModeApp(headsetTypeFromVersion(version));
        emit headsetConnected(userId);
        break;
    }
    case UserRemoved:
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
