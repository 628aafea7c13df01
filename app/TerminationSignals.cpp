#include "TerminationSignals.h"

#include <QSocketNotifier>

#include <csignal>
#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

// Written only by the handler, which may do nothing but write() to it.
volatile std::sig_atomic_t writeFd = -1;

extern "C" void onTerminationSignal(int)
{
    const char byte = 1;
    const ssize_t written = ::write(writeFd, &byte, 1);
    static_cast<void>(written);
}

} // namespace

TerminationSignals::TerminationSignals(QObject* parent) : QObject(parent)
{
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0, fds) != 0) {
        fds[0] = fds[1] = -1;
        return;
    }
    writeFd = fds[1];
    notifier = new QSocketNotifier(fds[0], QSocketNotifier::Read, this);
    connect(notifier, &QSocketNotifier::activated, this, &TerminationSignals::drain);

    struct sigaction action {
    };
    action.sa_handler = onTerminationSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    ::sigaction(SIGINT, &action, nullptr);
    ::sigaction(SIGTERM, &action, nullptr);
}

TerminationSignals::~TerminationSignals()
{
    if (fds[0] == -1) {
        return;
    }
    std::signal(SIGINT, SIG_DFL);
    std::signal(SIGTERM, SIG_DFL);
    writeFd = -1;
    ::close(fds[0]);
    ::close(fds[1]);
}

void TerminationSignals::drain()
{
    char buffer[64];
    while (::read(fds[0], buffer, sizeof buffer) > 0) {
    }
    emit received();
}
