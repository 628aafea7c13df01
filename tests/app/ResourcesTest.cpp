#include "ResourcePath.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QSet>

namespace {

QGuiApplication& application()
{
    static int argc = 1;
    static char name[] = "ResourcesTest";
    static char* argv[] = {name, nullptr};
    static QGuiApplication app(argc, argv);
    return app;
}

const char* const imageFiles[] = {"velmor_icon.png",
                                  "velmor_icon.bmp",
                                  "velmor_disconnected.png",
                                  "backgroundSplash.png",
                                  "statusBarSplash.png",
                                  "load.png",
                                  "save.png",
                                  "new.png",
                                  "help.png",
                                  "reload.png",
                                  "setting.png",
                                  "edit_add.png",
                                  "edit_remove.png",
                                  "edit_edit.png",
                                  "downArrow.png",
                                  "green_orb_Icon_small.png",
                                  "yellow_orb_Icon_small.png",
                                  "blue_orb_Icon_small.png",
                                  "WindowFinderCur.png",
                                  "WindowFinder1_16colors.bmp",
                                  "WindowFinder2_16colors.bmp"};

// Linking the library is all a user does: no initialisation call, yet every image decodes.
TEST(Resources, EveryImageIsCompiledInAndDecodes)
{
    application();
    QSet<QByteArray> contents;
    for (const char* file : imageFiles) {
        const QString path = resourcePath(QString::fromLatin1(file));
        QImage image(path);
        EXPECT_FALSE(image.isNull()) << file;
        QFile raw(path);
        ASSERT_TRUE(raw.open(QIODevice::ReadOnly)) << file;
        contents.insert(raw.readAll());
    }
    // Each image is drawn for its own purpose, none is a copy of another.
    EXPECT_EQ(contents.size(), static_cast<int>(std::size(imageFiles)));
}

TEST(Resources, StyleSheetNamesItsImagesByPathsThatResolve)
{
    application();
    EXPECT_EQ(resourcePath("senKey.qss"), ":/./Resources/senKey.qss");
    QFile sheet(resourcePath("senKey.qss"));
    ASSERT_TRUE(sheet.open(QIODevice::ReadOnly));
    const QString text = QString::fromLatin1(sheet.readAll());
    EXPECT_TRUE(text.contains("QWidget#centralWidget"));
    // The sheet spells its images ":./Resources/..." which Qt must still find.
    for (const char* image : {":./Resources/backgroundSplash.png", ":./Resources/statusBarSplash.png"}) {
        EXPECT_TRUE(text.contains(QString::fromLatin1(image))) << image;
        EXPECT_FALSE(QImage(QString::fromLatin1(image)).isNull()) << image;
    }
}

} // namespace
