#include "UinputEventWriter.h"

#include <linux/input.h>
#include <unistd.h>

#include <array>
#include <cerrno>

bool UinputEventWriter::writeKey(int code, bool down) const
{
    // The kernel stamps uinput events itself, so the time fields stay zero.
    std::array<input_event, 2> events{};
    events[0].type = EV_KEY;
    events[0].code = static_cast<std::uint16_t>(code);
    events[0].value = down ? 1 : 0;
    events[1].type = EV_SYN;
    events[1].code = SYN_REPORT;
    events[1].value = 0;
    ssize_t written = 0;
    do {
        written = ::write(fd_, events.data(), sizeof events);
    } while (written < 0 && errno == EINTR);
    return written == static_cast<ssize_t>(sizeof events);
}
