// SPDX-License-Identifier: GPL-3.0-or-later
// The real window system on Qt's offscreen platform: everything that is Qt's works, the
// X11 parts stand still.

#include "platform/QtPanel.h"
#include "platform/QtWindowSystem.h"
#include "platform/X11Connection.h"
#include "platform/X11HotKeyService.h"

#include "FakeWindowSystem.h"
#include "TestSupport.h"

#include <QApplication>
#include <QCursor>
#include <QGuiApplication>
#include <QLabel>
#include <QMouseEvent>
#include <QScreen>
#include <QSignalSpy>
#include <QTest>
#include <QWindow>
#include <gtest/gtest.h>

using namespace std::chrono_literals;

namespace {

bool onOffscreen()
{
    return QGuiApplication::platformName() == QLatin1String("offscreen");
}

class QtWindowSystemOffscreen : public ::testing::Test
{
protected:
    void SetUp() override
    {
        if (!onOffscreen())
            GTEST_SKIP() << "runs on the offscreen platform";
    }

    QtWindowSystem system;
};

QMouseEvent mouseEvent(QEvent::Type type, QWindow *window, const QPointF &local,
                       Qt::MouseButton button, Qt::MouseButtons buttons)
{
    return QMouseEvent(type, local, local, window->mapToGlobal(local), button, buttons,
                       Qt::NoModifier);
}

} // namespace

TEST_F(QtWindowSystemOffscreen, X11PartsDoNothingWithoutAConnection)
{
    // The offscreen platform has an X11 native interface without a connection.
    EXPECT_FALSE(X11Connection::ofApplication());
    EXPECT_FALSE(system.addGlobalMonitor(PointerEvents::mouseDowns, [](const PointerEvent &) {}));
    EXPECT_TRUE(system.isCompositing());

    X11HotKeyService hotKeys;
    EXPECT_FALSE(hotKeys.isAvailable());
    EXPECT_EQ(hotKeys.registerHotKey(CarbonKeys::keyN, 2304, {1, 1}), std::nullopt);
    hotKeys.unregisterHotKey(1); // unknown: ignored

    system.setActivationPolicy(ActivationPolicy::accessory);
    QWidget window;
    window.show();
    EXPECT_TRUE(window.isVisible());
    EXPECT_EQ(system.activationPolicy(), ActivationPolicy::accessory);
}

TEST_F(QtWindowSystemOffscreen, ScreensAreReportedInGlobalCoordinates)
{
    const QList<ScreenInfo> screens = system.screens();
    ASSERT_EQ(screens.size(), QGuiApplication::screens().size());
    ASSERT_TRUE(system.mainScreen());
    const QRect primary = QGuiApplication::primaryScreen()->geometry();
    EXPECT_EQ(system.mainScreen()->frame, QRectF(0, 0, primary.width(), primary.height()));
    EXPECT_EQ(system.mainScreen()->displayNumber.has_value(),
              !QGuiApplication::primaryScreen()->name().isEmpty());
    EXPECT_FALSE(system.mainScreen()->localizedName.isEmpty());
    EXPECT_TRUE(screens.contains(*system.mainScreen()));

    QCursor::setPos(QPoint(primary.x() + 10, primary.y()));
    EXPECT_EQ(system.pointerLocation(), QPointF(10, primary.height() - 1))
        << "the top row of the main screen";
    EXPECT_TRUE(frameContains(system.mainScreen()->frame, system.pointerLocation()));
}

