#pragma once

#include <QMutex>
#include <QString>
#include <QThread>

#include "SenStateSnapshot.h"
#include "nxl.h"

/// Keeps the program attached to one detection engine: makes the first connection attempt when the
/// thread starts, polls the engine's events every 20 ms on its own thread and turns them into signals.
/// There is no automatic retry; onConnectEngine and onReconnectEngine try again.
///
/// The object itself lives on the thread that made it; connect, reconnect and disconnect may be called
/// there or run on the worker thread, and are serialised with the polls by one mutex. Signals are
/// emitted with that mutex held: receivers connected directly must not call back into this object.
class KeepAliveThread : public QThread
{
    Q_OBJECT

public:
    static constexpr uint kControlPanelPort = 3008;

    explicit KeepAliveThread(QObject* parent = nullptr);
    /// Ends the event loop, joins the thread and disconnects if still connected.
    ~KeepAliveThread() override;

    /// The engine of the first automatic attempt and of onReconnectEngine; call before start().
    void setEngineAddress(const QString& host, uint port);

    bool isConnected() const;

    /// Closes the connection; emits engineDisconnected() only when there was one.
    void disconnectEngine();

    /// "ORVA" or "TESSARA" from (headset version << 16) + dongle version.
    static QString headsetTypeFromVersion(quint32 version);

    /// The most engine events one poll takes, so that a flooding engine cannot starve the event loop.
    static constexpr int kMaxEventsPerPoll = 2000;

signals:
    void engineConnected();
    void engineDisconnected();
    void engineCannotBeConnected();
    void headsetConnected(uint userId);
    void headsetDisconnected(uint userId);
    /// The user id keeps its low 12 bits.
    void SenStateChanged(uint userId, SenStateSnapshot state);
    void SendModeApp(QString stringMode);

public slots:
    bool onConnectEngine(const QString& hostAddress, uint hostPort);
    void onReconnectEngine();

private slots:
    void getNextEngineEvent();

protected:
    void run() override;

private:
    void disconnectLocked();
    /// `arrival`: when the event was taken off the client library's queue.
    void handleEvent(SenStateSnapshot::Clock::time_point arrival);

    SenEngineEventHandle eventHandle;
    bool connected = false;
    uint port = kControlPanelPort;
    QString host = QStringLiteral("127.0.0.1");
    uint initialPort = kControlPanelPort;
    mutable QMutex mutex;
};
