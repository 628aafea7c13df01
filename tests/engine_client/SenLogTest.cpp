#include "SenLog.h"

#include <gtest/gtest.h>

#include <cctype>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <string>
#include <string_view>

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

// "%2d:%02d:%02d.%03d L " with milliseconds in hundredths, then the message.
bool isLine(std::string_view line, char letter, std::string_view message)
{
    const std::string_view shape = "#9:99:99.099 L ";
    if (line.size() != shape.size() + message.size() || line.substr(shape.size()) != message) {
        return false;
    }
    for (std::size_t i = 0; i < shape.size(); ++i) {
        const char c = line[i];
        const bool ok = shape[i] == '9'   ? std::isdigit(static_cast<unsigned char>(c)) != 0
                        : shape[i] == '#' ? c == ' ' || std::isdigit(static_cast<unsigned char>(c)) != 0
                        : shape[i] == 'L' ? c == letter
                                          : c == shape[i];
        if (!ok) {
            return false;
        }
    }
    return true;
}

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
    const std::string headStart = "----- Log message started at: ";
    const std::size_t headEnd = text.find(" -----\r\n");
    ASSERT_EQ(text.rfind(headStart, 0), 0U) << text;
    ASSERT_EQ(headEnd, headStart.size() + 24) << text; // "Wed Dec  9 22:20:53 2026"
    EXPECT_EQ(text.find(headStart, 1), std::string::npos) << "header written twice";

    std::string_view rest = std::string_view(text).substr(headEnd + 8);
    auto takeLine = [&rest](std::string_view ending) {
        const std::size_t end = rest.find(ending);
        const std::string_view line = rest.substr(0, end);
        rest.remove_prefix(end == std::string_view::npos ? rest.size() : end + ending.size());
        return line;
    };
    EXPECT_TRUE(isLine(takeLine("\r\n"), 'E', "first line")) << text;
    EXPECT_TRUE(isLine(takeLine("\n"), 'W', "second ends itself")) << text;
    EXPECT_TRUE(isLine(takeLine("\r\n"), 'E', "SomeFunction - C++ exception: boom")) << text;
    EXPECT_TRUE(rest.empty()) << text;
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
