// SPDX-License-Identifier: GPL-3.0-or-later
#include "FakeWindowSystem.h"

#include <QLabel>
#include <QSignalSpy>
#include <gtest/gtest.h>

using namespace std::chrono_literals;

TEST(FakeWindowSystem, TimersFireInOrderOnTheVirtualClock)
{
    FakeWindowSystem system;
    QStringList fired;
    Subscription sampler = system.scheduleRepeating(100ms, [&] { fired << "sample"; });
    Subscription wake = system.scheduleOnce(280ms, [&] { fired << "wake"; });
    Subscription cancelled = system.scheduleOnce(50ms, [&] { fired << "cancelled"; });
    cancelled.cancel();

    system.advance(99ms);
    EXPECT_TRUE(fired.isEmpty());
    system.advance(201ms);
    EXPECT_EQ(fired, (QStringList{"sample", "sample", "wake", "sample"}));
    EXPECT_EQ(system.now(), 300ms);
    EXPECT_EQ(system.timerCount(), 1) << "the single shot is gone";

    sampler.cancel();
    system.advance(1s);
    EXPECT_EQ(fired.size(), 4);
}

TEST(FakeWindowSystem, ATimerMayCancelItselfOrScheduleAnother)
{
    FakeWindowSystem system;
    int ticks = 0;
    Subscription chained;
    Subscription repeating;
    repeating = system.scheduleRepeating(10ms, [&] {
        if (++ticks == 3) {
            repeating.cancel();
            chained = system.scheduleOnce(5ms, [&] { ticks += 100; });
        }
    });
    system.advance(100ms);
    EXPECT_EQ(ticks, 103);
}

TEST(FakeWindowSystem, MonitorsReceiveOnlyTheirEventsUntilRemoved)
{
    FakeWindowSystem system;
    QList<PointerEvent> global;
    QList<PointerEvent> local;
    std::optional<Subscription> moves = system.addGlobalMonitor(
        PointerEvents::movement, [&](const PointerEvent &event) { global.append(event); });
    std::optional<Subscription> downs = system.addLocalMonitor(
        PointerEvents::mouseDowns, [&](const PointerEvent &event) { local.append(event); });
    ASSERT_TRUE(moves && downs);

    system.movePointer(QPointF(10, 20));
    system.setPressedMouseButtons(Qt::LeftButton);
    system.movePointer(QPointF(11, 20));
    system.click(QPointF(12, 20), PointerEventType::rightMouseDown, true);
    system.click(QPointF(13, 20), PointerEventType::leftMouseDown, false);
    ASSERT_EQ(global.size(), 2);
    EXPECT_EQ(global.at(0).type, PointerEventType::mouseMoved);
    EXPECT_EQ(global.at(1).type, PointerEventType::leftMouseDragged);
    ASSERT_EQ(local.size(), 1);
    EXPECT_EQ(local.at(0).type, PointerEventType::rightMouseDown);
    EXPECT_EQ(local.at(0).location, QPointF(12, 20));

    moves.reset();
    system.movePointer(QPointF(0, 0));
    EXPECT_EQ(global.size(), 2);
    EXPECT_EQ(system.globalMonitorCount(), 0);

    system.globalMonitorsAvailable = false;
    EXPECT_FALSE(system.addGlobalMonitor(PointerEvents::movement, [](const PointerEvent &) {}));
}

TEST(FakeWindowSystem, PanelsShareOneKeyAndMapThePointerLikeTheRealOnes)
{
    FakeWindowSystem system;
    std::unique_ptr<Panel> left = system.createPanel(QRectF(0, 0, 540, 1055), {});
    std::unique_ptr<Panel> right = system.createPanel(QRectF(1380, 0, 540, 1055), {});
    QSignalSpy leftKey(left.get(), &Panel::keyChanged);

    left->makeKeyAndOrderFront();
    right->makeKeyAndOrderFront();
    EXPECT_FALSE(left->isKey());
    EXPECT_TRUE(right->isKey());
    EXPECT_EQ(leftKey.count(), 2);

    // The pixel at the top-left of the right panel, and the one at its bottom-right.
    EXPECT_EQ(right->mapFromGlobal(QPointF(1380, 1054)), QPointF(0, 0));
    EXPECT_EQ(right->mapFromGlobal(QPointF(1919, 0)), QPointF(539, 1054));

    QSignalSpy moved(right.get(), &Panel::moved);
    right->setFrame(QRectF(1380, 0, 540, 1055));
    EXPECT_EQ(moved.count(), 0) << "same origin";
    right->setFrameOrigin(QPointF(1000, 10));
    EXPECT_EQ(moved.count(), 1);
    EXPECT_EQ(right->frame(), QRectF(1000, 10, 540, 1055));

    right.reset();
    EXPECT_EQ(system.panels().size(), 1);
}

TEST(FakeWindowSystem, PanelContentFillsThePanel)
{
    FakeWindowSystem system;
    std::unique_ptr<Panel> panel = system.createPanel(QRectF(0, 0, 540, 300), {});
    panel->setContent(std::make_unique<QLabel>(QStringLiteral("nota")));
    EXPECT_EQ(panel->content()->size(), QSize(540, 300));
    panel->setFrame(QRectF(0, 0, 400, 200));
    EXPECT_EQ(panel->content()->size(), QSize(400, 200));
}

TEST(FakeWindowSystem, ClickThroughFollowsTheMouseRects)
{
    FakeWindowSystem system;
    std::unique_ptr<Panel> panel = system.createPanel(QRectF(0, 0, 540, 1055), {true, true, {}});
    auto *fake = static_cast<FakePanel *>(panel.get());
    EXPECT_FALSE(fake->takesMouseAt(QPointF(10, 10))) << "starts ignoring the mouse";
    panel->setIgnoresMouseEvents(false);
    EXPECT_TRUE(fake->takesMouseAt(QPointF(10, 10))) << "no rectangles: everywhere";
    panel->setMouseRects(QList<QRectF>{QRectF(500, 100, 40, 60)});
    EXPECT_FALSE(fake->takesMouseAt(QPointF(10, 10)));
    EXPECT_TRUE(fake->takesMouseAt(QPointF(520, 120)));
}
