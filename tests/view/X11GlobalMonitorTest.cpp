// SPDX-License-Identifier: GPL-3.0-or-later
// Global pointer monitors, pressed buttons and compositing on a real X server.

#include "platform/X11GlobalMonitor.h"
#include "platform/QtPanel.h"
#include "platform/QtWindowSystem.h"
#include "platform/WindowActivation.h"

#include "TestSupport.h"
#include "X11TestSupport.h"

#include <QAbstractEventDispatcher>
#include <QCursor>
#include <QSignalSpy>
#include <QTest>
#include <QWidget>

#include <xcb/xinput.h>

namespace {

class X11Monitors : public ::testing::Test
{
protected:
    void SetUp() override
    {
        SKIP_UNLESS_X11();
        global = system.addGlobalMonitor(
            PointerEvents::mouseDowns, [this](const PointerEvent &event) { downs.append(event); });
        local =
            system.addLocalMonitor(PointerEvents::mouseDowns,
                                   [this](const PointerEvent &event) { localDowns.append(event); });
        ASSERT_TRUE(global) << "XInput 2.2 raw events are available";
        // Another application's window to click on.
        foreignWindow = other.createWindow(foreign);
        X11Test::settle();
    }

    QPointF globalPoint(const QPoint &qtPoint) const
    {
        return system.coordinates().pointToGlobal(qtPoint);
    }

    QtWindowSystem system;
    QList<PointerEvent> downs;
    QList<PointerEvent> localDowns;
    std::optional<Subscription> global;
    std::optional<Subscription> local;
    X11Test::OtherClient other;
    const QRect foreign{1200, 600, 300, 300};
    xcb_window_t foreignWindow = XCB_WINDOW_NONE;
};

} // namespace

TEST_F(X11Monitors, ClicksOnOtherApplicationsReachGlobalMonitorsButNotTheWheel)
{
    const QPoint point = foreign.center();
    ASSERT_TRUE(X11Test::clickAt(point, 1));
    ASSERT_TRUE(waitUntil([&] { return downs.size() == 1; }));
    EXPECT_EQ(downs.at(0).type, PointerEventType::leftMouseDown);
    EXPECT_EQ(downs.at(0).location, globalPoint(point));

    ASSERT_TRUE(X11Test::clickAt(point, 3));
    ASSERT_TRUE(X11Test::clickAt(point, 2));
    ASSERT_TRUE(waitUntil([&] { return downs.size() == 3; }));
    EXPECT_EQ(downs.at(1).type, PointerEventType::rightMouseDown);
    EXPECT_EQ(downs.at(2).type, PointerEventType::otherMouseDown);

    for (int wheel = 4; wheel <= 7; ++wheel)
        ASSERT_TRUE(X11Test::clickAt(point, wheel));
    X11Test::settle();
    EXPECT_EQ(downs.size(), 3) << "the scroll wheel is not a click";
    EXPECT_TRUE(localDowns.isEmpty());

    global.reset();
    ASSERT_TRUE(X11Test::clickAt(point, 1));
    X11Test::settle();
    EXPECT_EQ(downs.size(), 3) << "a removed monitor hears nothing";
}

// A press is placed where the pointer was when the server's event was read, not where it
// is once the queued report runs: a click followed by a quick move counts where it was.
TEST_F(X11Monitors, AGlobalClickIsLocatedWhenItsEventIsRead)
{
    const QPoint pressedAt = foreign.center();
    const QPoint movedTo = foreign.topLeft() + QPoint(10, 10);
    ASSERT_TRUE(X11Test::xdotool(
        {"mousemove", QString::number(pressedAt.x()), QString::number(pressedAt.y())}));
    ASSERT_TRUE(waitUntil([&] { return QCursor::pos() == pressedAt; }));

    // The raw press as the server sends it, through every native filter as Qt would
    // dispatch it; the pointer moves on before the event loop runs again.
    xcb_input_raw_button_press_event_t event{};
    event.response_type = XCB_GE_GENERIC;
    event.extension = X11Connection::ofApplication()->extension(&xcb_input_id)->major_opcode;
    event.event_type = XCB_INPUT_RAW_BUTTON_PRESS;
    event.deviceid = XCB_INPUT_DEVICE_ALL_MASTER;
    event.detail = 1;
    QAbstractEventDispatcher::instance()->filterNativeEvent("xcb_generic_event_t", &event, nullptr);
    ASSERT_TRUE(X11Test::xdotool(
        {"mousemove", QString::number(movedTo.x()), QString::number(movedTo.y())}));
    ASSERT_TRUE(waitUntil([&] { return downs.size() == 1; }));
    EXPECT_EQ(downs.at(0).location, globalPoint(pressedAt));
}

