#include "TargetApplicationConfigureDialog.h"

#include "RecordingBackend.h"
#include "WindowHandlePicker.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QFrame>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>

#include <gtest/gtest.h>

#include "QtApplicationEnvironment.h"

#include <memory>

namespace {

const auto* const kEnvironment = TestSupport::addApplicationEnvironment<QApplication>();

struct Target {
    bool sendToFocus = true;
    uint winHandle = 0;
    QString caption;
    QString className;
    QRect rect;

    bool operator==(const Target&) const = default;
};

std::ostream& operator<<(std::ostream& out, const Target& t)
{
    return out << "{focus " << t.sendToFocus << " 0x" << std::hex << t.winHandle << std::dec << " '"
               << t.caption.toStdString() << "' '" << t.className.toStdString() << "' " << t.rect.x() << ","
               << t.rect.y() << " " << t.rect.width() << "x" << t.rect.height() << "}";
}

class TargetDialog : public ::testing::Test
{
protected:
    QString field(const char* name) const { return edit(name)->text(); }
    QLineEdit* edit(const char* name) const { return dialog.findChild<QLineEdit*>(QString::fromLatin1(name)); }
    bool handleIsRed() const { return edit("appHandleLineEdit")->styleSheet().contains(QLatin1String("red")); }
    Target read() const
    {
        Target t{false, 0xDEAD, QStringLiteral("stale"), QStringLiteral("stale"), QRect(1, 2, 3, 4)};
        dialog.getTargetWindow(t.sendToFocus, t.winHandle, t.caption, t.className, t.rect);
        return t;
    }

    RecordingBackend windows;
    TargetApplicationConfigureDialog dialog{windows, nullptr};
};

TEST_F(TargetDialog, FormHasItsNamesTextsAndRoomForThem)
{
    EXPECT_EQ(dialog.objectName(), "targetApplicationConfigureDialog");
    EXPECT_EQ(dialog.windowTitle(), "Target Application...");
    EXPECT_GE(dialog.minimumWidth(), 465);
    EXPECT_GE(dialog.minimumHeight(), 260);
    EXPECT_EQ(dialog.findChild<QRadioButton*>(QStringLiteral("selectAppInFocus"))->text(),
              "Send to application in &focus");
    EXPECT_EQ(dialog.findChild<QRadioButton*>(QStringLiteral("selectAppWithTitle"))->text(),
              "Send to a &particular application window");
    auto* hide = dialog.findChild<QCheckBox*>(QStringLiteral("hideSenKeyCheckBox"));
    EXPECT_EQ(hide->text(), "&Hide SenKey");
    EXPECT_FALSE(hide->isChecked());

    // Nothing is cut off: the whole help text and the longest field text fit where they are laid out.
    dialog.show();
    QApplication::processEvents();
    auto* help = dialog.findChild<QLabel*>(QStringLiteral("label_6"));
    EXPECT_GE(help->height(), help->heightForWidth(help->width())) << "help text cut";
    QLineEdit* handle = edit("appHandleLineEdit");
    EXPECT_GE(handle->width(), handle->fontMetrics().horizontalAdvance(QStringLiteral("<no window selected>")) + 4);
    EXPECT_GE(dialog.width(), dialog.minimumSizeHint().width());
    EXPECT_GE(dialog.height(), dialog.minimumSizeHint().height());
    dialog.hide();
    for (const char* name : {"appHandleLineEdit", "appCaptionLineEdit", "appClassLineEdit", "appRectLineEdit"}) {
        EXPECT_TRUE(edit(name)->isReadOnly()) << name;
    }
    EXPECT_EQ(edit("appCaptionLineEdit")->maxLength(), 200);
    // The picker sits in the frame in place of the place holder.
    EXPECT_EQ(dialog.picker()->parentWidget(), dialog.findChild<QFrame*>(QStringLiteral("appWindowHandleFrame")));
    const QPixmap idle(QStringLiteral(":/./Resources/WindowFinder1_16colors.bmp"));
    ASSERT_FALSE(idle.isNull());
    EXPECT_EQ(dialog.picker()->pixmap().toImage(), idle.toImage());
}

TEST_F(TargetDialog, FocusTargetShowsNoWindowAndDisablesTheFrame)
{
    dialog.setTargetWindow(true, 0x1234, QStringLiteral("ignored"), QStringLiteral("ignored"), QRect(0, 0, 5, 5));
    EXPECT_EQ(field("appHandleLineEdit"), "<no window selected>");
    EXPECT_FALSE(handleIsRed());
    for (const char* name : {"appCaptionLineEdit", "appClassLineEdit", "appRectLineEdit"}) {
        EXPECT_EQ(field(name), "<not available>") << name;
    }
    EXPECT_FALSE(dialog.findChild<QFrame*>(QStringLiteral("appWindowHandleFrame"))->isEnabled());
    EXPECT_EQ(read(), (Target{true, 0, {}, {}, {}}));

    // Choosing a window without ever picking one stores no window.
    dialog.findChild<QRadioButton*>(QStringLiteral("selectAppWithTitle"))->click();
    EXPECT_TRUE(dialog.findChild<QFrame*>(QStringLiteral("appWindowHandleFrame"))->isEnabled());
    EXPECT_EQ(read(), (Target{false, 0, {}, {}, {}}));
}

TEST_F(TargetDialog, ChosenWindowIsShownAndReadBack)
{
    windows.addWindow(0xA1B2C, QStringLiteral("Editor"), {100, 50, 499, 349});
    const QRect rect(QPoint(100, 50), QPoint(499, 349));
    dialog.setTargetWindow(false, 0xA1B2C, QStringLiteral("Editor"), QStringLiteral("Recorded"), rect);
    EXPECT_EQ(field("appHandleLineEdit"), "0x000A1B2C");
    EXPECT_FALSE(handleIsRed());
    EXPECT_EQ(field("appCaptionLineEdit"), "Editor");
    EXPECT_EQ(field("appClassLineEdit"), "Recorded");
    EXPECT_EQ(field("appRectLineEdit"), "{100,50}-{499,349}");
    for (const char* name : {"appHandleLineEdit", "appCaptionLineEdit", "appClassLineEdit", "appRectLineEdit"}) {
        EXPECT_EQ(edit(name)->cursorPosition(), 0) << name;
    }
    EXPECT_EQ(read(), (Target{false, 0xA1B2C, "Editor", "Recorded", rect}));

    // A window found while dragging replaces what was loaded.
    emit dialog.picker()->foundWindow(0xFFFFFFFF, QStringLiteral("Other"), {}, QRect(0, 0, 10, 10));
    EXPECT_EQ(field("appHandleLineEdit"), "0xFFFFFFFF");
    EXPECT_EQ(read(), (Target{false, 0xFFFFFFFF, "Other", {}, QRect(0, 0, 10, 10)}));
}

TEST_F(TargetDialog, LongTitleComesBackWhole)
{
    // The title is how the window is found again, so a cut one would never match.
    const QString title = QString(150, 'a') + QString(150, 'b');
    dialog.setTargetWindow(false, 0x42, title, QString(260, 'c'), {});
    EXPECT_EQ(read().caption, title);
    EXPECT_EQ(read().className, QString(260, 'c'));
}

TEST_F(TargetDialog, VanishedWindowShowsItsHandleOnRed)
{
    dialog.setTargetWindow(false, 0x42, QStringLiteral("Gone"), {}, {});
    EXPECT_EQ(field("appHandleLineEdit"), "0x00000042");
    EXPECT_TRUE(handleIsRed());
    EXPECT_EQ(field("appCaptionLineEdit"), "Gone");
    EXPECT_EQ(field("appClassLineEdit"), "<not available>");
    EXPECT_EQ(field("appRectLineEdit"), "<not available>");
    EXPECT_EQ(read(), (Target{false, 0x42, "Gone", {}, {}}));
}

TEST_F(TargetDialog, HandleThatDoesNotParseGivesNoWindow)
{
    dialog.setTargetWindow(false, 0x42, {}, {}, {});
    for (const char* text : {"garbage", "0x", "0x1FFFFFFFF"}) {
        edit("appHandleLineEdit")->setText(QString::fromLatin1(text));
        EXPECT_EQ(read().winHandle, 0u) << text;
    }
    edit("appHandleLineEdit")->setText(QStringLiteral("1f"));
    EXPECT_EQ(read().winHandle, 0x1Fu);
}

TEST(TargetDialogMainWindow, HiddenWhileAskedAndShownAgainWhenTheDialogGoes)
{
    RecordingBackend windows;
    QWidget mainWindow;
    mainWindow.show();
    for (const char* button : {"okButton", "cancelButton"}) {
        {
            TargetApplicationConfigureDialog dialog(windows, &mainWindow);
            auto* hide = dialog.findChild<QCheckBox*>(QStringLiteral("hideSenKeyCheckBox"));
            hide->setChecked(true);
            EXPECT_FALSE(mainWindow.isVisible());
            hide->setChecked(false);
            EXPECT_TRUE(mainWindow.isVisible());
            hide->setChecked(true);
            QTimer::singleShot(0, dialog.findChild<QPushButton*>(QString::fromLatin1(button)), &QPushButton::click);
            dialog.exec();
            EXPECT_FALSE(mainWindow.isVisible()) << button;
        }
        EXPECT_TRUE(mainWindow.isVisible()) << button;
    }
    // Without a window to hide the box does nothing.
    TargetApplicationConfigureDialog dialog(windows, nullptr);
    dialog.findChild<QCheckBox*>(QStringLiteral("hideSenKeyCheckBox"))->setChecked(true);
}

} // namespace

