#pragma once

#include <QHash>
#include <QObject>
#include <QString>
#include <QTimer>

#include <functional>

#include "MappingEvaluation.h"
#include "SenStateSnapshot.h"

class InputInjector;
class KeepAliveThread;
class KeyboardEventSimulator;
class SenMappingModel;
class WindowSystem;

/// What both programs share between the engine and the input backend: the connection thread, the
/// mappings it evaluates, the keyboard event simulator, the headset type, the release policy and the
/// order of teardown. The front ends (the desktop window, the headless runner) only show what it reports.
///
/// Release policy: disabling keystrokes, losing the engine and shutting down release every key and button
/// the rules hold and reopen their send-once latches; losing a headset does so for that player's rules;
/// removing, replacing or clearing a mapping releases what it holds; a player whose states stop coming for
/// the stale time has what its rules hold released, as for a lost headset.
class SenKeyCore : public QObject
{
    Q_OBJECT

public:
    /// The injector and window system must outlive the core. Nothing runs before start().
    SenKeyCore(InputInjector& injector, WindowSystem& windowSystem, QObject* parent = nullptr);
    /// Shuts down (see shutdown()) if that has not happened yet.
    ~SenKeyCore() override;

    SenMappingModel* mappingModel() const { return m_model; }
    KeyboardEventSimulator* simulator() const { return m_simulator; }
    KeepAliveThread* connection() const { return m_connection; }

    /// The engine of the first automatic attempt and of a reconnect; call before start().
    void setEngineAddress(const QString& host, uint port);
    /// Where each mapping's activity on each state is reported (the mapping table); may be empty.
    void setActivityReport(MappingActivityReport report);
    /// Whether the program's own window is active, so nothing is typed into it; empty means never.
    void setActiveWindowQuery(ActiveWindowQuery query);

    /// Starts the simulator and the connection thread, which makes the first connection attempt.
    void start();
    /// Ends the session in the one safe order: the connection goes first and is joined, so no state
    /// arrives after the releases; then everything held is released and the simulator's thread ends.
    /// Signals of the connection's last moments (its disconnect) are still forwarded. Safe to call twice.
    void shutdown();
    bool isShutDown() const { return m_shutDown; }

    /// Closes the connection (emits engineDisconnected() when there was one); see KeepAliveThread.
    void disconnectEngine();

    bool keystrokesEnabled() const { return m_keystrokesEnabled; }
    /// While disabled (paused) only pause rules are evaluated; disabling releases everything. Emits
    /// keystrokesEnabledChanged() when the value changes.
    void setKeystrokesEnabled(bool enabled);
    /// Pauses when keystrokes are on, resumes when they are off: what a pause rule does when it fires.
    void togglePause();

    /// Where "now" comes from for the stale check; the steady clock unless a test hands in its own.
    using Clock = std::function<StateTime()>;
    void setClock(Clock clock);
    static constexpr uint kDefaultStaleTime = 500;
    /// Milliseconds without a state of a player after which what its rules hold is released; 0 never.
    uint staleTime() const { return m_staleTime; }
    void setStaleTime(uint milliseconds);
    /// Releases the players whose last state arrived the stale time or more before the clock's now, each
    /// once until its states come again. Runs on a timer armed for the earliest such moment; tests with a
    /// clock of their own call it directly.
    void checkStaleHeadsets();
    /// "no states from headset 1 for 0.5 s: released", as both programs report it.
    static QString silentHeadsetMessage(uint userId, uint staleTime);
    /// "states from headset 1 again".
    static QString headsetBackMessage(uint userId);

    /// "ORVA" until a headset reports its type.
    QString headsetType() const { return m_headsetType; }
    /// "ORVA" applies "ORVA", any other text "TESSARA", to the detection catalogue too.
    void setHeadsetType(const QString& stringMode);

    /// Runs the evaluation pass for one state of `userId` (low 12 bits), unless keystrokes are disabled
    /// or the session has ended.
    void evaluateState(uint userId, const SenStateSnapshot& state);

    /// Lets go of every key and button the rules hold and reopens their send-once latches.
    void releaseEverything();
    /// The same for the rules of one player, for a headset that went away.
    void releasePlayer(uint userId);

signals:
    void engineConnected();
    void engineDisconnected();
    void engineCannotBeConnected();
    void headsetConnected(uint userId);
    void headsetDisconnected(uint userId);
    /// After a headset reported its type; `type` is "ORVA" or "TESSARA".
    void headsetTypeChanged(const QString& type);
    /// Keystrokes were switched off (paused) or on, by the front end, a pause rule or togglePause().
    void keystrokesEnabledChanged(bool enabled);
    /// A player sent no state for the stale time, and what its rules hold was released.
    void headsetSilent(uint userId, uint staleTime);
    /// The states of a player reported silent come again.
    void headsetStatesBack(uint userId);

private:
    void onEngineLost();
    void onHeadsetLost(uint userId);
    void noteArrival(uint userId, StateTime arrival);
    void armStaleTimer();

    /// When the last state of each player that sent one arrived, and whether it was reported silent.
    struct Arrival {
        StateTime last;
        bool silent = false;
    };

    SenMappingModel* m_model = nullptr;
    KeyboardEventSimulator* m_simulator = nullptr;
    KeepAliveThread* m_connection = nullptr;
    MappingActivityReport m_activityReport;
    ActiveWindowQuery m_activeWindowQuery;
    QString m_headsetType = QStringLiteral("ORVA");
    bool m_keystrokesEnabled = true;
    bool m_shutDown = false;
    /// Whether a state was evaluated since everything was last released.
    bool m_mayHold = false;
    Clock m_clock;
    uint m_staleTime = kDefaultStaleTime;
    QHash<uint, Arrival> m_arrivals;
    QTimer m_staleTimer;
};
