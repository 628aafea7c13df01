#include "SenEventNotifier.h"

#include <cstdint>
#include <sys/eventfd.h>
#include <unistd.h>

namespace Velmor {

SenEventNotifier::SenEventNotifier() : m_fd(::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC)) {}

SenEventNotifier::~SenEventNotifier()
{
    if (m_fd >= 0) {
        ::close(m_fd);
    }
}

void SenEventNotifier::notify()
{
    if (m_fd < 0 || m_armed.exchange(true)) {
        return;
    }
    const std::uint64_t one = 1;
    [[maybe_unused]] const ssize_t written = ::write(m_fd, &one, sizeof one);
}

void SenEventNotifier::clear()
{
    if (m_fd < 0) {
        return;
    }
    // Read first, then disarm: a notify() in between sees the flag still set and writes nothing, and
    // its event is taken by the poll that follows this call.
    std::uint64_t count = 0;
    [[maybe_unused]] const ssize_t read = ::read(m_fd, &count, sizeof count);
    m_armed = false;
}

SenEventNotifier& engineEventNotifier()
{
    static SenEventNotifier notifier;
    return notifier;
}

} // namespace Velmor
