#pragma once
// The keyboard stop: `--toggle-pause` of either program reaches its running instance through a local
// socket in the user's runtime folder. Only the owner can reach the socket, and the client refuses a
// socket that another user owns.

#include <QObject>
#include <QString>

class QLocalServer;
class SenKeyCore;

/// Where the control socket of `program` ("senkey", "senkey-run") lives: $XDG_RUNTIME_DIR/PROGRAM.control.
/// Empty, with a reason in `error`, when there is no runtime folder or another user owns it.
QString pauseControlPath(const QString& program, QString& error);

/// Asks the running instance of `program` to toggle its pause. True with its answer ("paused" or
/// "resumed") in `reply`; false with a one-line reason in `reply`.
bool requestTogglePause(const QString& program, QString& reply, int timeoutMs = 3000);

/// Listens on the control socket of one program and toggles the core's pause for each request of the
/// same user. Requests of other users are closed unanswered.
class PauseControlServer : public QObject
{
    Q_OBJECT

public:
    PauseControlServer(SenKeyCore& core, QString program, QObject* parent = nullptr);
    ~PauseControlServer() override;

    /// False with a reason when the socket cannot be made, also when another instance listens on it.
    bool listen(QString& error);
    QString path() const { return m_path; }

private:
    void onNewConnection();

    SenKeyCore& m_core;
    QString m_program;
    QString m_path;
    QLocalServer* m_server = nullptr;
};
