// SPDX-License-Identifier: GPL-3.0-or-later
// Panels on a real X server with a window manager: input shape, click-through, hints and
// the keyboard.

#include "platform/QtPanel.h"
#include "platform/QtWindowSystem.h"
#include "platform/WindowActivation.h"
#include "platform/X11InputShape.h"
#include "platform/X11WindowHints.h"

#include "CrossingCounter.h"
#include "TestSupport.h"
#include "X11TestSupport.h"

#include <QApplication>
#include <QMouseEvent>
#include <QTest>
#include <QWidget>
#include <QWindow>

namespace {

class PressCounter : public QWidget
{
public:
    using QWidget::QWidget;
    int presses = 0;

protected:
    void mousePressEvent(QMouseEvent *) override { ++presses; }
};

// Counts the times a window is hidden (unmapped) and shown again.
class VisibilityCounter : public QObject
{
public:
    int hides = 0;
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() == QEvent::Hide)
            ++hides;
        return false;
    }
};

class X11Panel : public ::testing::Test
{
protected:
    void SetUp() override { SKIP_UNLESS_X11(); }

    QtPanel *makePanel(const QRect &qtRect, const PanelOptions &options = {})
    {
        m_panel = system.createPanel(system.coordinates().rectToGlobal(qtRect), options);
        return static_cast<QtPanel *>(m_panel.get());
    }

    X11Connection x11() const { return *X11Connection::ofApplication(); }

    std::optional<QList<QRect>> inputShape(QWidget *window) const
    {
        return X11InputShape::read(x11(), xcb_window_t(window->winId()),
                                   X11InputShape::Kind::input);
    }

    bool acceptsInputHint(QWidget *window) const
    {
        // WM_HINTS: flags, then input; without the input flag a window manager gives focus.
        const X11Connection connection = x11();
        const X11Reply<xcb_get_property_reply_t> reply(xcb_get_property_reply(
            connection.connection(),
            xcb_get_property(connection.connection(), 0, xcb_window_t(window->winId()),
                             XCB_ATOM_WM_HINTS, XCB_ATOM_WM_HINTS, 0, 9),
            nullptr));
        if (!reply || xcb_get_property_value_length(reply.get()) < 8)
            return true;
        const auto *words = static_cast<const quint32 *>(xcb_get_property_value(reply.get()));
        return !(words[0] & 1) || words[1] != 0;
    }

    QList<quint32> cardinals(xcb_window_t window, const QByteArray &name) const
    {
        const X11Connection connection = x11();
        const X11Reply<xcb_get_property_reply_t> reply(xcb_get_property_reply(
            connection.connection(),
            xcb_get_property(connection.connection(), 0, window, connection.atom(name),
                             XCB_ATOM_CARDINAL, 0, 16),
            nullptr));
        QList<quint32> values;
        if (!reply || reply->format != 32)
            return values;
        const auto *data = static_cast<const quint32 *>(xcb_get_property_value(reply.get()));
        for (int i = 0; i < xcb_get_property_value_length(reply.get()) / 4; ++i)
            values.append(data[i]);
        return values;
    }

    // The type of a window property, XCB_ATOM_NONE where the window has none.
    xcb_atom_t propertyType(xcb_window_t window, xcb_atom_t property) const
    {
        const X11Connection connection = x11();
        const X11Reply<xcb_get_property_reply_t> reply(
            xcb_get_property_reply(connection.connection(),
                                   xcb_get_property(connection.connection(), 0, window, property,
                                                    XCB_GET_PROPERTY_TYPE_ANY, 0, 1),
                                   nullptr));
        return reply ? reply->type : xcb_atom_t(XCB_ATOM_NONE);
    }

    QtWindowSystem system;
    std::unique_ptr<Panel> m_panel;
};

} // namespace

