// SPDX-License-Identifier: GPL-3.0-or-later
#include "FakeWindowSystem.h"

#include "rail/InteractiveRegions.h"
#include "rail/PassthroughHostingView.h"
#include "rail/RailPointer.h"

#include <gtest/gtest.h>

#include <QPushButton>
#include <QSignalSpy>

namespace {

// A panel 540 × 1000 whose bottom-left corner is at global (1380, 50): content point
// (x, y) is global (1380 + x, 1049 - y) under the pixel rule of the platform layer.
constexpr double panelLeft = 1380;
constexpr double panelBottom = 50;
constexpr double panelHeight = 1000;

QPointF global(double x, double y)
{
    return {panelLeft + x, panelBottom + panelHeight - 1 - y};
}

class PassthroughHostingViewTest : public ::testing::Test
{
protected:
    PassthroughHostingViewTest()
    {
        PanelOptions options;
        options.ignoresMouseEvents = true;
        panelOwner = windows.createPanel(QRectF(panelLeft, panelBottom, 540, panelHeight), options);
        panel = static_cast<FakePanel *>(panelOwner.get());
        auto root = std::make_unique<QWidget>();
        button = new QPushButton(root.get());
        button->setGeometry(470, 200, 70, 100);
        auto view = std::make_unique<PassthroughHostingView>(regions, pointer, std::move(root));
        host = view.get();
        panel->setContent(std::move(view));
        host->setPanel(panel);
    }

    FakeWindowSystem windows;
    InteractiveRegions regions;
    RailPointer pointer;
    std::unique_ptr<Panel> panelOwner;
    FakePanel *panel = nullptr;
    PassthroughHostingView *host = nullptr;
    QPushButton *button = nullptr;
};

TEST_F(PassthroughHostingViewTest, ThePanelTakesTheMouseExactlyWhileThePointerIsOverARect)
{
    regions.publish({QRectF(460, 190, 80, 120)});
    EXPECT_TRUE(panel->ignoresMouseEvents());

    // Inside the panel but beside the tab: still click-through, yet the content learns
    // where the pointer is (it needs the location to wake).
    host->updatePointer(global(520, 100));
    EXPECT_TRUE(panel->ignoresMouseEvents());
    ASSERT_TRUE(pointer.location());
    EXPECT_EQ(*pointer.location(), QPointF(520, 100)) << "flipped to a top-left origin";

    host->updatePointer(global(500, 250));
    EXPECT_FALSE(panel->ignoresMouseEvents());
    EXPECT_TRUE(panel->takesMouseAt(QPointF(500, 250)));
    EXPECT_FALSE(panel->takesMouseAt(QPointF(300, 250)))
        << "while it takes the mouse, it does so only over the rects";
    EXPECT_EQ(*pointer.location(), QPointF(500, 250));

    // The rects are half-open: their far edges belong to the outside.
    host->updatePointer(global(540 - 0.5, 310));
    EXPECT_TRUE(panel->ignoresMouseEvents());

    // Leaving the panel: the location goes, the panel stays click-through.
    host->updatePointer(QPointF(panelLeft - 1, 600));
    EXPECT_TRUE(panel->ignoresMouseEvents());
    EXPECT_FALSE(pointer.location());
    host->updatePointer(QPointF(panelLeft + 10, panelBottom - 1));
    EXPECT_FALSE(pointer.location()) << "just below the panel";
    EXPECT_EQ(panel->ignoresMouseEventsChanges, 2);
    EXPECT_EQ(host->lastScreenPoint(), QPointF(panelLeft + 10, panelBottom - 1));
}

TEST_F(PassthroughHostingViewTest, WithoutRectsNothingIsHitAndEveryClickIsOutside)
{
    for (const QPointF point : {QPointF(0, 0), QPointF(500, 250), QPointF(539, 999)}) {
        EXPECT_EQ(host->hitTest(point), nullptr);
        host->updatePointer(global(point.x(), point.y()));
        EXPECT_TRUE(panel->ignoresMouseEvents());
        host->handleClick(global(point.x(), point.y()));
    }
    EXPECT_EQ(pointer.outsideClicks(), 3);
    EXPECT_EQ(panel->ignoresMouseEventsChanges, 0);
}

TEST_F(PassthroughHostingViewTest, HitTestsAnswerOnlyInsideTheRects)
{
    regions.publish({QRectF(460, 190, 80, 120), QRectF(0, 0, 10, 10)});
    EXPECT_EQ(host->hitTest(QPointF(500, 250)), button);
    EXPECT_EQ(host->hitTest(QPointF(5, 5)), host->rootView())
        << "a rect over no button hits the root";
    EXPECT_EQ(host->hitTest(QPointF(500, 150)), nullptr);
    EXPECT_EQ(host->hitTest(QPointF(-1, 5)), nullptr);
}

TEST_F(PassthroughHostingViewTest, RectsMovingUnderAStillPointerChangeAcceptanceButNotLocation)
{
    // Before any sample there is nothing to re-check.
    regions.publish({QRectF(0, 0, 540, 1000)});
    EXPECT_TRUE(panel->ignoresMouseEvents());

    regions.publish({});
    host->updatePointer(global(520, 400));
    QSignalSpy moves(&pointer, &RailPointer::locationChanged);

    // A tab slides out under the pointer.
    regions.publish({QRectF(450, 380, 90, 50)});
    EXPECT_FALSE(panel->ignoresMouseEvents());
    EXPECT_EQ(panel->mouseRects(), QList<QRectF>{QRectF(450, 380, 90, 50)});
    // And away again.
    regions.publish({QRectF(450, 500, 90, 50)});
    EXPECT_TRUE(panel->ignoresMouseEvents());
    EXPECT_EQ(moves.count(), 0);
    EXPECT_EQ(*pointer.location(), QPointF(520, 400));
}

TEST_F(PassthroughHostingViewTest, AClickOnARectIsTheRailsAndAnyOtherIsOutside)
{
    regions.publish({QRectF(460, 190, 80, 120)});
    host->handleClick(global(500, 250));
    EXPECT_EQ(pointer.outsideClicks(), 0);
    host->handleClick(global(100, 250));        // in the panel, beside the tab
    host->handleClick(QPointF(10, 10));         // far away on the desktop
    host->handleClick(global(500, 250 - 1000)); // the tab's x, above the panel
    EXPECT_EQ(pointer.outsideClicks(), 3);
}

TEST_F(PassthroughHostingViewTest, WithoutAWindowEveryClickIsOutsideAndThereIsNoLocation)
{
    regions.publish({QRectF(0, 0, 540, 1000)});
    host->updatePointer(global(100, 100));
    ASSERT_TRUE(pointer.location());

    host->setPanel(nullptr);
    host->updatePointer(global(200, 200));
    EXPECT_FALSE(pointer.location());
    EXPECT_EQ(host->lastScreenPoint(), global(100, 100)) << "only samples with a window count";
    host->handleClick(global(100, 100));
    host->handleClick(global(200, 200));
    EXPECT_EQ(pointer.outsideClicks(), 2);
    // Re-checking has no window to change.
    regions.publish({});
    EXPECT_FALSE(panel->ignoresMouseEvents());
}

TEST_F(PassthroughHostingViewTest, TheRegionsOutliveTheViewSafely)
{
    regions.publish({QRectF(0, 0, 10, 10)});
    panel->setContent(nullptr); // destroys the view
    EXPECT_FALSE(regions.onChange());
    regions.publish({QRectF(0, 0, 20, 20)});
    EXPECT_EQ(regions.rects().size(), 1);
}

} // namespace
