#include "SenKeyOptions.h"

#include <gtest/gtest.h>

namespace {

SenKeyCommandLine parse(QStringList arguments)
{
    arguments.prepend(QStringLiteral("senkey"));
    return parseSenKeyCommandLine(arguments);
}

TEST(SenKeyOptions, NoArgumentsKeepTheFixedBehaviour)
{
    const SenKeyCommandLine line = parse({});
    ASSERT_TRUE(line.ok);
    EXPECT_EQ(line.options.platform.kind, BackendKind::Auto);
    EXPECT_EQ(line.options.controlPanel.host, "127.0.0.1");
    EXPECT_EQ(line.options.controlPanel.port, 3008U);
    EXPECT_EQ(line.options.senComposer.port, 1726U);
    EXPECT_TRUE(line.options.mappingFile.isEmpty());
    EXPECT_FALSE(line.options.startHidden);
    EXPECT_FALSE(line.options.systemTray.has_value());
}

TEST(SenKeyOptions, EveryOptionIsRead)
{
    const SenKeyCommandLine line = parse({"--backend", "recording", "--engine", "localhost:4000", "--composer",
                                          "10.0.0.2:4001", "--load", "/tmp/x.skm", "--hidden"});
    ASSERT_TRUE(line.ok) << line.message.toStdString();
    EXPECT_EQ(line.options.platform.kind, BackendKind::Recording);
    EXPECT_EQ(line.options.controlPanel.host, "localhost");
    EXPECT_EQ(line.options.controlPanel.port, 4000U);
    EXPECT_EQ(line.options.senComposer.host, "10.0.0.2");
    EXPECT_EQ(line.options.senComposer.port, 4001U);
    EXPECT_EQ(line.options.mappingFile, "/tmp/x.skm");
    EXPECT_TRUE(line.options.startHidden);
}

TEST(SenKeyOptions, BadArgumentsAreRefusedWithAReason)
{
    const struct {
        QStringList arguments;
        const char* reason;
    } cases[] = {
        {{"--backend", "print"}, "print"},
        {{"--engine", "3008"}, "3008"},
        {{"--engine", "host:0"}, "host:0"},
        {{"--engine", "host:65536"}, "host:65536"},
        {{"--engine", ":3008"}, ":3008"},
        {{"--composer", "host:x"}, "host:x"},
        {{"--unknown"}, "unknown"},
        {{"stray.skm"}, "stray.skm"},
        {{"--load"}, "load"},
        {{"--toggle-pause", "--hidden"}, "--toggle-pause takes no other option"},
    };
    for (const auto& c : cases) {
        const SenKeyCommandLine line = parse(c.arguments);
        EXPECT_FALSE(line.ok) << c.arguments.join(' ').toStdString();
        EXPECT_TRUE(line.message.contains(QString::fromLatin1(c.reason))) << line.message.toStdString();
    }
    const SenKeyCommandLine help = parse({"--help"});
    EXPECT_TRUE(help.helpOnly);
    EXPECT_TRUE(help.message.contains("--engine"));
}

} // namespace

TEST(SenKeyOptions, TogglePauseAlone)
{
    const SenKeyCommandLine line = parse({"--toggle-pause"});
    EXPECT_TRUE(line.ok) << line.message.toStdString();
    EXPECT_TRUE(line.togglePause);
    EXPECT_FALSE(parse({}).togglePause);
}
