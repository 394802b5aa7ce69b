// SPDX-License-Identifier: GPL-3.0-or-later
// A panel whose window covers only what takes the mouse (X clients of KWin and mutter in a
// Wayland session), on Qt's offscreen platform: the window's geometry follows the
// rectangles, the content stays where it was on the screen, and crossings of the window's
// border reported while its geometry settles are not believed.

#include "platform/GlobalCoordinates.h"
#include "platform/QtPanel.h"

#include "CrossingCounter.h"
#include "FakeWindowSystem.h"
#include "TestSupport.h"

#include <QCoreApplication>
#include <QEnterEvent>
#include <QGuiApplication>
#include <QMouseEvent>
#include <QTest>
#include <QWidget>
#include <QWindow>
#include <gtest/gtest.h>

namespace {

// A right rail: 540 points wide, 500 high.
const QRectF railFrame(260, 40, 540, 500);
const QRectF strip(538, 0, 2, 500);
const QRectF tab(460, 100, 80, 120);

class FittedPanel : public ::testing::Test
{
protected:
    void SetUp() override
    {
        if (QGuiApplication::platformName() != QLatin1String("offscreen"))
            GTEST_SKIP() << "runs on the offscreen platform";
        panel = std::make_unique<QtPanel>(railFrame, PanelOptions{false, true, {}});
        panel->setContent(std::make_unique<QWidget>());
        panel->setMouseRects(QList<QRectF>{});
        panel->setAlwaysAcceptingRects({strip});
        panel->setFitsWindowToInput(true);
    }

    // Where a rectangle of the content lies in Qt's screen coordinates.
    static QRect onScreen(const QRectF &contentRect)
    {
        const QRectF panelRect = GlobalCoordinates::ofApplication().rectFromGlobal(railFrame);
        return contentRect.translated(panelRect.topLeft()).toAlignedRect();
    }

    // The window fitted to rectangles of the content: their bounds with a margin, never
    // past the panel.
    static QRect fitted(const QRectF &contentRect)
    {
        const int margin = QtPanel::fittedMargin;
        return onScreen(contentRect).adjusted(-margin, -margin, margin, margin) &
               onScreen(QRectF(QPointF(), railFrame.size()));
    }

    QWidget &window() const { return *panel->window(); }
    QWidget &content() const { return *panel->content(); }

    void show() const
    {
        panel->orderFrontRegardless();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&window()));
    }

    std::unique_ptr<QtPanel> panel;
};

} // namespace

TEST_F(FittedPanel, TheWindowCoversWhatTakesTheMouseWhileTheContentKeepsItsPlace)
{
    EXPECT_EQ(window().geometry(), fitted(strip)) << "only the strip, even before mapping";
    EXPECT_EQ(panel->frame(), railFrame);
    EXPECT_EQ(content().size(), railFrame.size().toSize());
    EXPECT_EQ(content().mapToGlobal(QPoint(0, 0)),
              onScreen(QRectF(QPointF(), railFrame.size())).topLeft());
    FakeWindowSystem fakes;
    const std::unique_ptr<Panel> fake = fakes.createPanel(railFrame, {});
    for (const QPointF global : {QPointF(799, 300), QPointF(300.5, 100.25)})
        EXPECT_EQ(panel->mapFromGlobal(global), fake->mapFromGlobal(global));

    show();
    // A tab slides out: the window takes it at once, and the drawing does not move.
    panel->setAlwaysAcceptingRects({strip, tab});
    EXPECT_EQ(window().geometry(), fitted(strip.united(tab)));
    EXPECT_EQ(content().mapToGlobal(QPoint(0, 0)),
              onScreen(QRectF(QPointF(), railFrame.size())).topLeft());

    // It slides back: the window keeps its size while it does, then shrinks.
    panel->setAlwaysAcceptingRects({strip});
    EXPECT_EQ(window().geometry(), fitted(strip.united(tab)));
    EXPECT_TRUE(waitUntil([&] { return window().geometry() == fitted(strip); }));
    EXPECT_EQ(content().mapToGlobal(QPoint(0, 0)),
              onScreen(QRectF(QPointF(), railFrame.size())).topLeft());

    // The mouse rectangles count only while the panel takes the mouse.
    panel->setMouseRects(QList<QRectF>{QRectF(0, 0, 10, 10)});
    EXPECT_EQ(window().geometry(), fitted(strip));
    panel->setIgnoresMouseEvents(false);
    EXPECT_EQ(window().geometry(), onScreen(QRectF(QPointF(), railFrame.size())));

    // A new frame moves the drawing with it.
    panel->setIgnoresMouseEvents(true);
    const QRectF lower = railFrame.translated(0, -20);
    panel->setFrame(lower);
    EXPECT_EQ(panel->frame(), lower);
    EXPECT_EQ(content().mapToGlobal(QPoint(0, 0)),
              GlobalCoordinates::ofApplication().rectFromGlobal(lower).topLeft().toPoint());

    // Back to a window as large as the frame, filled by the content.
    panel->setFitsWindowToInput(false);
    EXPECT_EQ(window().geometry(),
              GlobalCoordinates::ofApplication().rectFromGlobal(lower).toRect());
    EXPECT_TRUE(waitUntil([&] { return content().geometry() == window().rect(); }));
}

TEST_F(FittedPanel, CrossingsWhileTheGeometrySettlesAreCheckedAfterwards)
{
    show();
    CrossingCounter crossings;
    content().installEventFilter(&crossings);
    QWindow *handle = window().windowHandle();
    const QPointF inside(1, 250);
    QEnterEvent enter(inside, inside, window().mapToGlobal(inside));
    QEvent leave(QEvent::Leave);

    // Mapped and fitted a moment ago: the geometry settles first.
    QTest::qWait(int(QtPanel::crossingsSettleTime.count()) + 50);
    QCoreApplication::sendEvent(handle, &enter);
    ASSERT_EQ(crossings.enters, 1) << "a settled window believes an entry";

    // The window grows under the pointer: the window manager's moves make the pointer
    // seem to leave; it never did.
    panel->setAlwaysAcceptingRects({strip, tab});
    QCoreApplication::sendEvent(handle, &leave);
    EXPECT_EQ(crossings.leaves, 0);
    QCoreApplication::sendEvent(handle, &enter);
    EXPECT_EQ(crossings.enters, 1);

    // Grown again, and the pointer really leaves meanwhile: the check once the geometry
    // settled finds it gone (offscreen, as on XWayland after the pointer went over
    // another client, no window holds it).
    panel->setAlwaysAcceptingRects({strip, tab, QRectF(400, 300, 140, 50)});
    QCoreApplication::sendEvent(handle, &leave);
    EXPECT_EQ(crossings.leaves, 0);
    EXPECT_TRUE(waitUntil([&] { return crossings.leaves == 1; }));

    // A stale entry went unreported; a move over the window is the hand, and so an entry.
    QMouseEvent move(QEvent::MouseMove, inside, inside, window().mapToGlobal(inside), Qt::NoButton,
                     Qt::NoButton, Qt::NoModifier);
    QCoreApplication::sendEvent(handle, &move);
    EXPECT_EQ(crossings.enters, 2);
    QCoreApplication::sendEvent(handle, &move);
    EXPECT_EQ(crossings.enters, 2) << "once";
}
