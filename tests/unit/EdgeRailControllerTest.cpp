// SPDX-License-Identifier: GPL-3.0-or-later
// A rail where the desktop reports the pointer only over the application's own windows
// (X11 clients in a Wayland session) next to one where it reports it everywhere.

#include "FakeWindowSystem.h"

#include "rail/EdgeRailController.h"
#include "rail/InteractiveRegions.h"
#include "rail/PassthroughHostingView.h"
#include "rail/RailPointer.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QEnterEvent>
#include <QEvent>
#include <QWidget>

namespace {

using Reach = EdgeRailController::PointerReach;

const ScreenInfo screen{1, QRectF(0, 0, 1600, 1000), QRectF(0, 0, 1600, 1000),
                        QStringLiteral("Pantalla 1")};

class EdgeRailControllerTest : public ::testing::Test
{
protected:
    std::unique_ptr<EdgeRailController> makeRail(ScreenEdge edge, Reach reach)
    {
        return std::make_unique<EdgeRailController>(
            windows, edge, screen,
            [](ScreenEdge, InteractiveRegions &, RailPointer &) {
                return std::make_unique<QWidget>();
            },
            nullptr, reach);
    }

    static FakePanel &panel(const EdgeRailController &rail)
    {
        return static_cast<FakePanel &>(rail.panel());
    }

    // A global point inside the rail's panel, `inset` points from its screen edge.
    static QPointF insideRail(const EdgeRailController &rail, double inset)
    {
        const QRectF frame = rail.panel().frame();
        const double x =
            rail.edge() == ScreenEdge::left ? frame.left() + inset : frame.right() - inset;
        return {x, frame.center().y()};
    }

    static void enter(QWidget &host)
    {
        QEnterEvent event(QPointF(1, 1), QPointF(1, 1), QPointF(1, 1));
        QCoreApplication::sendEvent(&host, &event);
    }

    static void leave(QWidget &host)
    {
        QEvent event(QEvent::Leave);
        QCoreApplication::sendEvent(&host, &event);
    }

    FakeWindowSystem windows;
};

} // namespace

TEST_F(EdgeRailControllerTest, WhereThePointerIsSeenOnlyOverOwnWindowsTheEdgeAndTabsAlwaysTakeIt)
{
    const auto right = makeRail(ScreenEdge::right, Reach::ownWindowsOnly);
    const QSizeF size = right->panel().frame().size();
    ASSERT_FALSE(size.isEmpty());
    const QRectF rightStrip(size.width() - EdgeRailController::wakeZoneWidth, 0,
                            EdgeRailController::wakeZoneWidth, size.height());
    EXPECT_EQ(panel(*right).alwaysAcceptingRects(), QList<QRectF>{rightStrip});

    const auto left = makeRail(ScreenEdge::left, Reach::ownWindowsOnly);
    EXPECT_EQ(panel(*left).alwaysAcceptingRects(),
              QList<QRectF>{
                  QRectF(0, 0, EdgeRailController::wakeZoneWidth, left->panel().frame().height())});

    // The tabs too: a pointer that jumps onto one from another application's window is
    // seen only if the tab takes it.
    const QRectF tab(size.width() - 120, 300, 120, 60);
    right->regions().publish({tab});
    EXPECT_EQ(panel(*right).alwaysAcceptingRects(), (QList<QRectF>{rightStrip, tab}));

    // A taller panel gets a taller strip, still at its edge, once the rail lays its tabs
    // out again for it.
    QRectF taller = right->panel().frame();
    taller.setHeight(taller.height() + 200);
    right->panel().setFrame(taller);
    right->regions().publish({tab.translated(0, 100)});
    EXPECT_EQ(panel(*right).alwaysAcceptingRects().first(),
              QRectF(taller.width() - EdgeRailController::wakeZoneWidth, 0,
                     EdgeRailController::wakeZoneWidth, taller.height()));

    // Where the desktop reports the pointer everywhere, a sleeping panel passes everything
    // through.
    const auto everywhere = makeRail(ScreenEdge::right, Reach::everywhere);
    everywhere->regions().publish({tab});
    EXPECT_TRUE(panel(*everywhere).alwaysAcceptingRects().isEmpty());

    // Where an X window takes every click inside its frame, the panel's window is cut down
    // to what takes the mouse; elsewhere the input shape does that.
    EXPECT_TRUE(right->panel().fitsWindowToInput());
    EXPECT_FALSE(everywhere->panel().fitsWindowToInput());
}

