// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Helpers of the tests that need a real X server. They run in the view-test binary when
// tests/e2e/test_platform_x11.py starts it on a virtual desktop with
// ORLETTE_VIEW_TESTS_PLATFORM=xcb; on the offscreen platform they are skipped.

#include "platform/GlobalCoordinates.h"
#include "platform/X11Connection.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QProcess>
#include <QStringList>
#include <QThread>
#include <gtest/gtest.h>

#include <xcb/xcb.h>

#define SKIP_UNLESS_X11()                                                                          \
    do {                                                                                           \
        if (!X11Connection::ofApplication())                                                       \
            GTEST_SKIP() << "needs an X server (tests/e2e/test_platform_x11.py runs it)";          \
    } while (false)

namespace X11Test {

// Runs a command-line tool (xdotool, xmodmap) on the test's display; true when it
// succeeded. The server has handled its requests once it has exited.
inline bool run(const QStringList &command)
{
    QProcess process;
    process.setProcessChannelMode(QProcess::ForwardedChannels);
    process.start(command.first(), command.mid(1));
    return process.waitForFinished(10000) && process.exitStatus() == QProcess::NormalExit &&
           process.exitCode() == 0;
}

inline bool xdotool(const QStringList &arguments)
{
    return run(QStringList{"xdotool"} + arguments);
}

// A pointer position on the screen (Qt coordinates) for xdotool.
inline bool clickAt(const QPoint &position, int button = 1)
{
    // (No --sync: it waits forever when the pointer is already there. XTEST requests are
    // handled in order anyway.)
    return xdotool({"mousemove", QString::number(position.x()), QString::number(position.y()),
                    "click", QString::number(button)});
}

// Lets everything the server sent before now be dispatched, including what Qt and our
// filters hand on through queued calls.
inline void settle(int milliseconds = 100)
{
    if (const auto x11 = X11Connection::ofApplication()) {
        X11Reply<xcb_get_input_focus_reply_t> reply(xcb_get_input_focus_reply(
            x11->connection(), xcb_get_input_focus(x11->connection()), nullptr));
    }
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < milliseconds) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        QThread::msleep(5);
    }
}

// Another X client: its own connection, windows and grabs, like another application.
class OtherClient
{
public:
    OtherClient() : m_connection(xcb_connect(nullptr, nullptr))
    {
        const xcb_setup_t *setup = xcb_get_setup(m_connection);
        m_root = xcb_setup_roots_iterator(setup).data->root;
    }
    ~OtherClient() { xcb_disconnect(m_connection); }
    OtherClient(const OtherClient &) = delete;
    OtherClient &operator=(const OtherClient &) = delete;

    xcb_connection_t *connection() const { return m_connection; }

    // A plain mapped window at a Qt-coordinate rectangle.
    xcb_window_t createWindow(const QRect &rect)
    {
        const xcb_window_t window = xcb_generate_id(m_connection);
        const xcb_screen_t *screen = xcb_setup_roots_iterator(xcb_get_setup(m_connection)).data;
        const quint32 values[] = {screen->white_pixel, 1};
        xcb_create_window(m_connection, XCB_COPY_FROM_PARENT, window, m_root, qint16(rect.x()),
                          qint16(rect.y()), quint16(rect.width()), quint16(rect.height()), 0,
                          XCB_WINDOW_CLASS_INPUT_OUTPUT, XCB_COPY_FROM_PARENT,
                          XCB_CW_BACK_PIXEL | XCB_CW_OVERRIDE_REDIRECT, values);
        xcb_map_window(m_connection, window);
        sync();
        return window;
    }

    void destroyWindow(xcb_window_t window)
    {
        xcb_destroy_window(m_connection, window);
        sync();
    }

    xcb_atom_t atom(const QByteArray &name)
    {
        X11Reply<xcb_intern_atom_reply_t> reply(xcb_intern_atom_reply(
            m_connection, xcb_intern_atom(m_connection, 0, quint16(name.size()), name.data()),
            nullptr));
        return reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
    }

    // True when the server granted the grab.
    bool grabKey(xcb_keycode_t keycode, quint16 modifiers)
    {
        X11Reply<xcb_generic_error_t> error(xcb_request_check(
            m_connection, xcb_grab_key_checked(m_connection, 0, m_root, modifiers, keycode,
                                               XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC)));
        return !error;
    }

    void ungrabKey(xcb_keycode_t keycode, quint16 modifiers)
    {
        xcb_ungrab_key(m_connection, keycode, m_root, modifiers);
        sync();
    }

    void sync()
    {
        X11Reply<xcb_get_input_focus_reply_t> reply(
            xcb_get_input_focus_reply(m_connection, xcb_get_input_focus(m_connection), nullptr));
    }

private:
    xcb_connection_t *m_connection;
    xcb_window_t m_root = XCB_WINDOW_NONE;
};

} // namespace X11Test
