#pragma once

#include <QMutex>
#include <QString>
#include <QThread>

#include <memory>

#include "SenStateSnapshot.h"
#include "nxl.h"

/// Keeps the program attached to one detection engine: makes the first connection attempt when the
/// thread starts, takes the engine's events on its own thread as soon as the client library says one
/// has arrived (with a slow poll as a safety net) and turns them into signals, in order.
/// There is no automatic retry; onConnectEngine and onReconnectEngine try again.
///
/// The headset type of a user-added event is asked on a thread of its own, so that an engine that does
/// not answer holds up neither the other events nor a disconnect: one question per headset and
/// connection, whose answer then serves every user-added event of that headset. SendModeApp and
/// headsetConnected of a user-added event therefore come from that thread, after the answer.
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
    /// How often the queue is looked at even without a wake-up.
    static constexpr int kSafetyPollMs = 250;
    /// Headsets whose question may wait at once; the type of one beyond them is taken as unknown.
    static constexpr int kMaxWaitingQuestions = 64;

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
    class HardwareQuestions;

    void disconnectLocked();
    /// `arrival`: when the event was taken off the client library's queue.
    void handleEvent(SenStateSnapshot::Clock::time_point arrival);

    SenEngineEventHandle eventHandle;
    bool connected = false;
    uint port = kControlPanelPort;
    QString host = QStringLiteral("127.0.0.1");
    uint initialPort = kControlPanelPort;
    mutable QMutex mutex;
    /// Lives on the worker thread while it runs; a poll that stopped at its limit continues through it.
    QObject* m_pollContext = nullptr;
    std::unique_ptr<HardwareQuestions> m_questions;
};