TEST_F(EdgeRailControllerTest, TheEdgeTakesThePointerOnlyWhereADwellWouldWakeTheRail)
{
    const auto right = makeRail(ScreenEdge::right, Reach::ownWindowsOnly);
    const QSizeF size = right->panel().frame().size();
    const double stripX = size.width() - EdgeRailController::wakeZoneWidth;
    const QRectF tab(size.width() - 120, 440, 120, 60);
    right->regions().publish({tab});

    // Beside the band, the edge is the window below's: a maximised window's scroll bar.
    right->regions().setWakeBand(QRectF(size.width() - 126, 400, 126, 140));
    EXPECT_EQ(panel(*right).alwaysAcceptingRects(),
              (QList<QRectF>{QRectF(stripX, 400, EdgeRailController::wakeZoneWidth, 140), tab}));

    // A band reaching past the panel, as near the top of the screen, is cut to it.
    right->regions().setWakeBand(QRectF(size.width() - 46, -40, 46, 120));
    EXPECT_EQ(panel(*right).alwaysAcceptingRects().first(),
              QRectF(stripX, 0, EdgeRailController::wakeZoneWidth, 80));
    right->regions().setWakeBand(QRectF(size.width() - 46, size.height() - 30, 46, 120));
    EXPECT_EQ(panel(*right).alwaysAcceptingRects().first(),
              QRectF(stripX, size.height() - 30, EdgeRailController::wakeZoneWidth, 30));

    const auto left = makeRail(ScreenEdge::left, Reach::ownWindowsOnly);
    left->regions().setWakeBand(QRectF(0, 300, 416, 400));
    EXPECT_EQ(panel(*left).alwaysAcceptingRects(),
              QList<QRectF>{QRectF(0, 300, EdgeRailController::wakeZoneWidth, 400)});
}

TEST_F(EdgeRailControllerTest, ThePointerIsGoneOnceItLeavesThePanelAndSeenAgainWhereItLeft)
{
    const auto rail = makeRail(ScreenEdge::right, Reach::ownWindowsOnly);
    const QPointF atEdge = insideRail(*rail, 1);
    windows.setPointerLocation(atEdge);
    rail->host().updatePointer(atEdge);
    ASSERT_TRUE(rail->pointer().location());

    // The desktop goes on reporting the last place over the panel.
    leave(rail->host());
    EXPECT_EQ(rail->pointer().location(), std::nullopt);
    EXPECT_TRUE(panel(*rail).ignoresMouseEvents()) << "only the strip takes the mouse";

    // Back at the very same place: no movement for a sampler, yet the rail sees it.
    enter(rail->host());
    EXPECT_TRUE(rail->pointer().location());

    // Where the pointer is reported everywhere, leaving the panel says nothing by itself.
    const auto everywhere = makeRail(ScreenEdge::left, Reach::everywhere);
    const QPointF onLeft = insideRail(*everywhere, 1);
    everywhere->host().updatePointer(onLeft);
    leave(everywhere->host());
    EXPECT_TRUE(everywhere->pointer().location());
}

TEST_F(EdgeRailControllerTest, LosingTheKeyboardCountsAsAClickElsewhereOnlyWhereClicksGoUnseen)
{
    const auto unseen = makeRail(ScreenEdge::right, Reach::ownWindowsOnly);
    const auto seen = makeRail(ScreenEdge::left, Reach::everywhere);
    for (const auto *rail : {unseen.get(), seen.get()}) {
        rail->panel().makeKeyAndOrderFront();
        ASSERT_TRUE(rail->panel().isKey());
    }

    panel(*unseen).resignKey();
    panel(*seen).resignKey();
    EXPECT_EQ(unseen->pointer().outsideClicks(), 1);
    EXPECT_EQ(seen->pointer().outsideClicks(), 0) << "the click monitor tells there";

    // Taking the keyboard is no click elsewhere.
    unseen->panel().makeKeyAndOrderFront();
    EXPECT_EQ(unseen->pointer().outsideClicks(), 1);
}

TEST_F(EdgeRailControllerTest, APressOnTheRailGivesItTheKeyboardOnlyWhereClicksGoUnseen)
{
    const auto unseen = makeRail(ScreenEdge::right, Reach::ownWindowsOnly);
    const auto seen = makeRail(ScreenEdge::left, Reach::everywhere);
    const QPointF onUnseen = insideRail(*unseen, 30);
    const QPointF onSeen = insideRail(*seen, 30);
    for (const auto &[rail, point] : {std::pair{unseen.get(), onUnseen}, {seen.get(), onSeen}}) {
        const QPointF local = rail->panel().mapFromGlobal(point);
        rail->regions().publish({QRectF(local - QPointF(10, 10), QSizeF(20, 20))});
    }

    // Beside the tab: the press belongs to the window below.
    windows.click(onUnseen + QPointF(0, 40), PointerEventType::leftMouseDown, true);
    EXPECT_FALSE(unseen->panel().isKey());

    windows.click(onUnseen, PointerEventType::leftMouseDown, true);
    EXPECT_TRUE(unseen->panel().isKey()) << "so that a click elsewhere shows as its loss";
    windows.click(onSeen, PointerEventType::leftMouseDown, true);
    EXPECT_FALSE(seen->panel().isKey()) << "the click monitor sees clicks elsewhere there";
}