TEST_F(QtWindowSystemOffscreen, PanelFramesRoundTripAndReportMoves)
{
    const QRectF frame(100, 40, 300, 200);
    std::unique_ptr<Panel> panel = system.createPanel(frame, {});
    auto *window = static_cast<QtPanel *>(panel.get())->window();
    EXPECT_EQ(panel->frame(), frame);
    const int mainHeight = QGuiApplication::primaryScreen()->geometry().height();
    EXPECT_EQ(window->geometry(), QRect(100, mainHeight - 240, 300, 200));

    panel->orderFrontRegardless();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window));
    QSignalSpy moved(panel.get(), &Panel::moved);
    panel->setFrameOrigin(QPointF(120, 60));
    EXPECT_TRUE(waitUntil([&] { return !moved.isEmpty(); }));
    EXPECT_EQ(moved.last().at(0).toPointF(), QPointF(120, 60));
    EXPECT_EQ(panel->frame(), QRectF(120, 60, 300, 200));

    // Growing at the top keeps the bottom-left origin; growing at the bottom moves it.
    moved.clear();
    panel->setFrame(QRectF(120, 60, 300, 260));
    EXPECT_EQ(panel->frame(), QRectF(120, 60, 300, 260));
    panel->setFrame(QRectF(120, 20, 300, 300));
    EXPECT_TRUE(waitUntil([&] { return !moved.isEmpty(); }));
    ASSERT_EQ(moved.size(), 1) << "the first change kept the origin";
    EXPECT_EQ(moved.last().at(0).toPointF(), QPointF(120, 20));
}

TEST_F(QtWindowSystemOffscreen, PanelsMapThePointerLikeTheFake)
{
    const QRectF frame(200, 100, 540, 300);
    std::unique_ptr<Panel> real = system.createPanel(frame, {});
    FakeWindowSystem fakes;
    std::unique_ptr<Panel> fake = fakes.createPanel(frame, {});
    real->setContent(std::make_unique<QLabel>(QStringLiteral("nota")));
    real->orderFrontRegardless();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(static_cast<QtPanel *>(real.get())->window()));
    EXPECT_EQ(real->content()->size(), QSize(540, 300)) << "the content fills the panel";

    for (const QPointF global :
         {QPointF(200, 399), QPointF(739, 100), QPointF(450.5, 250.25), QPointF(0, 0)}) {
        EXPECT_EQ(real->mapFromGlobal(global), fake->mapFromGlobal(global))
            << global.x() << "," << global.y();
    }
    EXPECT_EQ(real->mapFromGlobal(QPointF(200, 399)), QPointF(0, 0)) << "the top-left pixel";
}

// (The offscreen platform activates every window it shows; the X11 tests check that
// showing a panel leaves the keyboard where it was.)
TEST_F(QtWindowSystemOffscreen, PanelsTakeTheKeyboardInPlaceAndRefuseItAgainAfterwards)
{
    QWidget front;
    front.show();
    front.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&front));

    std::unique_ptr<Panel> panel = system.createPanel(QRectF(0, 0, 200, 200), {});
    auto *window = static_cast<QtPanel *>(panel.get())->window();
    EXPECT_TRUE(window->windowFlags().testFlag(Qt::WindowDoesNotAcceptFocus));
    EXPECT_TRUE(window->windowFlags().testFlag(Qt::WindowStaysOnTopHint));
    panel->orderFrontRegardless();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window));

    QSignalSpy key(panel.get(), &Panel::keyChanged);
    const WId native = window->winId();
    panel->makeKeyAndOrderFront();
    EXPECT_TRUE(waitUntil([&] { return panel->isKey(); }));
    EXPECT_FALSE(window->windowHandle()->flags().testFlag(Qt::WindowDoesNotAcceptFocus));
    EXPECT_EQ(window->winId(), native) << "the window is changed in place";
    EXPECT_TRUE(window->isVisible());

    // Losing the keyboard brings back the panel's refusal of focus on click.
    front.activateWindow();
    EXPECT_TRUE(waitUntil([&] { return !panel->isKey(); }));
    EXPECT_TRUE(window->windowHandle()->flags().testFlag(Qt::WindowDoesNotAcceptFocus));
    ASSERT_FALSE(key.isEmpty());
    EXPECT_EQ(key.last().at(0).toBool(), false);

    panel->orderOut();
    EXPECT_FALSE(panel->isVisible());
}

