#include "PrintBackend.h"

#include <gtest/gtest.h>

#include <QRegularExpression>
#include <QStringList>

#include <cstdio>
#include <thread>
#include <vector>

namespace {

// Everything the backend wrote so far, one entry per line.
QStringList linesOf(std::FILE* file)
{
    std::fflush(file);
    std::rewind(file);
    QByteArray all;
    char buffer[4096];
    while (std::size_t n = std::fread(buffer, 1, sizeof buffer, file)) {
        all.append(buffer, static_cast<qsizetype>(n));
    }
    return QString::fromLatin1(all).split('\n', Qt::SkipEmptyParts);
}

} // namespace

TEST(PrintBackend, WritesOneLinePerPrimitiveInTheRunnerFormat)
{
    std::FILE* out = std::tmpfile();
    ASSERT_NE(out, nullptr);
    {
        PrintBackend backend(out);
        backend.pressKey(0x1e);
        backend.releaseKey(0x1e);
        backend.pressKey(0x9c); // an E0 key
        backend.releaseKey(0x05);
        backend.pressButton(MouseButton::Left);
        backend.releaseButton(MouseButton::Middle);
        backend.pressButton(MouseButton::Right);
        const WindowHandle notepad = backend.findWindow(QStringLiteral("Notes"));
        EXPECT_EQ(backend.findWindow(QStringLiteral("Notes")), notepad);
        EXPECT_NE(backend.findWindow(QStringLiteral("Other")), notepad);
        EXPECT_TRUE(backend.isValidWindow(notepad));
        EXPECT_EQ(backend.windowCaption(notepad), "Notes");
        EXPECT_TRUE(backend.postChar(notepad, 'a'));
        EXPECT_TRUE(backend.postChar(notepad, '\n'));
        EXPECT_FALSE(backend.postChar(0, 'b'));
        EXPECT_FALSE(backend.isValidWindow(0));
    }
    const QStringList lines = linesOf(out);
    std::fclose(out);

    const QStringList expected{
        "key down 0x1e",
        "key up 0x1e",
        "key down 0x9c",
        "key up 0x05",
        "button down left",
        "button up middle",
        "button down right",
        "char 0x61 window 0x01000000",
        "char 0x0a window 0x01000000",
    };
    ASSERT_EQ(lines.size(), expected.size()) << lines.join('|').toStdString();
    const QRegularExpression stamp(QStringLiteral("^\\d+\\.\\d{3} (.*)$"));
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const auto match = stamp.match(lines[i]);
        ASSERT_TRUE(match.hasMatch()) << lines[i].toStdString();
        EXPECT_EQ(match.captured(1), expected[i]);
    }
}

TEST(PrintBackend, MonotonicStampsFollowTheSystemClock)
{
    std::FILE* out = std::tmpfile();
    ASSERT_NE(out, nullptr);
    timespec before{};
    clock_gettime(CLOCK_MONOTONIC, &before);
    PrintBackend backend(out, PrintBackend::Clock::Monotonic);
    backend.pressKey(0x02);
    timespec after{};
    clock_gettime(CLOCK_MONOTONIC, &after);
    const QStringList lines = linesOf(out);
    std::fclose(out);
    ASSERT_EQ(lines.size(), 1);
    const QStringList parts = lines[0].split(' ');
    ASSERT_EQ(parts.size(), 4);
    EXPECT_TRUE(QRegularExpression(QStringLiteral("^\\d+\\.\\d{6}$")).match(parts[0]).hasMatch());
    const double t = parts[0].toDouble();
    EXPECT_GE(t, static_cast<double>(before.tv_sec));
    EXPECT_LE(t, static_cast<double>(after.tv_sec) + 1.0);
}

TEST(PrintBackend, LinesFromSeveralThreadsNeverInterleave)
{
    std::FILE* out = std::tmpfile();
    ASSERT_NE(out, nullptr);
    {
        PrintBackend backend(out);
        std::vector<std::thread> threads;
        for (int t = 0; t < 4; ++t) {
            threads.emplace_back([&backend, t] {
                for (int i = 0; i < 500; ++i) {
                    backend.pressKey(static_cast<std::uint16_t>(0x10 + t));
                }
            });
        }
        for (auto& thread : threads) {
            thread.join();
        }
    }
    const QStringList lines = linesOf(out);
    std::fclose(out);
    EXPECT_EQ(lines.size(), 2000);
    const QRegularExpression whole(QStringLiteral("^\\d+\\.\\d{3} key down 0x1[0-3]$"));
    for (const QString& line : lines) {
        ASSERT_TRUE(whole.match(line).hasMatch()) << line.toStdString();
    }
}