TEST_F(X11Panel, InputShapeFollowsIgnoringAndTheMouseRectsAndSurvivesANewNativeWindow)
{
    QtPanel *panel = makePanel(QRect(400, 100, 300, 200), {false, true, {}});
    panel->orderFrontRegardless();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(panel->window()));
    QWidget *window = panel->window();

    EXPECT_EQ(inputShape(window), QList<QRect>{}) << "ignoring: no input at all";
    panel->setIgnoresMouseEvents(false);
    EXPECT_EQ(inputShape(window), QList<QRect>{QRect(0, 0, 300, 200)}) << "the whole panel";
    panel->setMouseRects(QList<QRectF>{QRectF(10, 20, 30, 40), QRectF(200, 150, 50, 50)});
    const std::optional<QList<QRect>> shaped = inputShape(window);
    ASSERT_TRUE(shaped);
    QRegion region;
    for (const QRect &rect : *shaped)
        region += rect;
    EXPECT_EQ(region, QRegion(10, 20, 30, 40) + QRegion(200, 150, 50, 50));

    // A new native window for the same widget.
    const WId before = window->winId();
    panel->orderOut();
    window->windowHandle()->destroy();
    panel->orderFrontRegardless();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window));
    ASSERT_NE(window->winId(), before);
    EXPECT_EQ(inputShape(window)->size(), shaped->size());

    panel->setIgnoresMouseEvents(true);
    EXPECT_EQ(inputShape(window), QList<QRect>{});
}

TEST_F(X11Panel, AlwaysAcceptingRectsTakeTheMouseWhetherThePanelIgnoresItOrNot)
{
    QtPanel *panel = makePanel(QRect(400, 100, 300, 200), {false, true, {}});
    panel->orderFrontRegardless();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(panel->window()));
    QWidget *window = panel->window();

    panel->setAlwaysAcceptingRects({QRectF(298, 0, 2, 200)});
    EXPECT_EQ(inputShape(window), QList<QRect>{QRect(298, 0, 2, 200)}) << "ignoring";
    panel->setIgnoresMouseEvents(false);
    panel->setMouseRects(QList<QRectF>{QRectF(10, 20, 30, 40)});
    const std::optional<QList<QRect>> shaped = inputShape(window);
    ASSERT_TRUE(shaped);
    QRegion region;
    for (const QRect &rect : *shaped)
        region += rect;
    EXPECT_EQ(region, QRegion(10, 20, 30, 40) + QRegion(298, 0, 2, 200));

    panel->setAlwaysAcceptingRects({});
    panel->setIgnoresMouseEvents(true);
    EXPECT_EQ(inputShape(window), QList<QRect>{});
}

TEST_F(X11Panel, ClicksOutsideTheMouseRectsReachTheWindowBehind)
{
    PressCounter behind;
    behind.setGeometry(100, 100, 500, 400);
    behind.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&behind));
    const QRect area(behind.geometry().topLeft() + QPoint(50, 50), QSize(300, 200));

    QtPanel *panel = makePanel(area, {false, false, {}});
    auto content = std::make_unique<PressCounter>();
    PressCounter *tabs = content.get();
    panel->setContent(std::move(content));
    panel->setMouseRects(QList<QRectF>{QRectF(0, 0, 60, 60)});
    panel->orderFrontRegardless();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(panel->window()));
    X11Test::settle();

    // Outside the rectangle the click goes through to the window behind it.
    ASSERT_TRUE(X11Test::clickAt(area.topLeft() + QPoint(200, 150)));
    EXPECT_TRUE(waitUntil([&] { return behind.presses == 1; }));
    EXPECT_EQ(tabs->presses, 0);
    EXPECT_TRUE(waitUntil([&] { return behind.isActiveWindow(); }));

    // On the rectangle the panel takes it, and the window in front keeps the keyboard.
    ASSERT_TRUE(X11Test::clickAt(area.topLeft() + QPoint(20, 20)));
    EXPECT_TRUE(waitUntil([&] { return tabs->presses == 1; }));
    X11Test::settle();
    EXPECT_EQ(behind.presses, 1);
    EXPECT_FALSE(panel->isKey());
    EXPECT_TRUE(behind.isActiveWindow());

    panel->setIgnoresMouseEvents(true);
    ASSERT_TRUE(X11Test::clickAt(area.topLeft() + QPoint(20, 20)));
    EXPECT_TRUE(waitUntil([&] { return behind.presses == 2; }));
    EXPECT_EQ(tabs->presses, 1);
}

