#include "PauseControl.h"

#include <QLocalServer>
#include <QLocalSocket>

#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include "SenKeyCore.h"

namespace {

const QByteArray kRequest = QByteArrayLiteral("toggle-pause\n");

/// Whether the other end of a connected local socket runs as this user.
bool peerIsThisUser(qintptr descriptor)
{
    ucred credentials{};
    socklen_t size = sizeof credentials;
    if (::getsockopt(static_cast<int>(descriptor), SOL_SOCKET, SO_PEERCRED, &credentials, &size) != 0) {
        return false;
    }
    return credentials.uid == ::getuid();
}

} // namespace

QString pauseControlPath(const QString& program, QString& error)
{
    const QByteArray folder = qgetenv("XDG_RUNTIME_DIR");
    if (folder.isEmpty()) {
        error = QStringLiteral("no runtime folder (XDG_RUNTIME_DIR is not set)");
        return {};
    }
    struct stat info {};
    if (::stat(folder.constData(), &info) != 0 || !S_ISDIR(info.st_mode)) {
        error = QStringLiteral("the runtime folder %1 does not exist").arg(QString::fromLocal8Bit(folder));
        return {};
    }
    // Anyone else who could write there could put a socket of their own in place of ours.
    if (info.st_uid != ::getuid() || (info.st_mode & (S_IWGRP | S_IWOTH)) != 0) {
        error = QStringLiteral("the runtime folder %1 is not private to this user").arg(QString::fromLocal8Bit(folder));
        return {};
    }
    return QString::fromLocal8Bit(folder) + QLatin1Char('/') + program + QStringLiteral(".control");
}

bool requestTogglePause(const QString& program, QString& reply, int timeoutMs)
{
    const QString path = pauseControlPath(program, reply);
    if (path.isEmpty()) {
        return false;
    }
    struct stat info {};
    const QByteArray localPath = path.toLocal8Bit();
    if (::lstat(localPath.constData(), &info) != 0) {
        reply = QStringLiteral("%1 is not running (no %2)").arg(program, path);
        return false;
    }
    if (!S_ISSOCK(info.st_mode) || info.st_uid != ::getuid()) {
        reply = QStringLiteral("refusing %1: not a socket of this user").arg(path);
        return false;
    }
    QLocalSocket socket;
    socket.connectToServer(path);
    if (!socket.waitForConnected(timeoutMs)) {
        reply = QStringLiteral("%1 is not running (%2)").arg(program, socket.errorString());
        return false;
    }
    socket.write(kRequest);
    if (!socket.waitForBytesWritten(timeoutMs)) {
        reply = QStringLiteral("%1 did not take the request").arg(program);
        return false;
    }
    while (!socket.canReadLine()) {
        if (!socket.waitForReadyRead(timeoutMs)) {
            reply = QStringLiteral("%1 did not answer").arg(program);
            return false;
        }
    }
    reply = QString::fromUtf8(socket.readLine().trimmed());
    return reply == QLatin1String("paused") || reply == QLatin1String("resumed");
}

PauseControlServer::PauseControlServer(SenKeyCore& core, QString program, QObject* parent)
    : QObject(parent), m_core(core), m_program(std::move(program))
{
}

PauseControlServer::~PauseControlServer()
{
    // The socket file goes with the server, so that the next start finds none.
    delete m_server;
}

bool PauseControlServer::listen(QString& error)
{
    m_path = pauseControlPath(m_program, error);
    if (m_path.isEmpty()) {
        return false;
    }
    {
        // A socket that answers belongs to a running instance, which keeps it.
        QLocalSocket probe;
        probe.connectToServer(m_path);
        if (probe.waitForConnected(500)) {
            error = QStringLiteral("another %1 already listens on %2").arg(m_program, m_path);
            return false;
        }
    }
    QLocalServer::removeServer(m_path);
    m_server = new QLocalServer;
    m_server->setSocketOptions(QLocalServer::UserAccessOption);
    if (!m_server->listen(m_path)) {
        error = QStringLiteral("cannot listen on %1: %2").arg(m_path, m_server->errorString());
        delete m_server;
        m_server = nullptr;
        return false;
    }
    connect(m_server, &QLocalServer::newConnection, this, &PauseControlServer::onNewConnection);
    return true;
}

void PauseControlServer::onNewConnection()
{
    while (QLocalSocket* socket = m_server->nextPendingConnection()) {
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        if (!peerIsThisUser(socket->socketDescriptor())) {
            socket->abort();
            continue;
        }
        connect(socket, &QLocalSocket::readyRead, this, [this, socket] {
            // A line that is not the request, or one too long to be it, ends the connection.
            if (!socket->canReadLine()) {
                if (socket->bytesAvailable() > kRequest.size()) {
                    socket->abort();
                }
                return;
            }
            if (socket->readLine(kRequest.size() + 1) != kRequest) {
                socket->abort();
                return;
            }
            m_core.togglePause();
            socket->write(m_core.keystrokesEnabled() ? "resumed\n" : "paused\n");
            socket->disconnectFromServer();
        });
    }
}
