#pragma once
// What a process holds, for tests that check nothing is left behind after a connection.

#include <dirent.h>

namespace TestSupport {

/// Entries of a /proc folder, "." and ".." included: only differences between two counts mean anything.
inline int countEntries(const char* folder)
{
    int count = 0;
    if (DIR* dir = ::opendir(folder)) {
        while (::readdir(dir) != nullptr) {
            ++count;
        }
        ::closedir(dir);
    }
    return count;
}

inline int openDescriptors()
{
    return countEntries("/proc/self/fd");
}

inline int runningThreads()
{
    return countEntries("/proc/self/task");
}

} // namespace TestSupport
