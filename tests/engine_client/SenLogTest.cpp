#include "SenLog.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>
#include <stdexcept>
#include <string>

using namespace Velmor;
namespace fs = std::filesystem;

namespace {

// The log takes its default path from TMPDIR on first use, so a private folder is set before main.
const fs::path& privateTemp()
{
    static const fs::path folder = [] {
        std::string pattern = (fs::temp_directory_path() / "senlogtest-XXXXXX").string();
        const char* made = mkdtemp(pattern.data());
        if (made == nullptr) {
            std::abort();
        }
        setenv("TMPDIR", made, 1);
        return fs::path(made);
    }();
    return folder;
}
const bool g_tempSet = !privateTemp().empty();

std::string readAll(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

} // namespace

TEST(SenLog, StartupConfigurationWritesNothing)
{
    ASSERT_TRUE(g_tempSet);
    const fs::path expected = privateTemp() / "nxl_internal_log.txt";
    EXPECT_EQ(logFilePath(), expected.string());
    logMessage(LogError, "not written %d", 1);
    logException(std::runtime_error("boom"), "SenLogTest");
    EXPECT_FALSE(fs::exists(expected));

    // The start-up values come back from the setters.
    EXPECT_EQ(setLogFlags(LogFlushEachMessage | LogAppend), LogFlushEachMessage | LogAppend);
    EXPECT_EQ(setLogLevel(LogNone), LogNone);
}

TEST(SenLog, OpensOnFirstWrittenMessageWithOneHeader)
{
    const fs::path file = privateTemp() / "written.txt";
    setLogFile(file.string());
    logMessage(LogError, "silent");
    EXPECT_FALSE(fs::exists(file));

    const int oldLevel = setLogLevel(LogDebug);
    logMessage(LogError, "first %s", "line");
    logMessage(LogWarning, "second ends itself\n");
    logException(std::runtime_error("boom"), "SomeFunction");
    setLogLevel(oldLevel);
    logMessage(LogError, "dropped again");
    setLogFile(logFilePath()); // closes the file

    const std::string text = readAll(file);
    const std::regex expected("----- Log message started at: [A-Z][a-z]{2} [A-Z][a-z]{2} [ 0-9]\\d "
                              "\\d\\d:\\d\\d:\\d\\d \\d{4} -----\r\n"
                              "[ \\d]\\d:\\d\\d:\\d\\d\\.0\\d\\d E first line\r\n"
                              "[ \\d]\\d:\\d\\d:\\d\\d\\.0\\d\\d W second ends itself\n"
                              "[ \\d]\\d:\\d\\d:\\d\\d\\.0\\d\\d E SomeFunction - C\\+\\+ exception: boom\r\n");
    EXPECT_TRUE(std::regex_match(text, expected)) << text;
}

TEST(SenLog, WriteModeReplacesAndAppendModeKeeps)
{
    const fs::path file = privateTemp() / "modes.txt";
    const int oldLevel = setLogLevel(LogDebug);
    const int oldFlags = setLogFlags(LogFlushEachMessage);
    for (const char* word : {"one", "two"}) {
        setLogFile(file.string());
        logMessage(LogInfo, "%s", word);
    }
    setLogFile(file.string());
    EXPECT_EQ(readAll(file).find("one"), std::string::npos);

    setLogFlags(LogFlushEachMessage | LogAppend);
    logMessage(LogInfo, "three");
    setLogFile(file.string());
    const std::string text = readAll(file);
    EXPECT_NE(text.find("two"), std::string::npos);
    EXPECT_NE(text.find("three"), std::string::npos);

    setLogFlags(oldFlags);
    setLogLevel(oldLevel);
}

TEST(SenLog, FailedOpenIsNotRetried)
{
    const fs::path missing = privateTemp() / "no-such-folder" / "log.txt";
    setLogFile(missing.string());
    const int oldLevel = setLogLevel(LogDebug);
    testing::internal::CaptureStdout();
    logMessage(LogError, "a");
    logMessage(LogError, "b");
    const std::string out = testing::internal::GetCapturedStdout();
    setLogLevel(oldLevel);
    EXPECT_EQ(out, "Can not open log file. It might be openned by Meridan\n");
}
