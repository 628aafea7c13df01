#pragma once
// The client library's process-wide log.

#include <exception>
#include <string>

namespace Velmor {

/// Log levels; the letter of level n is character n of "DIWEN".
enum LogLevel : int { LogDebug = 0, LogInfo = 1, LogWarning = 2, LogError = 3, LogNone = 4 };

/// Flag bits of setLogFlags.
enum LogFlag : int { LogFlushEachMessage = 1, LogToStandardOutput = 2, LogAppend = 4 };

/// Writes one printf-style message when level reaches the threshold. The first written message opens
/// the log (once: a failed open is not retried) and writes a header line.
void logMessage(int level, const char* format, ...) __attribute__((format(printf, 2, 3)));

/// Reports an exception caught in functionName at level E, then flushes the log.
void logException(const std::exception& exception, const char* functionName);

/// Each setter stores the new value under the log lock and returns the old one.
int setLogFlags(int flags);
int setLogLevel(int level);
/// Closes the current log file (never standard output) and uses path from the next message on.
void setLogFile(const std::string& path);

std::string logFilePath();
/// The system temporary folder + "/nxl_internal_log.txt", the path the log starts with.
std::string defaultLogFilePath();

} // namespace Velmor