TEST_F(X11Panel, AFittedWindowThatGrowsUnderARestingPointerSeesItEnter)
{
    const QRect area(700, 100, 300, 400);
    QtPanel *panel = makePanel(area, {false, true, {}});
    auto content = std::make_unique<QWidget>();
    CrossingCounter crossings;
    content->installEventFilter(&crossings);
    panel->setContent(std::move(content));
    const QRectF strip(298, 0, 2, 400);
    panel->setMouseRects(QList<QRectF>{});
    panel->setAlwaysAcceptingRects({strip});
    panel->setFitsWindowToInput(true);
    panel->orderFrontRegardless();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(panel->window()));

    // The pointer comes to rest inside the panel, beside its window.
    const QPoint resting = area.topLeft() + QPoint(200, 200);
    ASSERT_TRUE(X11Test::xdotool(
        {"mousemove", QString::number(resting.x()), QString::number(resting.y())}));
    QTest::qWait(int(QtPanel::crossingsSettleTime.count()) + 100);
    X11Test::settle();
    ASSERT_EQ(crossings.enters, 0);

    // A card opens under it: the window grows around the pointer, which the server reports
    // as an entry while the geometry settles, and no move follows.
    panel->setAlwaysAcceptingRects({strip, QRectF(150, 150, 150, 100)});
    ASSERT_TRUE(panel->window()->geometry().contains(resting));
    EXPECT_TRUE(waitUntil([&] { return crossings.enters == 1; }))
        << "the dropped entry was never made up for";
}

TEST_F(X11Panel, PanelsStayAboveOnEveryDesktopAndOutOfTheTaskbar)
{
    QtPanel *panel = makePanel(QRect(700, 300, 200, 200));
    for (int round = 0; round < 2; ++round) {
        // The window manager forgets the states when a window is unmapped: they are
        // written again before every mapping.
        panel->orderFrontRegardless();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(panel->window()));
        X11Test::settle();
        const xcb_window_t window = xcb_window_t(panel->window()->winId());
        const QByteArrayList states = X11WindowHints::states(x11(), window);
        // (openbox keeps "on every desktop" in the desktop number alone, without the sticky
        // state that other window managers use.)
        for (const char *state :
             {"_NET_WM_STATE_SKIP_TASKBAR", "_NET_WM_STATE_SKIP_PAGER", "_NET_WM_STATE_ABOVE"}) {
            EXPECT_TRUE(states.contains(state))
                << state << " in round " << round << ": " << states.join(' ').constData();
        }
        EXPECT_EQ(X11WindowHints::desktop(x11(), window), 0xFFFFFFFFu);
        EXPECT_FALSE(acceptsInputHint(panel->window()));
        // A dock: no window manager hides it with an inactive application, frames it or
        // focuses it; no compositor shadows its transparent area.
        EXPECT_EQ(X11WindowHints::windowType(x11(), window), "_NET_WM_WINDOW_TYPE_DOCK");
        // Transient for nothing: a tool window points at the client leader, which no window
        // manager manages (mutter warns of it).
        EXPECT_EQ(propertyType(window, XCB_ATOM_WM_TRANSIENT_FOR), xcb_atom_t(XCB_ATOM_NONE))
            << "round " << round;
        EXPECT_EQ(cardinals(window, "_COMPTON_SHADOW"), QList<quint32>{0});
        // picom 9 reads it on the frame the window manager made for this mapping.
        const xcb_window_t frame = X11WindowHints::frame(x11(), window);
        EXPECT_NE(frame, window) << "openbox frames docks too";
        EXPECT_EQ(cardinals(frame, "_COMPTON_SHADOW"), QList<quint32>{0}) << "round " << round;
        EXPECT_EQ(cardinals(window, "_GTK_FRAME_EXTENTS"), QList<quint32>({0, 0, 0, 0}));
        EXPECT_FALSE(states.contains("_NET_WM_STATE_DEMANDS_ATTENTION"));
        panel->orderOut();
        X11Test::settle();
    }

    // An ordinary window activated over it stays below it.
    QWidget other;
    other.setGeometry(650, 250, 300, 300);
    other.show();
    WindowActivation::activate(&other);
    ASSERT_TRUE(QTest::qWaitForWindowActive(&other));
    panel->orderFrontRegardless();
    X11Test::settle();
    WindowActivation::activate(&other);
    X11Test::settle();
    EXPECT_EQ(QGuiApplication::topLevelAt(QPoint(800, 400)), panel->window()->windowHandle());
}