namespace {

// Without a mouse: a window from the list of open windows, or the one that has the focus when the
// count-down ends.
TEST(TargetDialogKeyboard, WindowFromTheListOrFromTheFocusIsChosen)
{
    RecordingBackend windows;
    windows.addWindow(0x100001, QStringLiteral("Notes"), {10, 20, 109, 69});
    windows.addWindow(0x100002, QStringLiteral("Game"));
    TargetApplicationConfigureDialog dialog(windows, nullptr);
    dialog.setTargetWindow(true, 0, {}, {}, {});
    auto* list = dialog.findChild<QComboBox*>(QStringLiteral("windowListComboBox"));
    ASSERT_NE(list, nullptr);
    ASSERT_EQ(list->count(), 2);
    EXPECT_EQ(list->itemText(0), "Game (Recorded)") << "the top of the stack first";

    emit list->activated(1);
    bool sendToFocus = true;
    uint handle = 0;
    QString caption, className;
    QRect rect;
    dialog.getTargetWindow(sendToFocus, handle, caption, className, rect);
    EXPECT_FALSE(sendToFocus);
    EXPECT_EQ(handle, 0x100001u);
    EXPECT_EQ(caption, "Notes");
    EXPECT_EQ(rect, QRect(10, 20, 100, 50));

    windows.setForegroundWindow(0x100002);
    dialog.setFocusDelay(0);
    dialog.startFocusCountdown();
    dialog.getTargetWindow(sendToFocus, handle, caption, className, rect);
    EXPECT_EQ(handle, 0x100002u);
    EXPECT_EQ(caption, "Game");
}

} // namespace
