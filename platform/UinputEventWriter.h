#pragma once

#include <cstdint>

/// Writes input events to a uinput device's file descriptor (or any descriptor, which tests use to
/// read the encoding back). Does not own the descriptor.
class UinputEventWriter
{
public:
    explicit UinputEventWriter(int fd) : fd_(fd) {}

    /// One key or button change followed by its SYN_REPORT, in a single write so that two threads
    /// never interleave halves of a report. Returns false when the write failed or was short.
    bool writeKey(int code, bool down) const;

private:
    int fd_;
};
