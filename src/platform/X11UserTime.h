// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/X11Connection.h"

#include <QAbstractNativeEventFilter>
#include <QObject>

// The X server time of the person's latest key or button press anywhere the application
// hears of it: its own windows, its key grabs, and the raw presses it selects on the root
// window. Window managers compare activation requests and new windows against this time
// ("_NET_WM_USER_TIME"); a request with no real time is refused or flagged. Does nothing
// where there is no X server.
class X11UserTime : public QObject, public QAbstractNativeEventFilter
{
    Q_OBJECT

public:
    explicit X11UserTime(QObject *parent = nullptr);
    ~X11UserTime() override;

    // The latest press's time; XCB_CURRENT_TIME (0) before any press was seen.
    xcb_timestamp_t latest() const { return m_latest; }

    bool nativeEventFilter(const QByteArray &eventType, void *message, qintptr *result) override;

    // The time of an input event (core, or XInput 2 from `xinputOpcode`) that a person
    // made by pressing a key or a button; absent for every other event.
    static std::optional<xcb_timestamp_t> pressTime(const xcb_generic_event_t *event,
                                                    quint8 xinputOpcode);

private:
    std::optional<X11Connection> m_x11;
    quint8 m_xinputOpcode = 0;
    xcb_timestamp_t m_latest = XCB_CURRENT_TIME;
};
