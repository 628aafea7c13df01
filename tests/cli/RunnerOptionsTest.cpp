#include "RunnerOptions.h"

#include <gtest/gtest.h>

namespace {

QStringList args(std::initializer_list<const char*> words)
{
    QStringList list;
    for (const char* w : words) {
        list << QString::fromUtf8(w);
    }
    return list;
}

} // namespace

TEST(RunnerOptions, DefaultsAreTheControlPanelAndAutomaticBackend)
{
    RunnerOptions o;
    QString error;
    ASSERT_TRUE(parseRunnerOptions(args({"rules.skm"}), o, error)) << error.toStdString();
    EXPECT_EQ(o.mode, RunnerOptions::Mode::Run);
    EXPECT_EQ(o.host, "127.0.0.1");
    EXPECT_EQ(o.port, 3008);
    EXPECT_EQ(o.backend, "auto");
    EXPECT_EQ(o.durationSeconds, 0.0);
    EXPECT_FALSE(o.monotonicTimestamps);
    EXPECT_EQ(o.staleMs, 500U);
    EXPECT_EQ(o.mappingFile, "rules.skm");
}

TEST(RunnerOptions, EveryOptionIsTaken)
{
    RunnerOptions o;
    QString error;
    ASSERT_TRUE(parseRunnerOptions(args({"--host", "localhost", "--port=1726", "--backend", "print", "--duration",
                                         "2.5", "--timestamps", "monotonic", "--stale-ms", "0", "-v", "a.skm"}),
                                   o, error))
        << error.toStdString();
    EXPECT_EQ(o.host, "localhost");
    EXPECT_EQ(o.port, 1726);
    EXPECT_EQ(o.backend, "print");
    EXPECT_EQ(o.durationSeconds, 2.5);
    EXPECT_TRUE(o.monotonicTimestamps);
    EXPECT_EQ(o.staleMs, 0U);
    EXPECT_TRUE(o.verbose);

    ASSERT_TRUE(parseRunnerOptions(args({"--check", "a.skm"}), o, error));
    EXPECT_EQ(o.mode, RunnerOptions::Mode::Check);
    ASSERT_TRUE(parseRunnerOptions(args({"--write-mappings", "out.skm", "in.skm"}), o, error));
    EXPECT_EQ(o.mode, RunnerOptions::Mode::WriteMappings);
    EXPECT_EQ(o.outputFile, "out.skm");
    EXPECT_EQ(o.mappingFile, "in.skm");
    ASSERT_TRUE(parseRunnerOptions(args({"--toggle-pause"}), o, error)) << error.toStdString();
    EXPECT_EQ(o.mode, RunnerOptions::Mode::TogglePause);
    ASSERT_TRUE(parseRunnerOptions(args({"--help"}), o, error));
    EXPECT_EQ(o.mode, RunnerOptions::Mode::Help);
}

TEST(RunnerOptions, BadUsageIsRefusedWithAReason)
{
    struct Case {
        std::initializer_list<const char*> words;
        const char* reason;
    };
    const Case cases[] = {
        {{}, "no mapping file"},
        {{"a.skm", "b.skm"}, "exactly one mapping file"},
        {{"--port", "0", "a.skm"}, "bad port '0'"},
        {{"--port", "65536", "a.skm"}, "bad port"},
        {{"--port", "30x", "a.skm"}, "bad port"},
        {{"--port", "1", "--port", "2", "a.skm"}, "more than once"},
        {{"--backend", "recording", "a.skm"}, "unknown backend 'recording'"},
        {{"--duration", "0", "a.skm"}, "bad duration"},
        {{"--duration", "-3", "a.skm"}, "bad duration"},
        {{"--duration", "nan", "a.skm"}, "bad duration"},
        {{"--timestamps", "wall", "a.skm"}, "unknown time stamps"},
        {{"--host", "", "a.skm"}, "--host needs"},
        {{"--quiet", "a.skm"}, "Unknown option"},
        {{"--port"}, "Missing value"},
        {{"--check", "--write-mappings", "o.skm", "a.skm"}, "exclude each other"},
        {{"--check", "--port", "5", "a.skm"}, "--port has no meaning"},
        {{"--write-mappings", "o.skm"}, "no mapping file"},
        {{"--stale-ms", "-1", "a.skm"}, "bad stale time"},
        {{"--stale-ms", "60001", "a.skm"}, "bad stale time"},
        {{"--stale-ms", "soon", "a.skm"}, "bad stale time"},
        {{"--check", "--stale-ms", "100", "a.skm"}, "--stale-ms has no meaning"},
        {{"--toggle-pause", "a.skm"}, "--toggle-pause takes no other"},
        {{"--toggle-pause", "--port", "5"}, "--toggle-pause takes no other"},
    };
    for (const Case& c : cases) {
        QStringList list;
        for (const char* w : c.words) {
            list << QString::fromUtf8(w);
        }
        SCOPED_TRACE(list.join(' ').toStdString());
        RunnerOptions o;
        QString error;
        EXPECT_FALSE(parseRunnerOptions(list, o, error));
        EXPECT_TRUE(error.contains(QString::fromUtf8(c.reason))) << error.toStdString();
    }
}