TEST_F(X11Panel, MakingAPanelKeyTakesTheKeyboardInPlaceUntilAnotherWindowTakesIt)
{
    QWidget front;
    front.setGeometry(100, 500, 300, 200);
    front.show();
    WindowActivation::activate(&front);
    ASSERT_TRUE(QTest::qWaitForWindowActive(&front));

    QtPanel *panel = makePanel(QRect(900, 100, 300, 300));
    VisibilityCounter visibility;
    panel->window()->installEventFilter(&visibility);
    panel->orderFrontRegardless();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(panel->window()));
    X11Test::settle(200);
    EXPECT_TRUE(front.isActiveWindow()) << "showing a panel leaves the keyboard where it is";

    const WId native = panel->window()->winId();
    // The activation goes with the time of the press that asked for it.
    ASSERT_TRUE(X11Test::clickAt(front.geometry().center()));
    X11Test::settle();
    panel->makeKeyAndOrderFront();
    EXPECT_TRUE(waitUntil([&] { return panel->isKey(); }));
    EXPECT_TRUE(acceptsInputHint(panel->window()));
    EXPECT_EQ(X11WindowHints::windowType(x11(), xcb_window_t(native)), "_NET_WM_WINDOW_TYPE_DOCK")
        << "Qt writes its own type when the flags change";
    EXPECT_EQ(panel->window()->winId(), native);
    EXPECT_EQ(visibility.hides, 0) << "not unmapped and mapped again";

    WindowActivation::activate(&front);
    EXPECT_TRUE(waitUntil([&] { return front.isActiveWindow() && !panel->isKey(); }));
    EXPECT_FALSE(acceptsInputHint(panel->window()));
}

TEST_F(X11Panel, OrdinaryWindowsStayInTheWindowSwitcherWithoutTheDockIcon)
{
    QWidget library;
    library.setGeometry(200, 200, 300, 200);
    system.setActivationPolicy(ActivationPolicy::accessory);
    library.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&library));
    X11Test::settle();
    const auto states = [&] {
        return X11WindowHints::states(x11(), xcb_window_t(library.winId()));
    };
    // Window managers leave windows that skip the task bar out of Alt+Tab.
    EXPECT_FALSE(states().contains("_NET_WM_STATE_SKIP_TASKBAR")) << "shown as an accessory";
    EXPECT_FALSE(states().contains("_NET_WM_STATE_SKIP_PAGER"));

    system.setActivationPolicy(ActivationPolicy::regular);
    system.setActivationPolicy(ActivationPolicy::accessory);
    X11Test::settle();
    EXPECT_FALSE(states().contains("_NET_WM_STATE_SKIP_TASKBAR")) << "switched while shown";
    system.setActivationPolicy(ActivationPolicy::regular);
}

