#include "SenKeyCore.h"

#include "KeepAliveThread.h"
#include "KeyboardEventSimulator.h"
#include "SenActionFactory.h"
#include "SenMapping.h"
#include "SenMappingModel.h"

#include <algorithm>
#include <cmath>

SenKeyCore::SenKeyCore(InputInjector& injector, WindowSystem& windowSystem, QObject* parent)
    : QObject(parent), m_model(new SenMappingModel(QString(), this)),
      m_simulator(new KeyboardEventSimulator(injector, windowSystem, this)), m_connection(new KeepAliveThread(this))
{
    qRegisterMetaType<SenStateSnapshot>("SenStateSnapshot");
    ::releaseRemovedMappings(*m_model, *m_simulator);
    m_clock = [] { return SenStateSnapshot::Clock::now(); };
    m_staleTimer.setSingleShot(true);
    m_staleTimer.setTimerType(Qt::PreciseTimer);
    connect(&m_staleTimer, &QTimer::timeout, this, &SenKeyCore::checkStaleHeadsets);

    connect(m_connection, &KeepAliveThread::engineConnected, this, &SenKeyCore::engineConnected);
    connect(m_connection, &KeepAliveThread::engineDisconnected, this, [this] {
        // No more states will come to release what the rules hold.
        onEngineLost();
        emit engineDisconnected();
    });
    connect(m_connection, &KeepAliveThread::engineCannotBeConnected, this, [this] {
        onEngineLost();
        emit engineCannotBeConnected();
    });
    connect(m_connection, &KeepAliveThread::SenStateChanged, this, &SenKeyCore::evaluateState);
    connect(m_connection, &KeepAliveThread::SendModeApp, this, &SenKeyCore::setHeadsetType);
    connect(m_connection, &KeepAliveThread::headsetConnected, this, &SenKeyCore::headsetConnected);
    // A headset that goes away sends no more states that would release what its rules hold.
    connect(m_connection, &KeepAliveThread::headsetDisconnected, this, [this](uint userId) {
        onHeadsetLost(userId);
        emit headsetDisconnected(userId);
    });
}

SenKeyCore::~SenKeyCore()
{
    shutdown();
}

void SenKeyCore::setEngineAddress(const QString& host, uint port)
{
    m_connection->setEngineAddress(host, port);
}

void SenKeyCore::setActivityReport(MappingActivityReport report)
{
    m_activityReport = std::move(report);
}

void SenKeyCore::setActiveWindowQuery(ActiveWindowQuery query)
{
    m_activeWindowQuery = std::move(query);
}

void SenKeyCore::start()
{
    if (m_shutDown) {
        return;
    }
    m_simulator->start();
    m_connection->start();
}

void SenKeyCore::shutdown()
{
    if (m_shutDown) {
        return;
    }
    m_shutDown = true;
    m_staleTimer.stop();
    // The connection goes first and is joined, not terminated: no state may arrive once the keys are
    // released. Its destructor disconnects, which still reaches the front end.
    delete m_connection;
    m_connection = nullptr;
    // Nothing may stay pressed: release, then end the simulator's loop and join it.
    m_simulator->releaseAll();
    m_simulator->stop();
    // The receivers of the report and the query may be gone after this.
    m_activityReport = {};
    m_activeWindowQuery = {};
    m_model->setReleaseHandler({});
}

void SenKeyCore::disconnectEngine()
{
    if (m_connection) {
        m_connection->disconnectEngine();
    }
}

void SenKeyCore::setKeystrokesEnabled(bool enabled)
{
    const bool changed = enabled != m_keystrokesEnabled;
    m_keystrokesEnabled = enabled;
    if (!enabled) {
        releaseEverything();
    }
    if (changed) {
        emit keystrokesEnabledChanged(enabled);
    }
}

void SenKeyCore::togglePause()
{
    if (!m_shutDown) {
        setKeystrokesEnabled(!m_keystrokesEnabled);
    }
}

void SenKeyCore::setClock(Clock clock)
{
    m_clock = std::move(clock);
}

void SenKeyCore::setStaleTime(uint milliseconds)
{
    m_staleTime = milliseconds;
    armStaleTimer();
}