TEST_F(X11Monitors, ClicksOnOurWindowsGoToLocalMonitorsOnlyUnlessTheyPassThrough)
{
    QWidget window;
    window.setGeometry(200, 200, 300, 200);
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    X11Test::settle();
    ASSERT_TRUE(X11Test::clickAt(window.geometry().center()));
    ASSERT_TRUE(waitUntil([&] { return localDowns.size() == 1; }));
    EXPECT_EQ(localDowns.at(0).location, globalPoint(window.geometry().center()));
    X11Test::settle();
    EXPECT_TRUE(downs.isEmpty()) << "our own window's click is not another application's";

    // A panel takes clicks on its rectangle only; the others fall through to the desktop,
    // which is no window of ours.
    const QRect area(700, 100, 300, 300);
    std::unique_ptr<Panel> panel =
        system.createPanel(system.coordinates().rectToGlobal(area), {false, false, {}});
    panel->setMouseRects(QList<QRectF>{QRectF(0, 0, 50, 50)});
    panel->orderFrontRegardless();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(static_cast<QtPanel *>(panel.get())->window()));
    X11Test::settle();
    ASSERT_TRUE(X11Test::clickAt(area.topLeft() + QPoint(200, 200)));
    ASSERT_TRUE(waitUntil([&] { return downs.size() == 1; }));
    EXPECT_EQ(localDowns.size(), 1);
    ASSERT_TRUE(X11Test::clickAt(area.topLeft() + QPoint(10, 10)));
    ASSERT_TRUE(waitUntil([&] { return localDowns.size() == 2; }));
    X11Test::settle();
    EXPECT_EQ(downs.size(), 1);
}

TEST_F(X11Monitors, ButtonsHeldAnywhereAreSeen)
{
    const QPoint point = foreign.center() + QPoint(-30, 20);
    ASSERT_TRUE(X11Test::xdotool(
        {"mousemove", QString::number(point.x()), QString::number(point.y()), "mousedown", "1"}));
    EXPECT_TRUE(waitUntil([&] { return system.pressedMouseButtons() == Qt::LeftButton; }));
    EXPECT_EQ(system.pointerLocation(), globalPoint(point));
    ASSERT_TRUE(X11Test::xdotool({"mousedown", "3"}));
    EXPECT_TRUE(waitUntil(
        [&] { return system.pressedMouseButtons() == (Qt::LeftButton | Qt::RightButton); }));
    ASSERT_TRUE(X11Test::xdotool({"mouseup", "3", "mouseup", "1"}));
    EXPECT_TRUE(waitUntil([&] { return system.pressedMouseButtons() == Qt::NoButton; }));
}

// The X server makes no raw motion of the input that xdotool fakes (XTEST), so the
// monitor is fed raw events made here, through the same filter Qt calls.
TEST(X11GlobalMonitor, RawMotionIsReportedOncePerPassOfTheEventLoop)
{
    SKIP_UNLESS_X11();
    X11GlobalMonitor monitor;
    ASSERT_TRUE(monitor.isAvailable());
    QSignalSpy moved(&monitor, &X11GlobalMonitor::pointerMoved);
    QSignalSpy pressed(&monitor, &X11GlobalMonitor::buttonPressed);
    const quint8 opcode = X11Connection::ofApplication()->extension(&xcb_input_id)->major_opcode;
    const auto feed = [&](quint16 type, quint32 detail) {
        xcb_input_raw_button_press_event_t event{};
        event.response_type = XCB_GE_GENERIC;
        event.extension = opcode;
        event.event_type = type;
        event.deviceid = XCB_INPUT_DEVICE_ALL_MASTER;
        event.detail = detail;
        monitor.nativeEventFilter("xcb_generic_event_t", &event, nullptr);
    };

    feed(XCB_INPUT_RAW_MOTION, 0);
    X11Test::settle(20);
    EXPECT_TRUE(moved.isEmpty()) << "not selected";

    monitor.setMotionEnabled(true);
    monitor.setButtonsEnabled(true);
    for (int i = 0; i < 5; ++i)
        feed(XCB_INPUT_RAW_MOTION, 0);
    feed(XCB_INPUT_RAW_BUTTON_PRESS, 4);
    feed(XCB_INPUT_RAW_BUTTON_PRESS, 3);
    const QPoint pressedAt = QCursor::pos();
    EXPECT_TRUE(moved.isEmpty() && pressed.isEmpty()) << "reported after the event";
    X11Test::settle(20);
    EXPECT_EQ(moved.size(), 1);
    ASSERT_EQ(pressed.size(), 1) << "the wheel is not a click";
    EXPECT_EQ(pressed.at(0).at(0).toUInt(), 3u);
    EXPECT_EQ(pressed.at(0).at(1).toPoint(), pressedAt);

    feed(XCB_INPUT_RAW_MOTION, 0);
    monitor.setMotionEnabled(false);
    X11Test::settle(20);
    EXPECT_EQ(moved.size(), 1) << "switched off before it was reported";
}

TEST(X11Compositing, FollowsTheOwnerOfTheCompositingSelection)
{
    SKIP_UNLESS_X11();
    QtWindowSystem system;
    const QByteArray expected = qgetenv("ORLETTE_EXPECT_COMPOSITING");
    if (!expected.isEmpty()) {
        EXPECT_EQ(system.isCompositing(), expected == "1");
    }
    if (system.isCompositing())
        return; // a compositor runs: another client cannot take its selection here

    // Another client becomes the compositing manager, then goes away.
    QSignalSpy changes(&system, &WindowSystem::compositingChanged);
    X11Test::OtherClient compositor;
    const xcb_window_t owner = compositor.createWindow(QRect(0, 0, 1, 1));
    xcb_set_selection_owner(compositor.connection(), owner, compositor.atom("_NET_WM_CM_S0"),
                            XCB_CURRENT_TIME);
    compositor.sync();
    ASSERT_TRUE(waitUntil([&] { return changes.size() == 1; }));
    EXPECT_TRUE(changes.at(0).at(0).toBool());
    EXPECT_TRUE(system.isCompositing());

    compositor.destroyWindow(owner);
    ASSERT_TRUE(waitUntil([&] { return changes.size() == 2; }));
    EXPECT_FALSE(changes.at(1).at(0).toBool());
    EXPECT_FALSE(system.isCompositing());
}