TEST_F(QtWindowSystemOffscreen, IgnoringMouseEventsKeepsTheWindowShown)
{
    std::unique_ptr<Panel> panel = system.createPanel(QRectF(0, 0, 200, 200), {false, true, {}});
    auto *window = static_cast<QtPanel *>(panel.get())->window();
    panel->orderFrontRegardless();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window));
    const WId native = window->winId();
    EXPECT_TRUE(window->windowHandle()->flags().testFlag(Qt::WindowTransparentForInput));

    panel->setIgnoresMouseEvents(false);
    EXPECT_FALSE(panel->ignoresMouseEvents());
    EXPECT_FALSE(window->windowHandle()->flags().testFlag(Qt::WindowTransparentForInput));
    panel->setMouseRects(QList<QRectF>{QRectF(0, 0, 20, 20)});
    EXPECT_EQ(panel->mouseRects(), QList<QRectF>{QRectF(0, 0, 20, 20)});
    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(window->winId(), native);

    panel->setVisibleRegion(QRegion(0, 0, 50, 50));
    EXPECT_EQ(window->mask(), QRegion(0, 0, 50, 50));
    panel->setVisibleRegion(std::nullopt);
    EXPECT_TRUE(window->mask().isEmpty());
}

TEST_F(QtWindowSystemOffscreen, LocalMonitorsSeeEachEventOnceAndStopWhenRemoved)
{
    QWidget target;
    target.setMouseTracking(true);
    target.resize(100, 100);
    target.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&target));
    QWindow *window = target.windowHandle();

    QList<PointerEvent> events;
    std::optional<Subscription> monitor = system.addLocalMonitor(
        PointerEventType::rightMouseDown | PointerEventType::leftMouseDragged |
            PointerEventType::mouseMoved,
        [&](const PointerEvent &event) { events.append(event); });
    ASSERT_TRUE(monitor);

    QMouseEvent press = mouseEvent(QEvent::MouseButtonPress, window, QPointF(5, 6), Qt::RightButton,
                                   Qt::RightButton);
    QApplication::sendEvent(window, &press);
    QMouseEvent ignored =
        mouseEvent(QEvent::MouseButtonPress, window, QPointF(5, 6), Qt::LeftButton, Qt::LeftButton);
    QApplication::sendEvent(window, &ignored);
    QMouseEvent drag =
        mouseEvent(QEvent::MouseMove, window, QPointF(7, 8), Qt::NoButton, Qt::LeftButton);
    QApplication::sendEvent(window, &drag);

    ASSERT_EQ(events.size(), 2) << "a left press is not asked for; each event counts once";
    EXPECT_EQ(events.at(0).type, PointerEventType::rightMouseDown);
    EXPECT_EQ(events.at(0).location,
              system.coordinates().pointToGlobal(window->mapToGlobal(QPointF(5, 6))));
    EXPECT_EQ(events.at(1).type, PointerEventType::leftMouseDragged);

    monitor.reset();
    QApplication::sendEvent(window, &press);
    EXPECT_EQ(events.size(), 2);
}

TEST_F(QtWindowSystemOffscreen, TimersFireAndStopWithTheirSubscription)
{
    int once = 0;
    int repeats = 0;
    int cancelled = 0;
    Subscription single = system.scheduleOnce(5ms, [&] { ++once; });
    Subscription repeating = system.scheduleRepeating(5ms, [&] { ++repeats; });
    Subscription never = system.scheduleOnce(5ms, [&] { ++cancelled; });
    never.cancel();
    EXPECT_TRUE(waitUntil([&] { return repeats >= 3; }));
    repeating.cancel();
    const int stoppedAt = repeats;
    QTest::qWait(30);
    EXPECT_EQ(once, 1);
    EXPECT_EQ(repeats, stoppedAt);
    EXPECT_EQ(cancelled, 0);
}

TEST_F(QtWindowSystemOffscreen, ActivatingTheApplicationPicksItsLastActiveVisibleWindow)
{
    QWidget first;
    QWidget second;
    QWidget third;
    for (QWidget *widget : {&first, &second, &third}) {
        widget->show();
        widget->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(widget));
    }
    second.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&second));
    third.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&third));

    // A window that is not one of ours takes the keyboard, as when another application is
    // in front; the last active window still shown is `second`.
    third.hide();
    QWindow foreign;
    foreign.show();
    foreign.requestActivate();
    ASSERT_TRUE(waitUntil([&] { return QGuiApplication::focusWindow() == &foreign; }));
    ASSERT_EQ(QApplication::activeWindow(), nullptr);
    system.activateApplication();
    EXPECT_TRUE(QTest::qWaitForWindowActive(&second));
}
