#include "PlatformFactory.h"

#include "RecordingBackend.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>

#include <unistd.h>

namespace {

PlatformOptions withoutDevices(BackendKind kind)
{
    PlatformOptions options;
    options.kind = kind;
    options.uinputPath = QStringLiteral("/nonexistent/uinput");
    options.displayName = "unix:999"; // no server listens there
    return options;
}

TEST(PlatformFactory, ParsesBackendNames)
{
    EXPECT_EQ(parseBackendKind("auto"), BackendKind::Auto);
    EXPECT_EQ(parseBackendKind("uinput"), BackendKind::Uinput);
    EXPECT_EQ(parseBackendKind("x11"), BackendKind::X11);
    EXPECT_EQ(parseBackendKind("recording"), BackendKind::Recording);
    EXPECT_EQ(parseBackendKind("X11"), std::nullopt);
    EXPECT_EQ(parseBackendKind(""), std::nullopt);
}

TEST(PlatformFactory, RecordingServesAsBothInterfacesWhenAskedFor)
{
    const Platform platform = createPlatform(withoutDevices(BackendKind::Recording));
    ASSERT_TRUE(platform.recording);
    EXPECT_EQ(platform.injector.get(), static_cast<InputInjector*>(platform.recording.get()));
    EXPECT_EQ(platform.windowSystem.get(), static_cast<WindowSystem*>(platform.recording.get()));
    EXPECT_TRUE(platform.fallbackReason.isEmpty());
}

TEST(PlatformFactory, FallsBackToRecordingWithTheReasons)
{
    const Platform platform = createPlatform(withoutDevices(BackendKind::Auto));
    EXPECT_EQ(platform.injectorKind, BackendKind::Recording);
    ASSERT_TRUE(platform.recording);
    EXPECT_EQ(platform.injector.get(), static_cast<InputInjector*>(platform.recording.get()));
    EXPECT_TRUE(platform.fallbackReason.contains("/nonexistent/uinput")) << platform.fallbackReason.toStdString();
    EXPECT_TRUE(platform.fallbackReason.contains("No such file")) << platform.fallbackReason.toStdString();
    EXPECT_TRUE(platform.fallbackReason.contains("unix:999")) << platform.fallbackReason.toStdString();
    // Nothing reads what the stand-in records, so it keeps only a small ring of it.
    for (std::size_t i = 0; i < 3 * kFallbackRecordingCapacity; ++i) {
        platform.injector->pressKey(0x1E);
    }
    EXPECT_EQ(platform.recording->events().size(), kFallbackRecordingCapacity);
    // Without a display there are no windows to find or post to.
    ASSERT_TRUE(platform.windowSystem);
    EXPECT_FALSE(platform.windowSystem->isAvailable());
    EXPECT_FALSE(platform.windowSystem->postChar(1, 'a'));
}

TEST(PlatformFactory, AnExplicitRequestThatFailsIsNotReplacedByAnotherInjector)
{
    const Platform uinput = createPlatform(withoutDevices(BackendKind::Uinput));
    EXPECT_EQ(uinput.injectorKind, BackendKind::Recording);
    EXPECT_TRUE(uinput.fallbackReason.contains("uinput"));
    EXPECT_FALSE(uinput.fallbackReason.contains("X11"));

    const Platform x11 = createPlatform(withoutDevices(BackendKind::X11));
    EXPECT_EQ(x11.injectorKind, BackendKind::Recording);
    EXPECT_TRUE(x11.fallbackReason.contains("unix:999"));
    EXPECT_FALSE(x11.fallbackReason.contains("uinput"));
}

TEST(PlatformFactory, ADeviceThatIsNotAUinputNodeIsRefused)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString path = dir.filePath("uinput");
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.close();
    PlatformOptions options = withoutDevices(BackendKind::Uinput);
    options.uinputPath = path;

    // A plain file opens for writing but takes no device; without write permission it does not even open
    // (unless we run as root, who may write anyway).
    const Platform writable = createPlatform(options);
    EXPECT_EQ(writable.injectorKind, BackendKind::Recording);
    EXPECT_TRUE(writable.fallbackReason.contains("cannot create a virtual device"))
        << writable.fallbackReason.toStdString();

    ASSERT_TRUE(file.setPermissions(QFile::ReadOwner));
    const Platform readOnly = createPlatform(options);
    EXPECT_EQ(readOnly.injectorKind, BackendKind::Recording);
    if (::geteuid() != 0) {
        EXPECT_TRUE(readOnly.fallbackReason.contains("Permission denied")) << readOnly.fallbackReason.toStdString();
    }
}

TEST(PlatformFactory, TheLayoutIsTheRequestedOneElseTheSystemSettingElseUs)
{
    QTemporaryDir dir;
    const QString settings = dir.filePath("keyboard");
    QFile file(settings);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("XKBMODEL=\"pc105\"\nXKBLAYOUT=\"ch\"\nXKBVARIANT=\"fr\"\n");
    file.close();

    PlatformOptions options = withoutDevices(BackendKind::Recording);
    QString description;
    options.keyboardSettingsPath = settings;
    EXPECT_EQ(findKeyboardLayout(options, &description)->name(), "ch(fr)");
    EXPECT_EQ(description, QString("ch(fr) (%1)").arg(settings));

    options.layout = parseLayoutOption("de");
    EXPECT_EQ(findKeyboardLayout(options, &description)->name(), "de");
    EXPECT_EQ(description, "de (--layout)");

    options.layout.reset();
    options.keyboardSettingsPath = dir.filePath("missing");
    EXPECT_EQ(findKeyboardLayout(options, &description)->name(), "us");
    EXPECT_EQ(description, "us (default)");

    // The recording backend records in the layout found, and says which it is.
    options.layout = parseLayoutOption("fr");
    const Platform platform = createPlatform(options);
    EXPECT_EQ(platform.layoutDescription, "fr (--layout)");
    ASSERT_TRUE(platform.injector->pressChar(U'a'));
    EXPECT_EQ(platform.recording->events().front(), RecordedEvent::keyDown(0x10));
}

} // namespace
