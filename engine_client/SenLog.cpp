#include "SenLog.h"

#include <chrono>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <system_error>

#include "SenMutex.h"

namespace Velmor {

namespace {

// The library's own messages are all at level E, so this start-up threshold keeps the log silent.
constexpr int kStartupFlags = LogFlushEachMessage | LogAppend;
constexpr int kStartupLevel = LogNone;
constexpr const char* kLevelLetters = "DIWEN";

struct LogState {
    SenMutex mutex;
    int threshold = kStartupLevel;
    int flags = kStartupFlags;
    std::string path = defaultLogFilePath();
    std::FILE* file = nullptr;
    bool openAttempted = false;
};

LogState& state()
{
    // Made on first use so that no other static initialiser can see it half-built.
    static LogState s;
    return s;
}

std::tm localNow(int& milliseconds)
{
    const auto now = std::chrono::system_clock::now();
    const std::time_t seconds = std::chrono::system_clock::to_time_t(now);
    milliseconds =
        static_cast<int>(std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count() % 1000);
    std::tm local{};
    localtime_r(&seconds, &local);
    return local;
}

// The 24-character C-locale date ("Wed Dec  9 22:20:53 2026"), independent of the user's locale.
std::string headerDate(const std::tm& t)
{
    static const char* const days[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
    static const char* const months[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                         "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    char text[64];
    std::snprintf(text, sizeof(text), "%s %s %2d %02d:%02d:%02d %04d", days[t.tm_wday % 7], months[t.tm_mon % 12],
                  t.tm_mday, t.tm_hour, t.tm_min, t.tm_sec, t.tm_year + 1900);
    return std::string(text, 24);
}

void openIfNeeded(LogState& s)
{
    if (s.file != nullptr || s.openAttempted) {
        return;
    }
    s.openAttempted = true;
    if ((s.flags & LogToStandardOutput) != 0) {
        s.file = stdout;
    } else {
        s.file = std::fopen(s.path.c_str(), (s.flags & LogAppend) != 0 ? "a" : "w");
        if (s.file == nullptr) {
            std::fputs("Can not open log file. It might be openned by Meridan\n", stdout);
            return;
        }
    }
    int ms = 0;
    const std::tm now = localNow(ms);
    std::fprintf(s.file, "----- Log message started at: %s -----\r\n", headerDate(now).c_str());
}

void closeFile(LogState& s)
{
    if (s.file != nullptr && s.file != stdout) {
        std::fclose(s.file);
    }
    s.file = nullptr;
}

} // namespace

std::string defaultLogFilePath()
{
    std::error_code error;
    std::filesystem::path folder = std::filesystem::temp_directory_path(error);
    if (error) {
        folder = "/tmp";
    }
    return (folder / "nxl_internal_log.txt").string();
}

void logMessage(int level, const char* format, ...)
{
    LogState& s = state();
    SenMutexLocker locker(s.mutex);
    if (level < s.threshold || format == nullptr) {
        return;
    }
    openIfNeeded(s);
    if (s.file == nullptr) {
        return;
    }
    int ms = 0;
    const std::tm now = localNow(ms);
    const char letter = level >= 0 && level <= LogNone ? kLevelLetters[level] : '?';
    std::fprintf(s.file, "%2d:%02d:%02d.%03d %c ", now.tm_hour, now.tm_min, now.tm_sec, ms / 10, letter);
    va_list args;
    va_start(args, format);
    // The analyzer loses va_start when it follows a variadic call inlined from logException.
    std::vfprintf(s.file, format, args); // NOLINT(clang-analyzer-valist.Uninitialized)
    va_end(args);
    const std::size_t length = std::strlen(format);
    if (length == 0 || format[length - 1] != '\n') {
        std::fputs("\r\n", s.file);
    }
    if ((s.flags & LogFlushEachMessage) != 0) {
        std::fflush(s.file);
    }
}

void logException(const std::exception& exception, const char* functionName)
{
    LogState& s = state();
    SenMutexLocker locker(s.mutex);
    if (s.threshold <= LogError) {
        logMessage(LogError, "%s - C++ exception: %s", functionName != nullptr ? functionName : "", exception.what());
    }
    if (s.file != nullptr) {
        std::fflush(s.file);
    }
}

int setLogFlags(int flags)
{
    LogState& s = state();
    SenMutexLocker locker(s.mutex);
    const int old = s.flags;
    s.flags = flags;
    return old;
}

int setLogLevel(int level)
{
    LogState& s = state();
    SenMutexLocker locker(s.mutex);
    const int old = s.threshold;
    s.threshold = level;
    return old;
}

void setLogFile(const std::string& path)
{
    LogState& s = state();
    SenMutexLocker locker(s.mutex);
    closeFile(s);
    s.openAttempted = false;
    s.path = path;
}

std::string logFilePath()
{
    LogState& s = state();
    SenMutexLocker locker(s.mutex);
    return s.path;
}

} // namespace Velmor
