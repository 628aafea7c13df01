// The once-a-second check of chosen windows against a real X server: needs DISPLAY.
#include <QApplication>
#include <QSignalSpy>
#include <QTableWidget>
#include <QTest>
#include <QWidget>

#include <memory>

#include <gtest/gtest.h>

#include "QtApplicationEnvironment.h"

#include "SenMappingModel.h"
#include "SenMappingView.h"
#include "X11WindowSystem.h"

namespace {

bool hasDisplay()
{
    return !qEnvironmentVariableIsEmpty("DISPLAY");
}

// The windows must be real X windows, whatever platform the other widget tests use.
const auto* const kEnvironment =
    TestSupport::addApplicationEnvironment<QApplication>({.platform = hasDisplay() ? "xcb" : "offscreen"});

TEST(MappingWindowCheck, ClosedWindowIsMarkedAndReportedOnce)
{
    if (!hasDisplay()) {
        GTEST_SKIP() << "needs an X display";
    }
    X11WindowSystem windows;
    ASSERT_TRUE(windows.isAvailable());
    SenMappingModel model;
    QTableWidget table;
    SenMappingView view(&table, &model, windows);
    QSignalSpy reports(&view, &SenMappingView::invalidWindowHandleDetected);

    auto target = std::make_unique<QWidget>();
    target->setWindowTitle(QStringLiteral("Notes"));
    target->resize(200, 100);
    target->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(target.get()));
    const auto handle = static_cast<WindowHandle>(target->winId());
    ASSERT_TRUE(windows.isValidWindow(handle));

    for (const QString& name : {QStringLiteral("A"), QStringLiteral("B")}) {
        SenMapping mapping(name);
        mapping.setSendToFocus(false);
        mapping.setWindowHandle(handle);
        mapping.setAppTitle(QStringLiteral("Notes"));
        model.addMapping(mapping);
    }
    const auto target0 = [&] { return table.item(0, SenMappingView::TargetColumn); };
    EXPECT_EQ(target0()->text(), QStringLiteral("To \"Notes\""));
    EXPECT_FALSE(reports.wait(1500)); // a living window is left alone

    target.reset();
    ASSERT_TRUE(reports.wait(3000));
    for (int row : {0, 1}) {
        const QTableWidgetItem* item = table.item(row, SenMappingView::TargetColumn);
        EXPECT_EQ(item->text(), QStringLiteral("<invalid window, please select again>"));
        EXPECT_EQ(item->foreground().color(), QColor(Qt::red));
        EXPECT_TRUE(item->font().bold());
    }

    // Later checks, and the second mapping on the same window, announce nothing new.
    EXPECT_FALSE(reports.wait(2500));
    EXPECT_EQ(reports.count(), 1);
    EXPECT_EQ(view.reportedWindows(), QList<WindowHandle>{handle});
}

} // namespace