QString SenKeyCore::silentHeadsetMessage(uint userId, uint staleTime)
{
    return QStringLiteral("no states from headset %1 for %2 s: released")
        .arg(userId)
        .arg(QString::number(staleTime / 1000.0, 'g', 3));
}

QString SenKeyCore::headsetBackMessage(uint userId)
{
    return QStringLiteral("states from headset %1 again").arg(userId);
}

void SenKeyCore::noteArrival(uint userId, StateTime arrival)
{
    auto found = m_arrivals.find(userId);
    if (found == m_arrivals.end()) {
        m_arrivals.insert(userId, Arrival{arrival});
    } else {
        found->last = std::max(found->last, arrival);
        if (found->silent) {
            found->silent = false;
            emit headsetStatesBack(userId);
        }
    }
    if (!m_staleTimer.isActive()) {
        armStaleTimer();
    }
}

void SenKeyCore::checkStaleHeadsets()
{
    if (m_shutDown || m_staleTime == 0) {
        return;
    }
    const StateTime now = m_clock();
    const auto staleTime = std::chrono::milliseconds(m_staleTime);
    for (auto it = m_arrivals.begin(); it != m_arrivals.end(); ++it) {
        if (!it->silent && now - it->last >= staleTime) {
            it->silent = true;
            releasePlayer(it.key());
            emit headsetSilent(it.key(), m_staleTime);
        }
    }
    armStaleTimer();
}

void SenKeyCore::armStaleTimer()
{
    std::optional<StateTime> earliest;
    for (const Arrival& arrival : std::as_const(m_arrivals)) {
        if (!arrival.silent && (!earliest || arrival.last < *earliest)) {
            earliest = arrival.last;
        }
    }
    if (m_shutDown || m_staleTime == 0 || !earliest) {
        m_staleTimer.stop();
        return;
    }
    const auto due = *earliest + std::chrono::milliseconds(m_staleTime) - m_clock();
    const double ms = std::chrono::duration<double, std::milli>(due).count();
    m_staleTimer.start(static_cast<int>(std::clamp(std::ceil(ms), 0.0, double(kMaxConditioningTime))));
}

void SenKeyCore::setHeadsetType(const QString& stringMode)
{
    m_headsetType = stringMode == QLatin1String("ORVA") ? QStringLiteral("ORVA") : QStringLiteral("TESSARA");
    SenActionFactory::setHeadsetType(m_headsetType);
    emit headsetTypeChanged(m_headsetType);
}

void SenKeyCore::evaluateState(uint userId, const SenStateSnapshot& state)
{
    if (m_shutDown || state.isNull()) {
        return;
    }
    userId &= 0xFFFU;
    noteArrival(userId, state.arrival());
    m_mayHold = m_mayHold || m_keystrokesEnabled;
    if (evaluateMappings(m_model, userId, state.handle(), state.arrival(), m_simulator, m_activityReport,
                         m_activeWindowQuery, !m_keystrokesEnabled)) {
        togglePause();
    }
}

void SenKeyCore::releaseEverything()
{
    // Only states press anything: a second release in a row (a lost engine reports the disconnect and
    // then that it cannot be reached) would only repeat key releases.
    if (!m_mayHold) {
        return;
    }
    m_mayHold = false;
    // Reopening the latches lets a rule whose conditions still hold press again once states count again.
    QList<int> players;
    for (int i = 0; i < m_model->mappingCount(); ++i) {
        const int player = m_model->mapping(i)->playerNum();
        if (!players.contains(player)) {
            players.append(player);
            ::releasePlayer(*m_model, static_cast<uint>(player), *m_simulator);
        }
    }
    m_simulator->releaseAll();
}

void SenKeyCore::releasePlayer(uint userId)
{
    ::releasePlayer(*m_model, userId & 0xFFFU, *m_simulator);
}

void SenKeyCore::onEngineLost()
{
    // A later engine starts its players afresh; none of them is silent before it sent anything.
    m_arrivals.clear();
    m_staleTimer.stop();
    releaseEverything();
}

void SenKeyCore::onHeadsetLost(uint userId)
{
    if (!m_shutDown) {
        m_arrivals.remove(userId & 0xFFFU);
        armStaleTimer();
        releasePlayer(userId);
    }
}