TEST_F(X11Panel, PanelsThatTakeFocusOnAClickAreNormalWindowsKeptAbove)
{
    PanelOptions options;
    options.takesFocusOnClick = true;
    QtPanel *panel = makePanel(QRect(300, 300, 250, 250), options);
    panel->orderFrontRegardless();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(panel->window()));
    X11Test::settle();
    const auto window = xcb_window_t(panel->window()->winId());
    // The window manager moves and resizes a normal window; docks stay where they are.
    EXPECT_EQ(X11WindowHints::windowType(x11(), window), "_NET_WM_WINDOW_TYPE_NORMAL");
    const QByteArrayList states = X11WindowHints::states(x11(), window);
    for (const char *state :
         {"_NET_WM_STATE_ABOVE", "_NET_WM_STATE_SKIP_TASKBAR", "_NET_WM_STATE_SKIP_PAGER"})
        EXPECT_TRUE(states.contains(state)) << state << ": " << states.join(' ').constData();
    EXPECT_EQ(cardinals(window, "_COMPTON_SHADOW"), QList<quint32>{0});
    EXPECT_TRUE(acceptsInputHint(panel->window()));
}

TEST_F(X11Panel, PanelsThatTakeFocusOnAClickFloatWhereNormalWindowsAreTiled)
{
    // sway tiles normal X windows, which would make a floating note fill the workspace.
    const QList<std::pair<const char *, QByteArray>> session = {{"XDG_CURRENT_DESKTOP", "sway"},
                                                                {"XDG_SESSION_TYPE", "wayland"},
                                                                {"WAYLAND_DISPLAY", "wayland-1"}};
    QList<std::pair<const char *, std::optional<QByteArray>>> saved;
    for (const auto &[name, value] : session) {
        saved.append(
            {name, qEnvironmentVariableIsSet(name) ? std::optional(qgetenv(name)) : std::nullopt});
        qputenv(name, value);
    }
    PanelOptions options;
    options.takesFocusOnClick = true;
    QtPanel *panel = makePanel(QRect(300, 300, 250, 250), options);
    for (const auto &[name, value] : saved) {
        if (value)
            qputenv(name, *value);
        else
            qunsetenv(name);
    }
    panel->orderFrontRegardless();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(panel->window()));
    X11Test::settle();
    const auto window = xcb_window_t(panel->window()->winId());
    EXPECT_EQ(X11WindowHints::windowType(x11(), window), "_NET_WM_WINDOW_TYPE_UTILITY");
    // Taking the keyboard rewrites the flags, and with them Qt's own window type.
    panel->makeKeyAndOrderFront();
    X11Test::settle();
    EXPECT_EQ(X11WindowHints::windowType(x11(), window), "_NET_WM_WINDOW_TYPE_UTILITY");
}

// "Biblioteca…" from the tray asks for the library and then for the application: the
// library comes to the front, not the window that had the keyboard last.
TEST_F(X11Panel, TheWindowAskedForComesToTheFrontNotTheLastActiveOne)
{
    QWidget library;
    QWidget settings;
    library.setGeometry(100, 100, 300, 200);
    settings.setGeometry(500, 100, 300, 200);
    library.show();
    settings.show();
    system.activateWindow(&settings);
    ASSERT_TRUE(QTest::qWaitForWindowActive(&settings));

    // Another application's managed window takes the keyboard.
    X11Test::OtherClient other;
    const xcb_window_t front = xcb_generate_id(other.connection());
    const xcb_screen_t *screen = xcb_setup_roots_iterator(xcb_get_setup(other.connection())).data;
    xcb_create_window(other.connection(), XCB_COPY_FROM_PARENT, front, screen->root, 900, 400, 300,
                      200, 0, XCB_WINDOW_CLASS_INPUT_OUTPUT, XCB_COPY_FROM_PARENT, 0, nullptr);
    xcb_map_window(other.connection(), front);
    other.sync();
    X11Test::settle();
    ASSERT_TRUE(X11Test::xdotool({"windowactivate", "--sync", QString::number(front)}));
    ASSERT_TRUE(waitUntil([&] { return !settings.isActiveWindow(); }));

    system.activateWindow(&library);
    system.activateApplication();
    ASSERT_TRUE(waitUntil([&] { return library.isActiveWindow(); }));
    X11Test::settle(300);
    EXPECT_TRUE(library.isActiveWindow());
    EXPECT_FALSE(settings.isActiveWindow());
}
